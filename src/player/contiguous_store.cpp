#include "player/contiguous_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "player/resampled_read.h"

namespace vintrove {

namespace {

int usableChannels(int channelCount) { return std::clamp(channelCount, 0, kMaxChannels); }

// At least one float, so that a capacity of 0 still yields an array.
std::unique_ptr<float[]> newArray(std::int32_t floats) {
  return std::unique_ptr<float[]>(
      new (std::nothrow) float[static_cast<std::size_t>(std::max(floats, 1))]);
}

void copyFloats(float* dst, const float* src, std::int32_t count) {
  std::memcpy(dst, src, sizeof(float) * static_cast<std::size_t>(count));
}

}  // namespace

bool ContiguousStore::allocate(int channelCount, std::int32_t capacity) {
  release();
  if (capacity < 0) {
    return false;
  }
  for (int c = 0; c < usableChannels(channelCount); ++c) {
    samples_[c] = newArray(capacity);
    if (!samples_[c]) {
      return false;
    }
    sizes_[c] = capacity;
  }
  capacity_ = capacity;
  return true;
}

bool ContiguousStore::grow(int channelCount, std::int32_t newCapacity) {
  if (newCapacity < 0) {
    return false;
  }
  bool grown = true;
  for (int c = 0; c < usableChannels(channelCount); ++c) {
    std::unique_ptr<float[]> larger = newArray(newCapacity);
    if (!larger) {
      grown = false;
      continue;
    }
    if (samples_[c]) {
      copyFloats(larger.get(), samples_[c].get(), std::min({capacity_, sizes_[c], newCapacity}));
    }
    samples_[c] = std::move(larger);
    sizes_[c] = newCapacity;
  }
  if (grown) {
    capacity_ = newCapacity;
  }
  return grown;
}

void ContiguousStore::release() {
  for (int c = 0; c < kMaxChannels; ++c) {
    samples_[c].reset();
    sizes_[c] = 0;
  }
}

void ContiguousStore::appendAt(const float* left, const float* right, int channelCount,
                               std::int32_t at, std::int32_t frames) {
  if (at < 0 || frames <= 0) {
    return;
  }
  const float* sources[kMaxChannels] = {left, right};
  for (int c = 0; c < usableChannels(channelCount); ++c) {
    if (sources[c] == nullptr || !samples_[c] || at >= sizes_[c]) {
      continue;
    }
    copyFloats(samples_[c].get() + at, sources[c], std::min(frames, sizes_[c] - at));
  }
}

float* ContiguousStore::writable(int channel, std::int32_t at, std::int32_t& room) {
  room = 0;
  if (channel < 0 || channel >= kMaxChannels || !samples_[channel] || at < 0 || at >= sizes_[channel]) {
    return nullptr;
  }
  room = sizes_[channel] - at;
  return samples_[channel].get() + at;
}

void ContiguousStore::readChannel(float* dst, int channel, std::int32_t frames, std::int32_t start,
                                  float ratio, bool replace, std::int32_t length) const {
  if (dst == nullptr || frames <= 0) {
    return;
  }
  const bool present = channel >= 0 && channel < kMaxChannels && samples_[channel];
  // Never trust a length beyond the array itself.
  if (present) {
    length = std::min(length, sizes_[channel]);
  }
  if (!present || !resampled_read::canStep(length, ratio)) {
    if (replace) {
      resampled_read::silence(dst, frames);
    }
    return;
  }
  const float* src = samples_[channel].get();
  if (replace && ratio == 1.0f) {
    resampled_read::forEachRun(frames, resampled_read::wrapStart(start, length), ratio, length,
                               [&](std::int32_t offset, std::int32_t from, std::int32_t count) {
                                 copyFloats(dst + offset, src + from, count);
                               });
    return;
  }
  resampled_read::forEachRun(frames, resampled_read::wrapStart(start, length), ratio, length,
                             [&](std::int32_t offset, std::int32_t from, std::int32_t count) {
                               resampled_read::stepRun(
                                   dst + offset, from, count, ratio, replace, length,
                                   [src](std::int32_t index) { return src[index]; });
                             });
}

}  // namespace vintrove
