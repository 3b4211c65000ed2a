#include "player/overview.h"

#include <array>
#include <cmath>
#include <cstring>

namespace vintrove {

namespace {

// 1/248 as the single-precision constant the column arithmetic has always used, so that tick
// columns land where they always have.
constexpr float kColumnFraction = 0.004032258f;
constexpr int kSubSamples = 10;

constexpr std::array<OverviewColour, kOverviewHeight> kRowColours = [] {
  std::array<OverviewColour, kOverviewHeight> colours{};
  for (int row = 0; row < kOverviewHeight; ++row) {
    colours[static_cast<std::size_t>(row)] = overviewRowColour(row);
  }
  return colours;
}();

// Truncation toward zero that stays defined for NaN and out-of-range values.
std::int64_t truncated(float value) {
  if (std::isnan(value)) {
    return 0;
  }
  constexpr float kLimit = 4.0e18f;
  if (value >= kLimit) {
    return static_cast<std::int64_t>(kLimit);
  }
  if (value <= -kLimit) {
    return -static_cast<std::int64_t>(kLimit);
  }
  return static_cast<std::int64_t>(value);
}

void paint(unsigned char* pixels, int column, int row, OverviewColour colour) {
  unsigned char* pixel = pixels + row * kOverviewRowBytes + column * kOverviewBytesPerPixel;
  pixel[0] = colour.blue;
  pixel[1] = colour.green;
  pixel[2] = colour.red;
}

std::int64_t tickSpacing(std::int64_t total, std::int64_t sampleRate) {
  if (total < 120 * sampleRate) {
    return 15 * sampleRate;
  }
  return total < 1200 * sampleRate ? 60 * sampleRate : 600 * sampleRate;
}

}  // namespace

void drawOverview(unsigned char* pixels, std::int32_t from, std::int32_t to, std::int32_t total,
                  std::int32_t sampleRate, std::int32_t storedFrames, int channels,
                  SampleReader read) {
  if (pixels == nullptr) {
    return;
  }
  if (to == 0) {
    std::memset(pixels, 0, kOverviewBytes);
  }
  if (total <= 0) {
    return;
  }
  const std::int64_t tick = tickSpacing(total, sampleRate);
  const float t = static_cast<float>(total);
  const float end = static_cast<float>(std::int64_t{to} * kOverviewWidth) / t;
  const int secondChannel = channels > 1 ? 1 : 0;
  auto sample = [&](int channel, std::int64_t position) {
    // Sub-samples of the last column can lie beyond what is decoded (or even allocated).
    if (position < 0 || position >= storedFrames) {
      return 0.0f;
    }
    return std::fabs(read(channel, static_cast<std::int32_t>(position)));
  };

  std::int64_t h = truncated(static_cast<float>(std::int64_t{from} * kOverviewWidth) / t);
  if (h < 0) {
    h = 0;
  }
  for (; h < kOverviewWidth && static_cast<float>(h) < end; ++h) {
    const int column = static_cast<int>(h);
    const float here = static_cast<float>(h);
    const float next = static_cast<float>(h + 1);

    if (tick > 0 && truncated(here * t * kColumnFraction) / tick !=
                        truncated(next * t * kColumnFraction) / tick) {
      for (int row = 0; row < kOverviewHeight; ++row) {
        paint(pixels, column, row, kOverviewTickColour);
      }
    }

    float acc0 = 0.0f;
    float acc1 = 0.0f;
    for (int i = 0; i < kSubSamples; ++i) {
      const float f = static_cast<float>(i) * 0.1f;
      const std::int64_t position = truncated((here * (1.0f - f) + next * f) * t * kColumnFraction);
      const float v0 = sample(0, position);
      const float v1 = sample(secondChannel, position);
      acc0 += v0 * v0;
      acc1 += v1 * v1;
    }
    const float level0 = 2.0f * std::sqrt(acc0 * 0.1f);
    const float level1 = 2.0f * std::sqrt(acc1 * 0.1f);

    std::int64_t low = truncated((1.0f - level0) * 8.0f);
    if (low < 0) {
      low = 0;
    }
    std::int64_t high = 1 + truncated((level1 + 1.0f) * 8.0f);
    if (high > kOverviewHeight - 1) {
      high = kOverviewHeight - 1;
    }
    for (std::int64_t row = low; row < high; ++row) {
      paint(pixels, column, static_cast<int>(row), kRowColours[static_cast<std::size_t>(row)]);
    }
  }
}

}  // namespace vintrove
