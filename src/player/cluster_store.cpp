#include "player/cluster_store.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "player/resampled_read.h"

namespace vintrove {

namespace {

int usableChannels(int channelCount) { return std::clamp(channelCount, 0, kMaxChannels); }

}  // namespace

bool ClusterStore::allocate(int channelCount, std::int32_t capacity) {
  release();
  if (capacity < 0 || !addClusters(channelCount, clustersNeeded(capacity))) {
    release();
    return false;
  }
  capacity_ = capacity;
  return true;
}

bool ClusterStore::grow(int channelCount, std::int32_t newCapacity) {
  if (newCapacity < 0 || !addClusters(channelCount, clustersNeeded(newCapacity))) {
    return false;
  }
  capacity_ = newCapacity;
  return true;
}

// Fills every empty slot below `clusters`. On a consistent store those are exactly the slots
// beyond the current capacity; filling all of them also repairs a store that was released.
// A failure leaves the clusters in place: readers may be inside them, so releasing is the
// caller's, once no read is in progress.
bool ClusterStore::addClusters(int channelCount, std::int32_t clusters) {
  if (clusters > kMaxClusters) {
    return false;
  }
  for (int c = 0; c < usableChannels(channelCount); ++c) {
    for (std::int32_t k = 0; k < clusters; ++k) {
      if (clusters_[c][k]) {
        continue;
      }
      clusters_[c][k].reset(new (std::nothrow) float[kClusterSize]);
      if (!clusters_[c][k]) {
        return false;
      }
    }
  }
  return true;
}

void ClusterStore::release() {
  for (auto& channel : clusters_) {
    for (auto& cluster : channel) {
      cluster.reset();
    }
  }
}

std::int32_t ClusterStore::clusterCount(int channel) const {
  if (channel < 0 || channel >= kMaxChannels) {
    return 0;
  }
  return static_cast<std::int32_t>(
      std::count_if(std::begin(clusters_[channel]), std::end(clusters_[channel]),
                    [](const std::unique_ptr<float[]>& cluster) { return cluster != nullptr; }));
}

std::int32_t ClusterStore::append(const float* left, const float* right, int channelCount,
                                  std::int32_t at, std::int32_t frames) {
  if (channelCount <= 0) {
    return 0;
  }
  if (at < 0 || frames <= 0) {
    return channelCount;
  }
  const float* sources[kMaxChannels] = {left, right};
  for (int c = 0; c < usableChannels(channelCount); ++c) {
    const float* source = sources[c];
    if (source == nullptr) {
      continue;
    }
    // Cluster by cluster; a missing cluster or the end of the table stops the copy rather
    // than writing where no memory is.
    std::int64_t position = at;
    std::int32_t copied = 0;
    while (copied < frames) {
      const std::int64_t k = position / kClusterSize;
      if (k >= kMaxClusters || !clusters_[c][k]) {
        break;
      }
      const std::int32_t offset = static_cast<std::int32_t>(position % kClusterSize);
      const std::int32_t count = std::min(kClusterSize - offset, frames - copied);
      std::memcpy(clusters_[c][k].get() + offset, source + copied,
                  sizeof(float) * static_cast<std::size_t>(count));
      copied += count;
      position += count;
    }
  }
  return channelCount;
}

float* ClusterStore::writable(int channel, std::int32_t at, std::int32_t& room) {
  room = 0;
  if (channel < 0 || channel >= kMaxChannels || at < 0) return nullptr;
  const std::int32_t k = at / kClusterSize;
  if (k >= kMaxClusters || !clusters_[channel][k]) return nullptr;
  const std::int32_t offset = at % kClusterSize;
  room = kClusterSize - offset;
  return clusters_[channel][k].get() + offset;
}

namespace {

// One run of a block: count output samples from source frame `from`, every index below length.
// At ratio 1 whole stretches of a cluster are copied; otherwise the source position steps in
// 32.32 fixed point, which is exact for every float ratio of at least 2^-9 (the float's mantissa
// fits the fraction), so it picks the same truncated index as from + i x ratio would.
class ClusterRun {
 public:
  ClusterRun(const std::unique_ptr<float[]>* table, float* dst, bool replace)
      : table_(table), dst_(dst), replace_(replace) {}

  void copy(std::int32_t from, std::int32_t count) {
    std::int32_t done = 0;
    while (done < count) {
      const std::int32_t index = from + done;
      const std::int32_t offset = index % kClusterSize;
      const std::int32_t n = std::min(count - done, kClusterSize - offset);
      put(done, table_[index / kClusterSize].get(), offset, n);
      done += n;
    }
  }

