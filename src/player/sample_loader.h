// Turns an MPEG audio file into float samples in memory: maps the file, estimates its length
// from the frame headers, and decodes it with libmad in a background thread of the lowest
// priority, appending block after block to a sample store that the audio thread reads.
//
// SampleLoader keeps the samples in one contiguous array per channel; ClusterSampleLoader (the
// one the player uses) keeps them in clusters that never move. Loaders are owned through
// LoaderPtr: destruction stops a running load and waits for it at most 1000 ms; a load that is
// still running then frees the loader itself when it ends, so it never touches freed memory.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/file_mapping.h"
#include "platform/lock.h"
#include "platform/semaphore.h"
#include "player/contiguous_store.h"
#include "player/loader_owner.h"
#include "player/overview.h"
#include "player/store_gate.h"
#include "player/store_layout.h"

struct mad_pcm;

namespace vintrove {

class MpegDecoder;
class SampleLoader;
struct StreamFormat;
struct StreamPlan;

struct LoaderDeleter {
  void operator()(SampleLoader* loader) const;
};
template <class Loader>
using LoaderPtr = std::unique_ptr<Loader, LoaderDeleter>;

// Creates a loader (null when there is no memory for it).
template <class Loader>
LoaderPtr<Loader> makeLoader(LoaderOwner* owner);

class SampleLoader {
 public:
  static constexpr std::int32_t kPathCapacity = 1024;
  static constexpr std::uint32_t kDestroyWaitMilliseconds = 1000;
  // How long start() waits for a previous load to stop before it refuses the new file.
  static constexpr std::uint32_t kStartWaitMilliseconds = 1000;

  explicit SampleLoader(LoaderOwner* owner);
  SampleLoader(const SampleLoader&) = delete;
  SampleLoader& operator=(const SampleLoader&) = delete;

  // Operations in the order of the loader's operation table.
  virtual ~SampleLoader();
  // Maps the file, then stops a running load, waits for the load slot and starts the decoding
  // thread. False when the file cannot be opened and mapped (or the path does not fit): nothing
  // of the previous file changes then. False too when the previous load has not stopped within
  // kStartWaitMilliseconds (its warning box is up). Once the file is open, reads serve nothing
  // of the previous file.
  virtual bool start(const char* newPath);
  virtual void decodeFile();
  // One whole load of size bytes (kept alive by the caller) on the calling thread: no file, no
  // thread, the same decode path. For the fuzzer and tests; false while a threaded load runs.
  bool decodeBytes(const unsigned char* bytes, std::int32_t size);
  // Reads frames output samples per channel from the store at position, stepping by ratio;
  // replace writes, otherwise adds. False (silence in replace mode) while not ready.
  virtual bool read(float** outputs, std::int32_t frames, std::int32_t position, float ratio,
                    bool replace);
  virtual bool openFile();
  virtual void drawOverview(std::int32_t from, std::int32_t to, std::int32_t total);
  virtual void readChannel(float* dst, int channel, std::int32_t length, std::int32_t frames,
                           std::int32_t startFrame, float ratio, bool replace);
  virtual void forgetStore();
  virtual bool allocateStore(std::int32_t channelCount, std::int32_t newCapacity);
  virtual bool growStore(std::int32_t channelCount, std::int32_t newCapacity);
  virtual void releaseStore();

  // Stops a running load and returns once it has ended (its last report made), or after a
  // second when it cannot end (its warning box is up). Not in the operation table.
  void stop();

  // Read by the player once a load has started.
  std::int32_t getChannels() const { return channels.load(); }
  std::int32_t getSampleRate() const { return sampleRate.load(); }
  std::int32_t getBitRate() const { return bitRate.load(); }
  std::int32_t getDecodedFrames() const { return decodedFrames.load(); }
  std::int32_t getCapacity() const { return capacity.load(); }
  bool isComplete() const { return complete.load(); }
  bool isStopRequested() const { return stopRequested.load(); }
  // Counts the files opened by start(); a read for an older count plays nothing.
  std::uint32_t loadGeneration() const { return generation.load(); }
  // No more reports to the owner once this returns (none is in progress either).
  void detachOwner();
  // For tests: the most frames a load stores, below the store's own limit (kMaxFrames), so the
  // 32-bit build's refusal of a longer file can be had on any build.
  void limitStore(std::int32_t frames) { storeLimit.store(std::clamp(frames, 0, kMaxFrames)); }
  const char* getPath() const { return path; }

  // The editor's overview image (248 x 16, 24-bit); set by the player before each start.
  // imageOwner keeps the image's memory alive while this loader lives (a decoding thread that
  // outlives the player frees the loader at its end); the previous owner is kept one load
  // longer, for a drawing into the previous image still in progress.
  void setOverviewPixels(unsigned char* pixels, std::shared_ptr<const void> imageOwner = nullptr) {
    previousOverviewOwner = std::move(overviewOwner);
    overviewOwner = std::move(imageOwner);
    overviewPixels.store(pixels);
  }

