// The clustered sample store: per channel a table of fixed-size clusters that only ever gains
// clusters while a file decodes, so samples never move once written and the audio thread can
// read them without a lock. The table has a slot for every cluster up to kMaxFrames from the
// start (both channels: 336 KiB on 64 bits, 8 KB on 32), so growing never moves the table
// either and a read finds a cluster with one index. The loader owns one, guards its changes
// with its store lock and keeps a StoreGate around release so no read is in progress while
// clusters are freed.
#pragma once

#include <cstdint>
#include <memory>

#include "player/fixed_frames.h"
#include "player/store_layout.h"

namespace vintrove {

class ClusterStore {
 public:
  ClusterStore() = default;
  ClusterStore(const ClusterStore&) = delete;
  ClusterStore& operator=(const ClusterStore&) = delete;

  // Releases, then makes room for capacity frames of channelCount channels. A capacity beyond
  // kMaxFrames leaves the store released and answers false. When memory runs out the answer is
  // false too, but the store keeps the clusters every channel got and capacity() is what they
  // hold (a multiple of kClusterSize, perhaps 0); ranOutOfMemory() tells the two apart.
  bool allocate(int channelCount, std::int32_t capacity);
  // Adds the clusters newCapacity needs; clusters already present stay where they are. Beyond
  // kMaxFrames: false, nothing changes. When memory runs out: false, and the clusters every
  // channel got stay, capacity() raised to what they hold, as for allocate.
  bool grow(int channelCount, std::int32_t newCapacity);
  // Frees every cluster; capacity() keeps its value.
  void release();
  // Frees the clusters beyond those `frames` frames need (always at least the first);
  // capacity() comes down to what the clusters left hold. Nothing at or below frames moves.
  void trim(std::int32_t frames);

  // A cluster could not be had since the store was last released.
  bool ranOutOfMemory() const { return ranOutOfMemory_; }
  // For tests: at most this many clusters (all channels together) are held; a cluster beyond
  // them fails as if memory were short. Negative: no budget (the default).
  void setClusterBudget(std::int32_t clusters) { clusterBudget_ = clusters; }

  // Copies frames samples per channel (left for channel 0, right for channel 1) to frame
  // positions at .. at + frames - 1. Returns channelCount, or 0 when it is not positive.
  std::int32_t append(const float* left, const float* right, int channelCount, std::int32_t at,
                      std::int32_t frames);

  // Where the decoder writes frame `at` of a channel: the cluster memory there, with room set to
  // the floats that follow it in the same cluster; null (room 0) where no cluster is.
  float* writable(int channel, std::int32_t at, std::int32_t& room);

  // No bounds check: index must lie below the frames stored.
  float sampleAt(int channel, std::int32_t index) const {
    return clusters_[channel][index / kClusterSize][index % kClusterSize];
  }

  // Writes (replace) or adds frames output samples of one channel, stepping ratio stored frames
  // per output sample from start and wrapping at length, the playable frame count read once by
  // the caller. Never reads at or beyond length.
  void readChannel(float* dst, int channel, std::int32_t frames, std::int32_t start, float ratio,
                   bool replace, std::int32_t length) const;

  // Playback's read of both outputs: output sample i reads the stored frame at the whole part of
  // (start + i x step), modulo length, from leftChannel into left and rightChannel into right
  // (a mono file names channel 0 twice). Writes (replace) or adds. length is the playable frame
  // count read once by the caller; a step or length of 0 or less writes silence or nothing.
  void readStereo(float* left, float* right, int leftChannel, int rightChannel,
                  std::int32_t frames, FixedFrames start, FixedFrames step, bool replace,
                  std::int32_t length) const;

  std::int32_t capacity() const { return capacity_; }
  std::int32_t clusterCount(int channel) const;

 private:
  bool take(int channelCount, std::int32_t capacity);
  std::int32_t addClusters(int channelCount, std::int32_t clusters);
  std::unique_ptr<float[]> newCluster();

  std::unique_ptr<float[]> clusters_[kMaxChannels][kMaxClusters];
  std::int32_t capacity_ = 0;
  std::int32_t held_ = 0;  // clusters of all channels
  std::int32_t clusterBudget_ = -1;
  bool ranOutOfMemory_ = false;
};

}  // namespace vintrove
