// The audio callback: plays the decoded file into the two outputs at the speed of the pitch and
// the two sample rates, advances the exact (32.32) position, ends or wraps the file, and moves
// the editor's position display every 4000 file frames. Replacing mode writes every output
// sample, silence when there is nothing to play. Allocates nothing and takes no lock.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "player/player_effect.h"

namespace vintrove {

namespace {

// A block may advance at most this many file frames; beyond it the rates are taken as unusable,
// which keeps the position arithmetic far inside 64 bits.
constexpr FixedFrames kLargestAdvance = wholeFrames(1073741824);  // 2^30 frames

bool usableOutputs(float** outputs) {
  return outputs != nullptr && outputs[0] != nullptr && outputs[1] != nullptr;
}

void writeSilence(float** outputs, std::int32_t from, std::int32_t to) {
  if (from >= to) return;
  std::fill(outputs[0] + from, outputs[0] + to, 0.0f);
  std::fill(outputs[1] + from, outputs[1] + to, 0.0f);
}

}  // namespace

void PlayerEffect::process(float**, float** outputs, std::int32_t sampleFrames) {
  render(outputs, sampleFrames, false);
}

void PlayerEffect::processReplacing(float**, float** outputs, std::int32_t sampleFrames) {
  render(outputs, sampleFrames, true);
}

float PlayerEffect::speedRatio(std::int32_t fileRate) const {
  const float hostRate = hostSampleRate.load();
  if (!(hostRate > 0.0f) || !std::isfinite(hostRate) || fileRate <= 0) return 0.0f;
  const float ratio =
      static_cast<float>((pitch.load() * 0.01 + 1.0) / hostRate * static_cast<double>(fileRate));
  return ratio > 0.0f && std::isfinite(ratio) ? ratio : 0.0f;
}

void PlayerEffect::render(float** outputs, std::int32_t sampleFrames, bool replace) {
  if (sampleFrames <= 0 || !usableOutputs(outputs)) return;
  if (restoredBeforeAnyBlock.load(std::memory_order_relaxed)) restoredBeforeAnyBlock.store(false);
  const std::int32_t played = playBlock(outputs, sampleFrames, replace);
  if (replace) writeSilence(outputs, played, sampleFrames);
}

std::int32_t PlayerEffect::playBlock(float** outputs, std::int32_t sampleFrames, bool replace) {
  const std::int32_t frames = length.load();
  if (frames <= 0 || loader == nullptr || !playing.load()) return 0;
  // The generation first: a position and a rate read after it belong to that file (see
  // loadBegins); the read refuses when either has changed.
  const std::uint32_t generation = loader->loadGeneration();
  const std::int32_t fileRate = fileSampleRate();
  const FixedFrames step = fixedStep(speedRatio(fileRate));
  if (step == 0 || step > kLargestAdvance / sampleFrames) return 0;

  FixedFrames start = position.load();
  const FixedFrames end = wholeFrames(frames);
  const FixedFrames advance = step * sampleFrames;
  const bool again = loop.load();
  // A position and a length near 2^31 frames plus an advance near 2^30 pass 2^63: the sum is
  // taken unsigned, where it fits (both parts are at or above 0 and below 2^63).
  const std::uint64_t reached = static_cast<std::uint64_t>(start) + static_cast<std::uint64_t>(advance);
  const auto endAt = static_cast<std::uint64_t>(end);
  // Without loop the part of the block past the end is silence, not the start of the file.
  std::int32_t audible = sampleFrames;
  if (!again && reached > endAt) {
    audible = start >= end ? 0 : static_cast<std::int32_t>((end - start + step - 1) / step);
  }
  if (audible > 0 && !loader->play(outputs, audible, start, step, replace, generation, fileRate)) return 0;

  FixedFrames next = 0;
  bool stopped = false;
  if (reached <= endAt) {
    next = static_cast<FixedFrames>(reached);
  } else if (again) {
    next = static_cast<FixedFrames>(reached % endAt);
  } else {
    stopped = true;
  }
  const auto passed = static_cast<std::int32_t>((reached >> kFractionBits) - static_cast<std::uint64_t>(wholePart(start)));
  // Someone else moved the position meanwhile (a new file, the slider): theirs stands.
  if (!position.compare_exchange_strong(start, next)) return audible;
  if (stopped) {
    playing.store(false);
    if (port != nullptr) port->showPlaying(false);
  }
  const std::int32_t sinceDisplay = framesSinceDisplay.load() + passed;
  if (sinceDisplay > kDisplayInterval || stopped) refreshPositionDisplay();
  framesSinceDisplay.store(sinceDisplay % kDisplayInterval);
  return audible;
}

}  // namespace vintrove
