#include "player/cluster_store.h"

#include <algorithm>
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
  // The cluster of the last index read, so that a run inside one cluster divides once.
  const float* cluster = nullptr;
  std::int32_t clusterBegin = 0;
  std::int32_t clusterEnd = 0;
  auto fetch = [&](std::int32_t index) {
    if (index < clusterBegin || index >= clusterEnd) {
      const std::int32_t k = index / kClusterSize;
      cluster = table[k].get();
      clusterBegin = k * kClusterSize;
      clusterEnd = clusterBegin + kClusterSize;
    }
    // A length beyond the clusters present (a store released after a failed growth) reads as
    // silence.
    return cluster != nullptr ? cluster[index - clusterBegin] : 0.0f;
  };
  resampled_read::forEachRun(frames, resampled_read::wrapStart(start, length), ratio, length,
                             [&](std::int32_t offset, std::int32_t from, std::int32_t count) {
                               resampled_read::stepRun(dst + offset, from, count, ratio, replace,
                                                       length, fetch);
                             });
}

}  // namespace vintrove
