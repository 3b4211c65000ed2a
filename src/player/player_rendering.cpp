// The audio callback: plays the decoded file into the two outputs at the speed of the pitch and
// the two sample rates, advances the position, ends or wraps the file, and moves the editor's
// position display every 4000 file frames. Allocates nothing and takes no lock.
#include <cmath>
#include <cstdint>

#include "player/player_effect.h"

namespace vintrove {

namespace {

// A block may skip at most this many file frames; beyond it the rates are taken as unusable,
// which keeps the position arithmetic inside 32 bits.
constexpr double kLargestAdvance = 1073741824.0;  // 2^30

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
  const std::int32_t frames = length.load();
  if (sampleFrames <= 0 || frames <= 0 || loader == nullptr) return;
  const float ratio = speedRatio(fileSampleRate());
  const double exactAdvance = static_cast<double>(sampleFrames) * ratio;
  if (ratio == 0.0f || exactAdvance >= kLargestAdvance) return;
  if (!playing.load()) return;
  const std::int32_t start = position.load();
  if (!loader->read(outputs, sampleFrames, start, ratio, replace)) return;

  const auto advance = static_cast<std::int32_t>(exactAdvance);
  std::int64_t next = static_cast<std::int64_t>(start) + advance;
  std::int32_t sinceDisplay = framesSinceDisplay.load() + advance;
  bool stopped = false;
  if (next > frames) {
    const bool again = loop.load();
    playing.store(again);
    if (again) {
      next -= frames;
    } else {
      next = 0;
      stopped = true;
      if (port != nullptr) port->showPlaying(false);
    }
  }
  position.store(static_cast<std::int32_t>(next));
  if (sinceDisplay > kDisplayInterval || stopped) refreshPositionDisplay();
  framesSinceDisplay.store(sinceDisplay % kDisplayInterval);
}

}  // namespace vintrove
