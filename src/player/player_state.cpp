// Saving and restoring the player's state with the host's project: getChunk hands out the state
// record (state_record.h); setChunk checks a record whole, then loads its file the usual way
// and applies Loop and Pitch at once, Position and Playing once the file's exact length is known.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "player/player_effect.h"
#include "player/fixed_frames.h"
#include "player/state_record.h"

namespace vintrove {

namespace {

constexpr float kPitchToParameter = 0.041666668f;  // 1 / 24

float clampUnit(float value) { return std::min(1.0f, std::max(0.0f, value)); }

// The position a saved fraction (0 to 1) of the length names: a fraction saved from a position
// comes back to that position, fraction of a frame included. For long files a float64 holds the
// product only to about 2^-21 of a frame, so what lands that close to a whole frame is that frame
// (1 / 49 x 49 is 0.99999999999999989, not 1).
FixedFrames positionAt(std::int32_t length, double fraction) {
  FixedFrames at = std::llround(static_cast<double>(length) * fraction * static_cast<double>(kOneFrame));
  const FixedFrames nearestWhole = (at + kOneFrame / 2) & ~(kOneFrame - 1);
  if (at > nearestWhole - (kOneFrame >> 16) && at < nearestWhole + (kOneFrame >> 16)) at = nearestWhole;
  return std::min(wholeFrames(length), std::max<FixedFrames>(0, at));
}

}  // namespace

std::int32_t PlayerEffect::getChunk(void** data, bool) {
  if (data == nullptr) return 0;
  PlayerState state;
  state.loop = loop.load();
  state.pitch = pitch.load();
  try {
    std::lock_guard<platform::Lock> guard(recall.state);
    std::memcpy(state.path, fileName, sizeof state.path);
    state.path[sizeof state.path - 1] = '\0';
    if (recall.waiting.load()) {
      // Not applied yet (or the file is missing): the saved values are still the state.
      state.playing = recall.playing;
      state.position = recall.position;
    } else {
      state.playing = playing.load();
      const std::int32_t frames = length.load();
      const auto at = static_cast<double>(std::max<FixedFrames>(0, position.load()));
      state.position = frames > 0 ? std::min(1.0, at / (static_cast<double>(frames) * static_cast<double>(kOneFrame))) : 0.0;
    }
    writeStateRecord(state, recall.chunk);
    *data = recall.chunk.data();
    return static_cast<std::int32_t>(recall.chunk.size());
  } catch (...) {
    return 0;  // no memory for the record
  }
}

std::int32_t PlayerEffect::setChunk(void* data, std::int32_t byteSize, bool) {
  PlayerState state;
  if (byteSize < 0 ||
      !readStateRecord(static_cast<const unsigned char*>(data), static_cast<std::size_t>(byteSize), state)) {
    return 0;
  }
  std::lock_guard<platform::Lock> oneLoad(recall.loads);
  // Hosts restore a project and then resume: that first resume keeps the restored position.
  restoredBeforeAnyBlock.store(true);
  // Nothing plays until the restored state says so.
  playing.store(false);
  if (port != nullptr) port->showPlaying(false);
  loop.store(state.loop);
  if (port != nullptr) port->command(kLoopTag, state.loop ? 1.0f : 0.0f);
  const auto savedPitch = static_cast<float>(state.pitch);
  // The slider takes the nearest value; the pitch itself comes back exactly, after it.
  if (port != nullptr) port->command(kPitchTag, clampUnit(savedPitch * kPitchToParameter + 0.5f));
  pitch.store(savedPitch);

  if (state.path[0] == '\0') {
    // No file was chosen when the state was saved: the loaded file, if any, stays.
    recall.waiting.store(false);
    const std::int32_t frames = length.load();
    if (frames > 0) {
      position.store(positionAt(frames, state.position));
      refreshPositionDisplay();
      playing.store(state.playing);
      if (port != nullptr) port->showPlaying(state.playing);
    }
    return 1;
  }

  // The running load ends here, so every later length report is the restored file's.
  if (loader != nullptr) loader->stop();
  {
    std::lock_guard<platform::Lock> guard(recall.state);
    recall.playing = state.playing;
    recall.position = state.position;
    recall.waiting.store(true);
    // The project names this file even when it cannot be opened now: saved again, it still does.
    static_assert(sizeof fileName == sizeof state.path);
    std::memcpy(fileName, state.path, sizeof state.path);
    fileName[sizeof fileName - 1] = '\0';
  }
  if (startLoading(state.path)) {
    if (port != nullptr) port->showFileName(state.path);
  } else {
    // "Not Found" shows; the path and the saved values stay for the next getChunk.
    length.store(0);
  }
  return 1;
}

void PlayerEffect::applyRecalledTransport(std::int32_t frames) {
  if (!recall.waiting.load() || loader == nullptr) return;
  // The estimate comes before any frame is decoded; the exact length is the decoded count.
  if (frames <= 0 || frames != loader->getDecodedFrames()) return;
  bool nowPlaying = false;
  {
    std::lock_guard<platform::Lock> guard(recall.state);
    if (!recall.waiting.load()) return;
    recall.waiting.store(false);
    position.store(positionAt(frames, recall.position));
    nowPlaying = recall.playing;
  }
  refreshPositionDisplay();
  playing.store(nowPlaying);
  if (port != nullptr) port->showPlaying(nowPlaying);
}

}  // namespace vintrove
