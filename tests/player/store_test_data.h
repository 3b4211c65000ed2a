// Sample patterns for the store tests. Stored sample i of channel 0 is i + 1 and of channel 1
// is -(i + 1), so every output value names the frame it came from, 0 means "not written", and
// the sign tells the channel. Exact in float up to 2^24 frames.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vintrove::test {

inline constexpr std::int32_t kDecoderBlock = 1152;  // one MPEG frame, the loader's append size

inline float leftSample(std::int32_t index) { return static_cast<float>(index + 1); }
inline float rightSample(std::int32_t index) { return -static_cast<float>(index + 1); }

// The frame an output value was read from (its channel's pattern undone).
inline std::int32_t frameOf(float value) {
  return static_cast<std::int32_t>(value < 0 ? -value : value) - 1;
}

// Appends frames first .. first + count - 1 of the pattern in decoder-sized blocks, the way the
// loader does. Store is a ClusterStore (append) or ContiguousStore (appendAt) via `put`.
template <typename Put>
void appendPattern(Put&& put, std::int32_t first, std::int32_t count) {
  std::vector<float> left(kDecoderBlock);
  std::vector<float> right(kDecoderBlock);
  for (std::int32_t at = first; at < first + count; at += kDecoderBlock) {
    const std::int32_t frames = std::min(kDecoderBlock, first + count - at);
    for (std::int32_t j = 0; j < frames; ++j) {
      left[static_cast<std::size_t>(j)] = leftSample(at + j);
      right[static_cast<std::size_t>(j)] = rightSample(at + j);
    }
    put(left.data(), right.data(), at, frames);
  }
}

// Writes a constant value to frames first .. first + count - 1 of both channels.
template <typename Put>
void appendConstant(Put&& put, std::int32_t first, std::int32_t count, float value) {
  std::vector<float> block(static_cast<std::size_t>(count), value);
  put(block.data(), block.data(), first, count);
}

}  // namespace vintrove::test
