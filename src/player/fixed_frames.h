// Playback positions and speed steps in 32.32 fixed point: whole file frames in the high 32 bits,
// the fraction of a frame in the low 32 bits. A block advances the position by exactly frames x
// step, so the speed does not depend on how the host cuts its blocks, and output sample i of a
// block reads the stored frame at the whole part of (position + i x step).
#pragma once

#include <cmath>
#include <cstdint>

namespace vintrove {

using FixedFrames = std::int64_t;

inline constexpr int kFractionBits = 32;
inline constexpr FixedFrames kOneFrame = FixedFrames{1} << kFractionBits;

constexpr FixedFrames wholeFrames(std::int32_t frames) {
  return static_cast<FixedFrames>(frames) * kOneFrame;
}

// The whole part; callers keep positions at or above 0.
constexpr std::int32_t wholePart(FixedFrames position) {
  return static_cast<std::int32_t>(position >> kFractionBits);
}

// The step of a speed ratio (file frames per output frame). Exact for every float ratio of at
// least 2^-9, whose lowest mantissa bit is then at least 2^-32; smaller ratios lose the bits below
// 2^-32 but step at least that much, and ratios of 2^30 and beyond step 2^30 frames. Answers 0
// for a ratio that cannot step at all (not positive or not finite).
inline FixedFrames fixedStep(float ratio) {
  if (!(ratio > 0.0f) || !std::isfinite(ratio)) return 0;
  if (ratio >= 1073741824.0f) return wholeFrames(1073741824);
  const auto step = static_cast<FixedFrames>(std::ldexp(static_cast<double>(ratio), kFractionBits));
  return step > 0 ? step : 1;
}

}  // namespace vintrove
