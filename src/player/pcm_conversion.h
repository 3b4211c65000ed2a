// Turns libmad's 28-bit fixed-point output into the store's float samples, one store channel at
// a time, straight into the store's memory. The store's channel count is the first frame's;
// later frames of another count are fitted to it: a mono frame fills both channels of a stereo
// store, a stereo frame goes into a mono store as the mean of its two channels.
#pragma once

#include <mad.h>

#include <cstdint>

namespace vintrove {

inline constexpr float kFixedToFloat = 1.0f / 268435456.0f;  // libmad's 28 fraction bits

inline float fixedToFloat(mad_fixed_t value) { return static_cast<float>(value) * kFixedToFloat; }

// Writes count samples of store channel `channel` (of a store with storeChannels channels) to
// dst, from sample `from` of the frame's pcm on.
inline void convertChannel(float* __restrict dst, const mad_pcm& pcm, int storeChannels, int channel,
                           std::int32_t from, std::int32_t count) {
  const mad_fixed_t* __restrict left = pcm.samples[0] + from;
  if (storeChannels == 1 && pcm.channels > 1) {
    const mad_fixed_t* __restrict right = pcm.samples[1] + from;
    for (std::int32_t i = 0; i < count; ++i) {
      dst[i] = (fixedToFloat(left[i]) + fixedToFloat(right[i])) * 0.5f;
    }
    return;
  }
  const mad_fixed_t* __restrict source = (channel > 0 && pcm.channels > 1) ? pcm.samples[1] + from : left;
  for (std::int32_t i = 0; i < count; ++i) dst[i] = fixedToFloat(source[i]);
}

}  // namespace vintrove
