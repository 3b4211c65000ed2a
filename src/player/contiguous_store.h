// The contiguous sample store: one float array per channel, reallocated and copied when it
// grows. Its arrays move on growth, so unlike the clustered store every read and every change
// must happen under the owner's store lock.
#pragma once

#include <cstdint>
#include <memory>

#include "player/store_layout.h"

namespace vintrove {

class ContiguousStore {
 public:
  ContiguousStore() = default;
  ContiguousStore(const ContiguousStore&) = delete;
  ContiguousStore& operator=(const ContiguousStore&) = delete;

  // Releases, then allocates one array of capacity floats per channel. When an array cannot be
  // had the answer is false; arrays already obtained stay until the next release.
  bool allocate(int channelCount, std::int32_t capacity);
  // Replaces each channel's array by one of newCapacity floats holding the stored samples. A
  // channel whose new array cannot be had keeps its old one and the answer is false.
  bool grow(int channelCount, std::int32_t newCapacity);
  // Frees both arrays; capacity() keeps its value.
  void release();

  // Copies frames samples per channel (left for channel 0, right for channel 1) to frame
  // positions at .. at + frames - 1; samples beyond the array are dropped.
  void appendAt(const float* left, const float* right, int channelCount, std::int32_t at,
                std::int32_t frames);

  // Where the decoder writes frame `at` of a channel, with room set to the floats left in its
  // array from there; null (room 0) where there is no array or at lies beyond it.
  float* writable(int channel, std::int32_t at, std::int32_t& room);

  // No bounds check: index must lie below the frames stored.
  float sampleAt(int channel, std::int32_t index) const { return samples_[channel][index]; }

  // The same read as ClusterStore::readChannel; replacing at ratio 1 copies whole runs.
  void readChannel(float* dst, int channel, std::int32_t frames, std::int32_t start, float ratio,
                   bool replace, std::int32_t length) const;

  std::int32_t capacity() const { return capacity_; }
  bool holds(int channel) const {
    return channel >= 0 && channel < kMaxChannels && samples_[channel] != nullptr;
  }

 private:
  std::unique_ptr<float[]> samples_[kMaxChannels];
  // Floats in each array, which can differ from capacity_ after a partly failed growth.
  std::int32_t sizes_[kMaxChannels] = {0, 0};
  std::int32_t capacity_ = 0;
};

}  // namespace vintrove