 protected:
  // Where the decoder writes frame `at` of a channel, with room set to the floats that follow
  // contiguously; the two store layouts differ only here. Called under storeLock.
  virtual float* writableSamples(int channel, std::int32_t at, std::int32_t& room);
  // Gives back the memory the store holds beyond frames, once the decode has ended there (the
  // first store is made for an estimate, which a file can make many times its length). Called
  // under storeLock; no read ever looks beyond frames. The contiguous arrays stay as they are.
  virtual void trimStore(std::int32_t frames);
  // Paints the overview columns of frames from .. to into pixels (none: nothing).
  virtual void paintOverview(unsigned char* pixels, std::int32_t from, std::int32_t to,
                             std::int32_t total);
  // The decoding algorithm both loaders share; the contiguous twin yields more often.
  void runDecode(bool yieldAfterEachStep);
  // Reports to the owner, never overlapping the owner's detachment on destruction.
  void reportLength(std::int32_t frames);
  void reportTick(std::int32_t frames);
  void reportOutOfMemory(std::int32_t frames);
  bool hasOwner() const { return owner.load() != nullptr; }

  static void fillSilence(float** outputs, std::int32_t frames);
  static bool usableOutputs(float** outputs, std::int32_t frames);

  platform::FileMapping mapping;
  // The file start() opened, before it stopped the previous load; openFile() takes it over.
  platform::FileMapping opened;
  const unsigned char* fileData = nullptr;
  std::int32_t fileSize = 0;
  std::atomic<std::int32_t> channels{2};
  std::atomic<std::int32_t> sampleRate{44100};
  std::atomic<std::int32_t> bitRate{128000};
  char path[kPathCapacity] = {};
  ContiguousStore samples;
  std::atomic<std::int32_t> capacity{0};
  std::atomic<std::int32_t> decodedFrames{0};
  bool mapped = false;
  std::atomic<bool> complete{false};
  std::atomic<LoaderOwner*> owner;
  platform::Lock storeLock;
  platform::Semaphore loadSlot{1, 3};
  std::atomic<bool> stopRequested{false};
  std::atomic<unsigned char*> overviewPixels{nullptr};
  std::shared_ptr<const void> overviewOwner;
  std::shared_ptr<const void> previousOverviewOwner;

  StoreGate readGate;    // keeps a store release from overlapping a read in progress
  StoreGate reportGate;  // keeps the owner's detachment from overlapping a report
  std::atomic<std::uint32_t> generation{0};
  // The store could not get all the memory this load asked for and holds what it got
  // (capacity); the decode fills it and ends there. Decoding thread only.
  bool memoryShort = false;
  // The most frames a load stores; a longer file is refused as too big.
  std::atomic<std::int32_t> storeLimit{kMaxFrames};

 private:
  friend struct LoaderDeleter;
  enum Lifetime : int { kNoLoad, kLoading, kLoadEnded, kOrphaned };

  static void threadEntry(void* loader);
  static void destroyNow(SampleLoader* loader);
  void endLoad();
  void forgetPreviousFile();
  void warnTooBig();
  // Frees the store and ends the load with nothing to play, then warns.
  void refuseTooBig();
  // The plan of the stream, then its frames into the store.
  void decodeStream(MpegDecoder& decoder, bool yieldAfterEachStep);
  // The store for the plan's capacity; false when there is nothing to store or it was refused.
  bool makeFirstStore(const StreamPlan& plan);
  void decodeFrames(MpegDecoder& decoder, const StreamPlan& plan, bool yieldAfterEachStep);
  bool nextFrameOfStream(MpegDecoder& decoder, const StreamFormat& format);
  // Grows the store to hold needed frames; false when it cannot: after the refusal when the
  // file is too big, or with memoryShort set and capacity what the store got.
  bool makeRoom(std::int64_t needed, int storeChannels);
  void writeChannel(int channel, int storeChannels, const mad_pcm& pcm, std::int32_t from,
                    std::int32_t at, std::int32_t count);
  // The whole picture again, against the exact length, once the decode has ended.
  void redrawOverview(std::int32_t total);

  // The decoding thread gives up the rest of its time slice after each frame.
  void yieldToOthers();

  unsigned char overviewScratch[kOverviewBytes] = {};
  bool inBackground = true;  // false while decodeBytes runs the decode on its caller's thread

  std::atomic<int> lifetime{kNoLoad};
};

template <class Loader>
LoaderPtr<Loader> makeLoader(LoaderOwner* owner) {
  try {
    return LoaderPtr<Loader>(new Loader(owner));
  } catch (...) {
    return nullptr;
  }
}

}  // namespace vintrove
