#include "player/cluster_sample_loader.h"

#include <limits>
#include <mutex>

#include "player/interpolated_read.h"
#include "player/overview.h"

namespace vintrove {

ClusterSampleLoader::ClusterSampleLoader(LoaderOwner* loaderOwner) : SampleLoader(loaderOwner) {}

ClusterSampleLoader::~ClusterSampleLoader() {
  std::lock_guard<platform::Lock> guard(storeLock);
  releaseStore();
}

void ClusterSampleLoader::decodeFile() { runDecode(false); }

bool ClusterSampleLoader::read(float** outputs, std::int32_t frames, std::int32_t position,
                               float ratio, bool replace) {
  if (stopRequested.load() || !usableOutputs(outputs, frames)) return false;
  // The audio thread never waits: while the store is being released it plays silence.
  StoreGate::ReadPass pass(readGate);
  // Completion first: a length read after it is the final one once it is set.
  const bool whole = complete.load();
  const std::int32_t decoded = decodedFrames.load();
  const bool ready =
      pass && (whole || static_cast<std::int64_t>(decoded) >= static_cast<std::int64_t>(position) + frames) &&
      decoded != 0;
  if (!ready) {
    if (replace) fillSilence(outputs, frames);
    return false;
  }
  const std::int32_t startFrame = position >= 0 ? position % decoded : 0;
  readClusterChannel(outputs[0], 0, frames, startFrame, ratio, replace);
  readClusterChannel(outputs[1], channels.load() > 1 ? 1 : 0, frames, startFrame, ratio, replace);
  return true;
}

bool ClusterSampleLoader::play(float** outputs, std::int32_t frames, FixedFrames position,
                               FixedFrames step, bool replace, std::uint32_t forGeneration,
                               std::int32_t forSampleRate, const SincKernel* kernel,
                               bool loopSeam) {
  if (stopRequested.load() || !usableOutputs(outputs, frames) || step <= 0 || position < 0) {
    return false;
  }
  if (step > (std::numeric_limits<FixedFrames>::max() - position) / frames) return false;
  StoreGate::ReadPass pass(readGate);
  if (!pass || generation.load() != forGeneration) return false;
  // Completion first: a length read after it is the final one once it is set, so a block never
  // wraps at a length the decode has already passed.
  const bool whole = complete.load();
  const std::int32_t decoded = decodedFrames.load();
  if (decoded <= 0) return false;
  // A new file's rate is known before its first frame is stored; until then the caller may have
  // stepped by the default rate.
  if (sampleRate.load() != forSampleRate) return false;
  // The last position this block plays, before any wrap; while decoding, every frame read there
  // must be decoded: the frame itself, or with a kernel the whole window up to taps - lead - 1
  // frames past it (a frame not decoded yet would read as silence and click).
  const FixedFrames last = position + step * (frames - 1);
  const bool exact = step == kOneFrame && (position & (kOneFrame - 1)) == 0;
  const std::int32_t reach = kernel != nullptr && !exact ? kernel->taps() - kernel->lead() - 1 : 0;
  if (!whole && std::int64_t{wholePart(last)} + reach >= decoded) return false;
  const int right = channels.load() > 1 ? 1 : 0;
  if (kernel == nullptr || exact) {
    clusters.readStereo(outputs[0], outputs[1], 0, right, frames, position, step, replace, decoded);
    return true;
  }
  auto runs = [this](int channel, std::int32_t at, std::int32_t& room) -> const float* {
    return clusters.writable(channel, at, room);
  };
  InterpolatedRead<decltype(runs)> read(*kernel, runs, 0, right, decoded, loopSeam && whole);
  read.run(outputs[0], outputs[1], frames, position % wholeFrames(decoded), step, replace);
  return true;
}

void ClusterSampleLoader::readClusterChannel(float* dst, int channel, std::int32_t frames,
                                             std::int32_t startFrame, float ratio, bool replace) {
  clusters.readChannel(dst, channel, frames, startFrame, ratio, replace, decodedFrames.load());
}

void ClusterSampleLoader::paintOverview(unsigned char* pixels, std::int32_t from, std::int32_t to,
                                        std::int32_t total) {
  vintrove::drawOverview(pixels, from, to, total, sampleRate.load(), decodedFrames.load(),
                         channels.load(), SampleReader::of(clusters));
}

void ClusterSampleLoader::forgetStore() {}

// Short of memory the store keeps what it got; the loader learns how much from capacity.
bool ClusterSampleLoader::allocateStore(std::int32_t channelCount, std::int32_t newCapacity) {
  releaseStore();
  const bool ok = clusters.allocate(channelCount, newCapacity);
  if (ok) capacity.store(newCapacity);
  if (clusters.ranOutOfMemory()) {
    memoryShort = true;
    capacity.store(clusters.capacity());
  }
  return ok;
}

bool ClusterSampleLoader::growStore(std::int32_t channelCount, std::int32_t newCapacity) {
  if (clusters.grow(channelCount, newCapacity)) {
    capacity.store(newCapacity);
    return true;
  }
  if (clusters.ranOutOfMemory()) {
    // Nothing moved: readers go on inside the clusters there are.
    memoryShort = true;
    capacity.store(clusters.capacity());
    return false;
  }
  // Readers may be inside the store until they see the stop.
  stopRequested.store(true);
  releaseStore();
  return false;
}

void ClusterSampleLoader::releaseStore() {
  StoreGate::ReleaseHold noReadInProgress(readGate);
  clusters.release();
}

std::int32_t ClusterSampleLoader::appendBlock(const float* left, const float* right,
                                              std::int32_t channelCount, std::int32_t at,
                                              std::int32_t frames) {
  return clusters.append(left, right, channelCount, at, frames);
}

void ClusterSampleLoader::setClusterBudget(std::int32_t clusterCount) {
  std::lock_guard<platform::Lock> guard(storeLock);
  clusters.setClusterBudget(clusterCount);
}

std::int32_t ClusterSampleLoader::heldClusters(int channel) {
  std::lock_guard<platform::Lock> guard(storeLock);
  return clusters.clusterCount(channel);
}

float ClusterSampleLoader::sampleAt(int channel, std::int32_t index) const {
  return clusters.sampleAt(channel, index);
}

// Reads stay below decodedFrames, which never passed frames: the clusters freed are not read.
void ClusterSampleLoader::trimStore(std::int32_t frames) {
  clusters.trim(frames);
  capacity.store(clusters.capacity());
}

float* ClusterSampleLoader::writableSamples(int channel, std::int32_t at, std::int32_t& room) {
  return clusters.writable(channel, at, room);
}

}  // namespace vintrove