  void step(std::int32_t from, std::int32_t count, float ratio, std::int32_t length) {
    const double exactStep = ratio;
    // Positions past the file (possible only by rounding at its very end) repeat the last frame.
    std::int32_t inside = count;
    while (inside > 0 && from + (inside - 1) * exactStep >= length) --inside;
    if (ratio >= 1.0f / 512.0f) {
      const auto increment = static_cast<std::uint64_t>(std::ldexp(exactStep, 32));
      std::uint64_t position = static_cast<std::uint64_t>(from) << 32;
      std::int32_t i = 0;
      while (i < inside) {
        const auto index = static_cast<std::int32_t>(position >> 32);
        const std::int32_t k = index / kClusterSize;
        const float* cluster = table_[k].get();
        const std::uint64_t clusterEnd = static_cast<std::uint64_t>((k + 1) * kClusterSize) << 32;
        const std::uint64_t base = static_cast<std::uint64_t>(k * kClusterSize) << 32;
        // Samples whose source lies in this cluster.
        std::int32_t n = static_cast<std::int32_t>((clusterEnd - position + increment - 1) / increment);
        n = std::min(n, inside - i);
        if (cluster == nullptr) {
          fill(i, n);
        } else {
          // Split into a 32-bit index and fraction so 32-bit processors step with add and carry.
          const std::uint64_t local = position - base;
          auto offset = static_cast<std::uint32_t>(local >> 32);
          auto fraction = static_cast<std::uint32_t>(local);
          const auto wholeStep = static_cast<std::uint32_t>(increment >> 32);
          const auto fractionStep = static_cast<std::uint32_t>(increment);
          float* out = dst_ + i;
          if (replace_) {
            for (std::int32_t j = 0; j < n; ++j) {
              out[j] = cluster[offset];
              fraction += fractionStep;
              offset += wholeStep + (fraction < fractionStep ? 1u : 0u);
            }
          } else {
            for (std::int32_t j = 0; j < n; ++j) {
              out[j] += cluster[offset];
              fraction += fractionStep;
              offset += wholeStep + (fraction < fractionStep ? 1u : 0u);
            }
          }
        }
        position += increment * static_cast<std::uint64_t>(n);
        i += n;
      }
    } else {
      for (std::int32_t i = 0; i < inside; ++i) {
        const auto index = static_cast<std::int32_t>(from + i * exactStep);
        const float* cluster = table_[index / kClusterSize].get();
        put(i, cluster, index % kClusterSize, 1);
      }
    }
    for (std::int32_t i = inside; i < count; ++i) {
      const std::int32_t last = length - 1;
      put(i, table_[last / kClusterSize].get(), last % kClusterSize, 1);
    }
  }

 private:
  // A missing cluster (a store released after a failed growth) reads as silence.
  void put(std::int32_t at, const float* cluster, std::int32_t offset, std::int32_t n) {
    if (cluster == nullptr) {
      fill(at, n);
    } else if (replace_) {
      std::memcpy(dst_ + at, cluster + offset, sizeof(float) * static_cast<std::size_t>(n));
    } else {
      for (std::int32_t j = 0; j < n; ++j) dst_[at + j] += cluster[offset + j];
    }
  }
  void fill(std::int32_t at, std::int32_t n) {
    if (replace_) std::fill_n(dst_ + at, n, 0.0f);
  }

  const std::unique_ptr<float[]>* table_;
  float* dst_;
  bool replace_;
};

}  // namespace

void ClusterStore::readChannel(float* dst, int channel, std::int32_t frames, std::int32_t start,
                               float ratio, bool replace, std::int32_t length) const {
  if (dst == nullptr || frames <= 0) {
    return;
  }
  if (channel < 0 || channel >= kMaxChannels || !resampled_read::canStep(length, ratio)) {
    if (replace) {
      resampled_read::silence(dst, frames);
    }
    return;
  }
  // No store holds more than the full table; a larger length would index past it.
  length = std::min(length, kMaxClusters * kClusterSize);
  const std::unique_ptr<float[]>* table = clusters_[channel];
  resampled_read::forEachRun(frames, resampled_read::wrapStart(start, length), ratio, length,
                             [&](std::int32_t offset, std::int32_t from, std::int32_t count) {
                               ClusterRun run(table, dst + offset, replace);
                               if (ratio == 1.0f) {
                                 run.copy(from, count);
                               } else {
                                 run.step(from, count, ratio, length);
                               }
                             });
}

}  // namespace vintrove
