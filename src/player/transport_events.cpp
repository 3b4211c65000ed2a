#include "player/transport_events.h"

#include <algorithm>
#include <cstring>

namespace vintrove {

namespace {

// Pitches are compared by their bits: the player never holds a NaN, and -0 is a change.
bool samePitch(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

std::uint8_t changedFields(const TransportState& before, const TransportState& after) {
  std::uint8_t fields = 0;
  if (before.position != after.position) fields |= TransportChange::kPosition;
  if (before.playing != after.playing) fields |= TransportChange::kPlaying;
  if (!samePitch(before.pitch, after.pitch)) fields |= TransportChange::kPitch;
  return fields;
}

bool TransportEvents::push(const TransportChange& change) {
  const std::uint32_t at = pushed_.load(std::memory_order_relaxed);
  if (at - taken_.load(std::memory_order_acquire) >= static_cast<std::uint32_t>(kCapacity)) {
    return false;
  }
  ring_[at % kCapacity] = change;
  pushed_.store(at + 1, std::memory_order_release);
  return true;
}

std::int32_t TransportEvents::take(TransportChange* into) {
  const std::uint32_t from = taken_.load(std::memory_order_relaxed);
  const std::uint32_t to = pushed_.load(std::memory_order_acquire);
  const auto count = static_cast<std::int32_t>(std::min<std::uint32_t>(to - from, kCapacity));
  for (std::int32_t i = 0; i < count; ++i) into[i] = ring_[(from + static_cast<std::uint32_t>(i)) % kCapacity];
  taken_.store(from + static_cast<std::uint32_t>(count), std::memory_order_release);
  return count;
}

std::int32_t fitChangesToBlock(TransportChange* changes, std::int32_t count, std::int32_t frames,
                               const TransportState& current, std::uint32_t generation,
                               TransportState& start) {
  start = current;
  if (count <= 0 || frames <= 0) return 0;
  std::uint8_t seen = 0;
  TransportState last = current;
  for (std::int32_t i = 0; i < count; ++i) {
    const TransportChange& change = changes[i];
    if (change.generation != generation) return 0;
    const std::uint8_t fresh = static_cast<std::uint8_t>(change.fields & ~seen);
    if (fresh & TransportChange::kPosition) start.position = change.before.position;
    if (fresh & TransportChange::kPlaying) start.playing = change.before.playing;
    if (fresh & TransportChange::kPitch) start.pitch = change.before.pitch;
    if (change.fields & TransportChange::kPosition) last.position = change.after.position;
    if (change.fields & TransportChange::kPlaying) last.playing = change.after.playing;
    if (change.fields & TransportChange::kPitch) last.pitch = change.after.pitch;
    seen |= change.fields;
  }
  // Something moved the transport after the last key (the GUI, a new file): the keys' frames no
  // longer tell what plays when.
  if (changedFields(last, current) != 0) {
    start = current;
    return 0;
  }
  std::int32_t earliest = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t frame = std::clamp(changes[i].frame, 0, frames - 1);
    earliest = std::max(earliest, frame);
    changes[i].frame = earliest;
  }
  return count;
}

}  // namespace vintrove
