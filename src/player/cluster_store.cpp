#include "player/cluster_store.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "player/fixed_frames.h"
#include "player/resampled_read.h"

namespace vintrove {

namespace {

int usableChannels(int channelCount) { return std::clamp(channelCount, 0, kMaxChannels); }

}  // namespace

bool ClusterStore::allocate(int channelCount, std::int32_t capacity) {
  release();
  if (capacity < 0 || capacity > kMaxFrames) return false;
  return take(channelCount, capacity);
}

bool ClusterStore::grow(int channelCount, std::int32_t newCapacity) {
  if (newCapacity < 0 || newCapacity > kMaxFrames) return false;
  return take(channelCount, newCapacity);
}

// Short of memory the store keeps what every channel got: those clusters may already be read,
// and the frames they hold can still be decoded and played.
bool ClusterStore::take(int channelCount, std::int32_t capacity) {
  const std::int32_t wanted = clustersNeeded(capacity);
  const std::int32_t whole = addClusters(channelCount, wanted);
  if (whole == wanted) {
    capacity_ = capacity;
    return true;
  }
  // Never less than before a growth: the clusters of the old capacity are all held.
  ranOutOfMemory_ = true;
  capacity_ = whole * kClusterSize;
  return false;
}

// Fills every empty slot below `clusters`, cluster by cluster across the channels. On a
// consistent store those are exactly the slots beyond the current capacity; filling all of them
// also repairs a store that was released. Answers how many clusters every channel now holds:
// `clusters`, or the index where memory ran out. A cluster there that only some channels got is
// freed again: no frame can use it, and nothing reads it yet.
std::int32_t ClusterStore::addClusters(int channelCount, std::int32_t clusters) {
  const int channels = usableChannels(channelCount);
  for (std::int32_t k = 0; k < clusters; ++k) {
    bool added[kMaxChannels] = {};
    for (int c = 0; c < channels; ++c) {
      if (clusters_[c][k]) continue;
      clusters_[c][k] = newCluster();
      if (!clusters_[c][k]) {
        for (int d = 0; d < c; ++d) {
          if (!added[d]) continue;
          clusters_[d][k].reset();
          --held_;
        }
        return k;
      }
      added[c] = true;
      ++held_;
    }
  }
  return clusters;
}

std::unique_ptr<float[]> ClusterStore::newCluster() {
  if (clusterBudget_ >= 0 && held_ >= clusterBudget_) return nullptr;
  return std::unique_ptr<float[]>(new (std::nothrow) float[kClusterSize]);
}

void ClusterStore::release() {
  for (auto& channel : clusters_) {
    for (auto& cluster : channel) {
      cluster.reset();
    }
  }
  held_ = 0;
  ranOutOfMemory_ = false;
}

void ClusterStore::trim(std::int32_t frames) {
  const std::int32_t keep = clustersNeeded(frames);
  for (auto& channel : clusters_) {
    for (std::int32_t k = keep; k < kMaxClusters; ++k) {
      if (!channel[k]) continue;
      channel[k].reset();
      --held_;
    }
  }
  capacity_ = static_cast<std::int32_t>(std::min<std::int64_t>(capacity_, std::int64_t{keep} * kClusterSize));
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

// Steps through one or two channels of the store at once: each output sample reads the stored
// frame at the whole part of its 32.32 position, and the position wraps modulo the length. The
// positions are split per cluster, and within a cluster into a 32-bit offset and fraction, so
// that 32-bit processors step with an add and a carry and both outputs share one position.
class SteppedRead {
 public:
  explicit SteppedRead(bool replace) : replace_(replace) {}

  void addChannel(const std::unique_ptr<float[]>* table, float* out) {
    tables_[channels_] = table;
    outs_[channels_] = out;
    ++channels_;
  }

  // count output samples from `at` (0 <= at < length frames); step > 0.
  void run(FixedFrames at, FixedFrames step, std::int32_t count, std::int32_t length) {
    const FixedFrames end = wholeFrames(length);
    std::int32_t done = 0;
    while (done < count) {
      const std::int32_t index = wholePart(at);
      const std::int32_t k = index / kClusterSize;
      const std::int32_t clusterStart = k * kClusterSize;
      // The last cluster of the table ends beyond the int32 range: no sum may pass it.
      const std::int32_t stop = clusterStart + std::min(kClusterSize, length - clusterStart);
      // Steps whose position stays below stop: at least one, since at lies below it.
      const FixedFrames inside = (wholeFrames(stop) - at + step - 1) / step;
      const auto n = static_cast<std::int32_t>(std::min<FixedFrames>(inside, count - done));
      if (step == kOneFrame) {
        for (int c = 0; c < channels_; ++c) copy(c, done, k, index - clusterStart, n);
      } else {
        stepInCluster(done, k, at - wholeFrames(clusterStart), step, n);
      }
      // Measured from the end: near the largest length, at + advance may pass 2^63.
      const FixedFrames advance = step * n;
      const FixedFrames rest = end - at;
      at = advance >= rest ? (advance - rest) % end : at + advance;
      done += n;
    }
  }

 private:
  void copy(int c, std::int32_t at, std::int32_t k, std::int32_t offset, std::int32_t n) {
    const float* cluster = tables_[c][k].get();
    float* out = outs_[c] + at;
    if (cluster == nullptr) {
      fill(out, n);
    } else if (replace_) {
      std::memcpy(out, cluster + offset, sizeof(float) * static_cast<std::size_t>(n));
    } else {
      for (std::int32_t j = 0; j < n; ++j) out[j] += cluster[offset + j];
    }
  }

  void stepInCluster(std::int32_t at, std::int32_t k, FixedFrames local, FixedFrames step,
                     std::int32_t n) {
    const auto offset = static_cast<std::uint32_t>(local >> kFractionBits);
    const auto fraction = static_cast<std::uint32_t>(local);
    const auto wholeStep = static_cast<std::uint32_t>(step >> kFractionBits);
    const auto fractionStep = static_cast<std::uint32_t>(step);
    const float* first = tables_[0][k].get();
    const float* second = channels_ > 1 ? tables_[1][k].get() : nullptr;
    if (channels_ > 1 && first != nullptr && second != nullptr) {
      if (replace_) {
        stepPair<true>(first, second, outs_[0] + at, outs_[1] + at, offset, fraction, wholeStep,
                       fractionStep, n);
      } else {
        stepPair<false>(first, second, outs_[0] + at, outs_[1] + at, offset, fraction, wholeStep,
                        fractionStep, n);
      }
      return;
    }
    for (int c = 0; c < channels_; ++c) {
      const float* cluster = tables_[c][k].get();
      float* out = outs_[c] + at;
      if (cluster == nullptr) {
        fill(out, n);
      } else if (replace_) {
        stepPair<true>(cluster, nullptr, out, nullptr, offset, fraction, wholeStep, fractionStep, n);
      } else {
        stepPair<false>(cluster, nullptr, out, nullptr, offset, fraction, wholeStep, fractionStep,
                        n);
      }
    }
  }

  // One output, or two from the same positions when there is a second source.
  template <bool kReplace>
  static void stepPair(const float* a, const float* b, float* outA, float* outB,
                       std::uint32_t offset, std::uint32_t fraction, std::uint32_t wholeStep,
                       std::uint32_t fractionStep, std::int32_t n) {
    auto put = [](float* out, std::int32_t j, float value) {
      if constexpr (kReplace) {
        out[j] = value;
      } else {
        out[j] += value;
      }
    };
    std::int32_t j = 0;
    for (; j < n; ++j) {
      put(outA, j, a[offset]);
      if (b != nullptr) put(outB, j, b[offset]);
      fraction += fractionStep;
      offset += wholeStep + (fraction < fractionStep ? 1u : 0u);
    }
  }

  void fill(float* out, std::int32_t n) const {
    if (replace_) std::fill_n(out, n, 0.0f);
  }

  const std::unique_ptr<float[]>* tables_[kMaxChannels] = {};
  float* outs_[kMaxChannels] = {};
  int channels_ = 0;
  bool replace_;
};

}  // namespace

void ClusterStore::readStereo(float* left, float* right, int leftChannel, int rightChannel,
                              std::int32_t frames, FixedFrames start, FixedFrames step,
                              bool replace, std::int32_t length) const {
  if (left == nullptr || right == nullptr || frames <= 0) return;
  const auto valid = [](int c) { return c >= 0 && c < kMaxChannels; };
  length = std::min(length, kMaxFrames);
  if (!valid(leftChannel) || !valid(rightChannel) || length <= 0 || step <= 0) {
    if (replace) {
      resampled_read::silence(left, frames);
      resampled_read::silence(right, frames);
    }
    return;
  }
  const FixedFrames end = wholeFrames(length);
  if (start < 0 || start >= end) {
    start %= end;
    if (start < 0) start += end;
  }
  SteppedRead read(replace);
  read.addChannel(clusters_[leftChannel], left);
  read.addChannel(clusters_[rightChannel], right);
  read.run(start, step, frames, length);
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
  length = std::min(length, kMaxFrames);
  const std::unique_ptr<float[]>* table = clusters_[channel];
  const FixedFrames step = fixedStep(ratio);
  resampled_read::forEachRun(frames, resampled_read::wrapStart(start, length), ratio, length,
                             [&](std::int32_t offset, std::int32_t from, std::int32_t count) {
                               SteppedRead run(replace);
                               run.addChannel(table, dst + offset);
                               run.run(wholeFrames(from), step, count, length);
                             });
}

}  // namespace vintrove
