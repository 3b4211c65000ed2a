// The loader's life cycle: files that cannot be opened, a new load while one runs, reads while
// decoding, the warning for a file too big for the store, and destruction while the decoding
// thread is held inside the load. These tests also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "layer1_writer.h"
#include "loader_test_support.h"
#include "platform/message_box.h"
#include "player/cluster_sample_loader.h"
#include "player/fixed_frames.h"
#include "player/sinc_kernel.h"
#include "reference_decode.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

const std::string kShortFile = "l3_44k1_stereo_128k_notag.mp3";

TEST(LoaderStart, RefusesWhatCannotBeOpenedAndKeepsThePreviousStore) {
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  const std::string first = testDataPath(kShortFile);
  ASSERT_TRUE(loader->start(first.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  const std::int32_t decoded = loader->getDecodedFrames();
  const auto before = readEverything(*loader);

  TempFile empty(std::vector<unsigned char>{});
  const std::string folder = std::filesystem::temp_directory_path().string();
  const std::string missing = testDataPath("no_such_file.mp3");
  const std::string tooLong = std::string(2000, 'x') + ".mp3";
  const std::string justTooLong = std::string(SampleLoader::kPathCapacity, 'y');
  for (const std::string& path : {missing, empty.path(), folder, tooLong, justTooLong}) {
    SCOPED_TRACE(path.substr(0, 80));
    EXPECT_FALSE(loader->start(path.c_str()));
    // The whole previous file stays whole: a looping read across its end still plays.
    EXPECT_TRUE(loader->isComplete());
    EXPECT_STREQ(loader->getPath(), first.c_str());
    EXPECT_EQ(loader->getDecodedFrames(), decoded);
  }
  EXPECT_FALSE(loader->start(nullptr));
  // The previous file still plays.
  EXPECT_EQ(readEverything(*loader), before);
  // And the loader still loads.
  ASSERT_TRUE(loader->start(first.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_EQ(loader->getDecodedFrames(), decoded);
}

TEST(LoaderRead, MonoFeedsBothOutputs) {
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  const std::string path = testDataPath("l3_22k05_mono_64k.mp3");
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  const auto stored = readEverything(*loader);
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored[0], stored[1]);
  EXPECT_NE(std::count(stored[0].begin(), stored[0].end(), 0.0f), static_cast<long>(stored[0].size()));
}

TEST(LoaderRead, AheadOfTheDecodingIsSilenceOrNothing) {
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  owner.holdAtTick(1152);
  const std::string path = testDataPath(kShortFile);
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(owner.waitUntilHeld());
  const std::int32_t decoded = loader->getDecodedFrames();
  ASSERT_GT(decoded, 0);
  std::vector<float> left(512, 3.0f), right(512, 3.0f);
  float* outputs[2] = {left.data(), right.data()};
  EXPECT_FALSE(loader->read(outputs, 512, decoded, 1.0f, false));
  EXPECT_EQ(left[0], 3.0f) << "adding mode leaves the outputs alone";
  EXPECT_FALSE(loader->read(outputs, 512, decoded, 1.0f, true));
  EXPECT_EQ(left[0], 0.0f);
  EXPECT_EQ(right[511], 0.0f);
  // What is decoded already can be played.
  EXPECT_TRUE(loader->read(outputs, 512, 0, 1.0f, true));
  owner.release();
  ASSERT_TRUE(waitForLoad(*loader));
}

// Smooth playback reads a window of frames around each position, up to 40 frames past it. While
// the file decodes, a block plays only once every frame of its windows is there: one whose
// windows reach past the decoded frames waits, and what does play is what the whole file gives.
TEST(LoaderRead, InterpolatedBlocksWhileDecodingPlayOnlyWhatTheFileWillBe) {
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  owner.holdAtTick(20000);
  const std::string path = testDataPath(kShortFile);
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(owner.waitUntilHeld());
  const std::int32_t decoded = loader->getDecodedFrames();
  ASSERT_GT(decoded, 20000);
  SincKernel kernel;
  const FixedFrames step = fixedStep(0.91875f);  // a 44.1 kHz file on a 48 kHz host
  kernel.setStep(step);
  constexpr std::int32_t kFrames = 256;
  auto playAt = [&](std::int32_t lastFrame, std::vector<float>& left, std::vector<float>& right) {
    left.assign(kFrames, 9.0f);
    right.assign(kFrames, 9.0f);
    float* outputs[2] = {left.data(), right.data()};
    const FixedFrames position = wholeFrames(lastFrame) + kOneFrame / 2 - step * (kFrames - 1);
    return loader->play(outputs, kFrames, position, step, true, loader->loadGeneration(), loader->getSampleRate(),
                        &kernel);
  };
  struct Block {
    std::int32_t last;  // whole frame of the block's last position, which lies half a frame on
    bool played;
    std::vector<float> left, right;
  };
  // Windows inside what is decoded, the last one ending on its last frame; the last window
  // reaching 1 and 38 frames past it.
  Block blocks[] = {{decoded - 200, false, {}, {}},
                    {decoded - 41, false, {}, {}},
                    {decoded - 40, false, {}, {}},
                    {decoded - 3, false, {}, {}}};
  for (Block& b : blocks) b.played = playAt(b.last, b.left, b.right);
  owner.release();
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_TRUE(blocks[0].played);
  EXPECT_TRUE(blocks[1].played);
  for (const Block& b : blocks) {
    SCOPED_TRACE(decoded - b.last);
    std::vector<float> left, right;
    ASSERT_TRUE(playAt(b.last, left, right));
    if (!b.played) continue;
    EXPECT_EQ(b.left, left);
    EXPECT_EQ(b.right, right);
  }
}

TEST(LoaderRead, RefusesBadOutputs) {
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  const std::string path = testDataPath(kShortFile);
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  float left[4] = {};
  float* oneMissing[2] = {left, nullptr};
  EXPECT_FALSE(loader->read(nullptr, 4, 0, 1.0f, true));
  EXPECT_FALSE(loader->read(oneMissing, 4, 0, 1.0f, true));
  float* outputs[2] = {left, left};
  EXPECT_FALSE(loader->read(outputs, 0, 0, 1.0f, true));
  EXPECT_FALSE(loader->read(outputs, -5, 0, 1.0f, true));
}

// Reads running while the file decodes see either silence or exactly the decoded samples.
TEST(LoaderThreads, ConcurrentReadsWhileDecoding) {
  const std::vector<unsigned char> one = readFileBytes(testDataPath(kShortFile));
  std::vector<unsigned char> bytes;
  for (int i = 0; i < 6; ++i) bytes.insert(bytes.end(), one.begin(), one.end());
  TempFile file(bytes);
  const ReferenceDecode reference = referenceDecode(bytes);
  const auto total = static_cast<std::int32_t>(reference.samples[0].size());

  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  std::atomic<bool> done{false};
  std::atomic<int> mismatches{0}, successfulReads{0};
  std::thread reader([&] {
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    std::int32_t position = 0;
    while (!done.load()) {
      if (loader->read(outputs, 512, position, 1.0f, true)) {
        ++successfulReads;
        for (std::int32_t i = 0; i < 512; ++i) {
          const std::int32_t at = (position + i) % total;
          if (left[static_cast<std::size_t>(i)] != reference.samples[0][static_cast<std::size_t>(at)]) ++mismatches;
        }
        position = (position + 512) % total;
      }
      std::this_thread::yield();
    }
  });
  const std::string path = file.path();
  ASSERT_TRUE(loader->start(path.c_str()));
  EXPECT_TRUE(waitForLoad(*loader));
  EXPECT_TRUE(waitUntil([&] { return successfulReads.load() > 10; }));
  done.store(true);
  reader.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(loader->getDecodedFrames(), total);
}

// Across the end of a decode the audio thread never wraps a block at a length the decode has
// already passed: a block that runs past the decoded frames plays only once the load is complete,
// and then wraps at the final length. (A read that took the length before it saw the load
// complete would splice the file's start into such a block.)
TEST(LoaderThreads, ABlockAcrossTheEndOfTheDecodeWrapsAtTheFinalLength) {
  const std::vector<unsigned char> bytes = writeLayer1(44100, 192, 2, 12);
  TempFile file(bytes, ".mp1");
  const ReferenceDecode reference = referenceDecode(bytes);
  const auto total = static_cast<std::int32_t>(reference.samples[0].size());
  std::atomic<int> mismatches{0}, crossings{0};
  for (int load = 0; load < 20; ++load) {
    RecordingOwner owner;
    auto loader = makeLoader<ClusterSampleLoader>(&owner);
    std::atomic<bool> ended{false};
    ASSERT_TRUE(loader->start(file.path().c_str()));
    const std::uint32_t generation = loader->loadGeneration();
    std::thread audio([&] {
      std::vector<float> left(512), right(512);
      float* outputs[2] = {left.data(), right.data()};
      while (!ended.load()) {
        const std::int32_t position = std::max(0, loader->getDecodedFrames() - 256);
        if (!loader->play(outputs, 512, wholeFrames(position), kOneFrame, true, generation, 44100)) continue;
        if (position + 512 > total) ++crossings;
        for (std::int32_t i = 0; i < 512; ++i) {
          if (left[static_cast<std::size_t>(i)] != reference.samples[0][static_cast<std::size_t>((position + i) % total)]) {
            ++mismatches;
            break;
          }
        }
      }
    });
    EXPECT_TRUE(waitForLoad(*loader));
    ended.store(true);
    audio.join();
  }
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_GT(crossings.load(), 0) << "no block wrapped at the end";
}

// A second start stops the first load after its current frame; the first reports its partial
// length and cleans up before the second begins.
TEST(LoaderThreads, NewLoadWhileALoadRuns) {
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  const std::string first = testDataPath("l3_48k_stereo_320k.mp3");
  const std::string second = testDataPath("l2_32k_mono_64k.mp2");
  const ReferenceDecode firstReference = referenceDecodeFile(first);
  const ReferenceDecode secondReference = referenceDecodeFile(second);
  owner.holdAtTick(1152 * 3);
  ASSERT_TRUE(loader->start(first.c_str()));
  ASSERT_TRUE(owner.waitUntilHeld());

  std::atomic<bool> started{false};
  std::thread gui([&] { started.store(loader->start(second.c_str())); });
  // The second start is waiting for the load slot while the first load is held.
  EXPECT_TRUE(waitUntil([&] { return loader->isStopRequested(); }));
  owner.release();
  gui.join();
  EXPECT_TRUE(started.load());
  ASSERT_TRUE(waitForLoad(*loader));

  const std::vector<std::int32_t> lengths = owner.lengths();
  const auto firstFull = static_cast<std::int32_t>(firstReference.samples[0].size());
  const auto secondFull = static_cast<std::int32_t>(secondReference.samples[0].size());
  // estimate, partial exact length of the first load, estimate and exact length of the second.
  ASSERT_EQ(lengths.size(), 4u);
  EXPECT_GT(lengths[1], 0);
  EXPECT_LT(lengths[1], firstFull);
  EXPECT_EQ(lengths[3], secondFull);
  EXPECT_EQ(loader->getDecodedFrames(), secondFull);
  EXPECT_EQ(loader->getChannels(), 1);
}

// A file the store cannot be had for: where a file really is longer than the store's limit
// (100,000,000 frames on 32 bits), the store's allocation is refused. Tests refuse it themselves
// rather than decode a 38-minute file.
std::vector<unsigned char> fileTooBigForTheStore() { return writeLayer1(48000, 32, 1, 1200); }

template <class Base>
class LoaderWithoutMemory : public Base {
 public:
  using Base::Base;
  bool allocateStore(std::int32_t, std::int32_t) override {
    this->releaseStore();
    return false;
  }
};

struct WarningBox {
  static inline std::atomic<int> shown{0};
  static inline std::atomic<bool> clicked{false};
  static inline std::string text, caption;
  static void show(const char* boxText, const char* boxCaption) {
    text = boxText;
    caption = boxCaption;
    ++shown;
    // The box stays up until the test clicks it away.
    while (!clicked.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

class LoaderTooBig : public ::testing::Test {
 protected:
  void SetUp() override {
    WarningBox::shown = 0;
    WarningBox::clicked = false;
    platform::setWarningHandler(&WarningBox::show);
  }
  void TearDown() override {
    WarningBox::clicked = true;
    platform::setWarningHandler(nullptr);
  }
};

TEST_F(LoaderTooBig, WarnsAndEndsTheLoadWithNothingToPlay) {
  TempFile file(fileTooBigForTheStore());
  WarningBox::clicked = true;
  RecordingOwner owner;
  auto loader = makeLoader<LoaderWithoutMemory<ClusterSampleLoader>>(&owner);
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_EQ(WarningBox::shown.load(), 1);
  EXPECT_EQ(WarningBox::text, "Loading canceled, file too big");
  EXPECT_EQ(WarningBox::caption, "Vintrove");
  EXPECT_EQ(loader->getDecodedFrames(), 0);
  EXPECT_TRUE(loader->isStopRequested());
  ASSERT_FALSE(owner.lengths().empty());
  EXPECT_EQ(owner.lengths().front(), 1200 * 384);
  EXPECT_EQ(owner.lengths().back(), 0);
  // The next file loads normally.
  const std::string next = testDataPath(kShortFile);
  ASSERT_TRUE(loader->start(next.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_EQ(loader->getDecodedFrames(), 0) << "this loader never has a store";
}

TEST_F(LoaderTooBig, AnEstimateBeyondTheLimitStillLoadsAFileWithinIt) {
  // 48 kHz layer I at 32 kbit/s, then zeros: 108 million frames estimated, 460,800 decoded.
  std::vector<unsigned char> bytes = fileTooBigForTheStore();
  bytes.resize(9'000'000, 0);
  TempFile file(bytes);
  WarningBox::clicked = true;
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  loader->limitStore(kNarrowMaxFrames);  // the 32-bit build's limit, on any build
  std::vector<std::int32_t> capacities;
  owner.onTick([&](std::int32_t) { capacities.push_back(loader->getCapacity()); });
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_EQ(WarningBox::shown.load(), 0) << "a file within the limit loads";
  EXPECT_GT(owner.lengths().front(), 100'000'000);
  ASSERT_FALSE(capacities.empty());
  EXPECT_EQ(capacities.front(), 100'000'000) << "the first store is made for the limit";
  EXPECT_EQ(loader->getDecodedFrames(), 1200 * 384);
  EXPECT_EQ(loader->getCapacity(), 500'000) << "and keeps the clusters of its frames only";
}

// The store refuses to grow (as past its limit): the load ends like a refused allocation. Its
// first store holds nothing, so the first block already needs growth.
class LoaderThatCannotGrow : public ClusterSampleLoader {
 public:
  using ClusterSampleLoader::ClusterSampleLoader;
  bool allocateStore(std::int32_t channelCount, std::int32_t) override {
    return ClusterSampleLoader::allocateStore(channelCount, 0);
  }
  bool growStore(std::int32_t channelCount, std::int32_t) override {
    return ClusterSampleLoader::growStore(channelCount, -1);
  }
};

TEST_F(LoaderTooBig, FailedGrowthWarnsAndEndsTheLoad) {
  TempFile file(readFileBytes(testDataPath(kShortFile)));
  WarningBox::clicked = true;
  RecordingOwner owner;
  auto loader = makeLoader<LoaderThatCannotGrow>(&owner);
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_EQ(WarningBox::shown.load(), 1);
  EXPECT_EQ(WarningBox::text, "Loading canceled, file too big");
  EXPECT_EQ(loader->getDecodedFrames(), 0);
  EXPECT_TRUE(loader->isStopRequested());
  float left[4], right[4];
  float* outputs[2] = {left, right};
  EXPECT_FALSE(loader->read(outputs, 4, 0, 1.0f, true));
}

// A loader that tells when it is freed.
class ObservedLoader : public ClusterSampleLoader {
 public:
  explicit ObservedLoader(LoaderOwner* loaderOwner) : ClusterSampleLoader(loaderOwner) {}
  ~ObservedLoader() override {
    if (freed_ != nullptr) freed_->store(true);
  }
  std::atomic<bool>* freed_ = nullptr;
};

TEST_F(LoaderTooBig, DestructionWhileTheBoxIsUpReturnsAndTheLoadFreesTheLoaderLater) {
  TempFile file(fileTooBigForTheStore());
  RecordingOwner owner;
  std::atomic<bool> freed{false};
  auto loader = makeLoader<LoaderWithoutMemory<ObservedLoader>>(&owner);
  loader->freed_ = &freed;
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitUntil([] { return WarningBox::shown.load() == 1; }));
  const std::size_t reportsBefore = owner.lengths().size();

  loader.reset();  // gives up waiting after a second: the thread is still in the box
  EXPECT_FALSE(freed.load());
  WarningBox::clicked = true;
  EXPECT_TRUE(waitUntil([&] { return freed.load(); }));
  // Nothing was reported to the owner after it let go of the loader.
  EXPECT_EQ(owner.lengths().size(), reportsBefore);
}

TEST(LoaderThreads, DestructionDuringALoadStopsItAtTheNextFrame) {
  RecordingOwner owner;
  std::atomic<bool> freed{false};
  auto loader = makeLoader<ObservedLoader>(&owner);
  loader->freed_ = &freed;
  const std::string path = testDataPath("l3_48k_stereo_320k.mp3");
  owner.holdAtTick(1152);
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(owner.waitUntilHeld());
  std::thread host([&] { loader.reset(); });
  // The destruction waits for the report in progress before it lets go of the owner.
  owner.release();
  host.join();
  EXPECT_TRUE(freed.load());
}

}  // namespace
}  // namespace vintrove::test
