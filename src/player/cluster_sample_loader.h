// The loader the player uses: its store is made of clusters that never move, so the audio
// thread reads it without a lock while the decoding thread appends.
#pragma once

#include "player/cluster_store.h"
#include "player/sample_loader.h"
#include "player/sinc_kernel.h"

namespace vintrove {

class ClusterSampleLoader : public SampleLoader {
 public:
  explicit ClusterSampleLoader(LoaderOwner* owner);
  ~ClusterSampleLoader() override;

  void decodeFile() override;
  bool read(float** outputs, std::int32_t frames, std::int32_t position, float ratio,
            bool replace) override;
  void forgetStore() override;
  bool allocateStore(std::int32_t channelCount, std::int32_t newCapacity) override;
  bool growStore(std::int32_t channelCount, std::int32_t newCapacity) override;
  void releaseStore() override;
  virtual void readClusterChannel(float* dst, int channel, std::int32_t frames,
                                  std::int32_t startFrame, float ratio, bool replace);
  virtual std::int32_t appendBlock(const float* left, const float* right,
                                   std::int32_t channelCount, std::int32_t at, std::int32_t frames);
  virtual float sampleAt(int channel, std::int32_t index) const;

  // Playback's read: output sample i of both outputs reads the stored frame at the whole part of
  // (position + i x step) (32.32 fixed point), wrapping modulo the decoded length. It reads only
  // for the file of the given loadGeneration() whose sample rate the caller's step was worked
  // out from, and only once every frame it needs is decoded (or the load has ended); otherwise it
  // answers false and writes nothing. Takes no lock and allocates nothing.
  // With a kernel, each output sample is interpolated from the stored frames around its exact
  // position instead (interpolated_read.h), except at step 1 from a whole frame, where the stored
  // samples are copied as they are; loopSeam lets a finished file's kernel read across its seam.
  bool play(float** outputs, std::int32_t frames, FixedFrames position, FixedFrames step,
            bool replace, std::uint32_t forGeneration, std::int32_t forSampleRate,
            const SincKernel* kernel = nullptr, bool loopSeam = false);

  // For tests: clusters beyond this many (all channels together) fail as if memory were short
  // (ClusterStore::setClusterBudget); kept across loads.
  void setClusterBudget(std::int32_t clusterCount);
  // Clusters the store holds for a channel now.
  std::int32_t heldClusters(int channel);

 protected:
  float* writableSamples(int channel, std::int32_t at, std::int32_t& room) override;
  void trimStore(std::int32_t frames) override;
  void paintOverview(unsigned char* pixels, std::int32_t from, std::int32_t to,
                     std::int32_t total) override;

 private:
  ClusterStore clusters;
};

}  // namespace vintrove
