// Memory running out while a file decodes, made to happen at a chosen cluster (the store's
// cluster budget): the decode ends after the last whole cluster, what decoded plays, the owner
// hears why, no box is shown and the next load starts clean, giving back all it took.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "known_decodes.h"
#include "layer1_writer.h"
#include "loader_test_support.h"
#include "memory_in_use.h"
#include "platform/message_box.h"
#include "player/cluster_sample_loader.h"
#include "reference_decode.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

const std::string kNextFile = "l2_32k_mono_64k.mp2";

// How far the memory in use may move between two loads of the same file. A sanitizer's count
// moves only with the owner's and the test's own records (a tenth of a cluster); a heap such as
// Windows' keeps some of what the test's own buffers freed (a megabyte here, where the four
// clusters of both channels of a cut load are 3.2 MB).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::int64_t kMemoryNoise = 40000;
#else
constexpr std::int64_t kMemoryNoise = 2 << 20;
#endif

// 20 s of stereo layer I at 44.1 kHz: 882,048 frames, a store of 10 clusters per channel.
std::vector<unsigned char> twentySeconds() { return writeLayer1(44100, 128, 2, 2297, {{3, 9}, 0.5}); }

struct CountedBoxes {
  static inline std::atomic<int> shown{0};
  static void show(const char*, const char*) { ++shown; }
};

class LoaderOutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    CountedBoxes::shown = 0;
    platform::setWarningHandler(&CountedBoxes::show);
  }
  void TearDown() override { platform::setWarningHandler(nullptr); }

  template <class Loader>
  void load(Loader& loader, const std::string& path) {
    ASSERT_TRUE(loader.start(path.c_str()));
    ASSERT_TRUE(waitForLoad(loader));
  }

  // The loaded frames against the first frames of a reference decode.
  static void expectPrefixOf(SampleLoader& loader, const ReferenceDecode& reference) {
    const std::int32_t frames = loader.getDecodedFrames();
    const auto stored = readEverything(loader);
    ASSERT_EQ(stored.size(), 2u);
    for (int c = 0; c < 2; ++c) {
      const auto& expected = reference.samples[static_cast<std::size_t>(std::min(c, reference.channels - 1))];
      ASSERT_LE(static_cast<std::size_t>(frames), expected.size());
      EXPECT_TRUE(std::equal(stored[static_cast<std::size_t>(c)].begin(), stored[static_cast<std::size_t>(c)].end(),
                             expected.begin()))
          << "channel " << c;
    }
  }
};

TEST_F(LoaderOutOfMemory, EndsAfterTheLastWholeClusterAndTheNextLoadStartsClean) {
  const std::vector<unsigned char> bytes = twentySeconds();
  const ReferenceDecode reference = referenceDecode(bytes);
  TempFile file(bytes, ".mp1");
  const std::string next = testDataPath(kNextFile);
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  // A load first, so that what the loader keeps between loads is already counted.
  load(*loader, next);
  const std::int32_t nextFrames = loader->getDecodedFrames();
  loader->stop();  // returns once the decoding thread has freed its decoder
  const std::int64_t memoryBefore = settledMemoryInUse();

  const struct {
    std::int32_t budget;
    std::int32_t frames;
  } cases[] = {
      {9, 400000},  // clusters 0 to 3 of both channels; cluster 4 of the left one goes back
      {8, 400000},  // the budget ends exactly after a whole cluster
      {1, 0},       // only the left channel's first cluster: nothing whole
      {0, 0},
  };
  std::size_t cuts = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "budget " << c.budget);
    const std::size_t reportsBefore = owner.lengths().size();
    loader->setClusterBudget(c.budget);
    load(*loader, file.path());
    EXPECT_EQ(loader->getDecodedFrames(), c.frames);
    EXPECT_EQ(loader->getCapacity(), c.frames);
    EXPECT_EQ(loader->heldClusters(0), c.frames / 100000);
    EXPECT_EQ(loader->heldClusters(1), c.frames / 100000);
    EXPECT_FALSE(loader->isStopRequested()) << "what decoded stays playable";
    ASSERT_EQ(owner.outOfMemoryReports().size(), ++cuts);
    EXPECT_EQ(owner.outOfMemoryReports().back(), c.frames);
    ASSERT_GT(owner.lengths().size(), reportsBefore);
    EXPECT_EQ(owner.lengths().back(), c.frames);
    EXPECT_EQ(CountedBoxes::shown.load(), 0) << "no box for memory";
    if (c.frames > 0) {
      expectPrefixOf(*loader, reference);
      // A read that crosses the end of the cut file wraps to its start.
      std::vector<float> left(1000), right(1000);
      float* outputs[2] = {left.data(), right.data()};
      ASSERT_TRUE(loader->read(outputs, 1000, c.frames - 500, 1.0f, true));
      EXPECT_EQ(left[499], reference.samples[0][static_cast<std::size_t>(c.frames - 1)]);
      EXPECT_EQ(left[500], reference.samples[0][0]);
      EXPECT_EQ(right[500], reference.samples[1][0]);
    }

    loader->setClusterBudget(-1);
    load(*loader, next);
    EXPECT_EQ(loader->getDecodedFrames(), nextFrames);
    EXPECT_EQ(owner.outOfMemoryReports().size(), cuts) << "the next load runs to its end";
    loader->stop();
    EXPECT_LT(std::llabs(settledMemoryInUse() - memoryBefore), kMemoryNoise)
        << "the next load gives back all the cut one took";
  }
}

// The first store holds nothing, so every block needs growth: memory runs out in the middle of
// the decode, while the clusters already written may be read.
class LoaderThatStartsEmpty : public ClusterSampleLoader {
 public:
  using ClusterSampleLoader::ClusterSampleLoader;
  bool allocateStore(std::int32_t channelCount, std::int32_t) override {
    return ClusterSampleLoader::allocateStore(channelCount, 0);
  }
};

TEST_F(LoaderOutOfMemory, AGrowthThatFallsShortStillFillsWhatItGot) {
  const std::vector<unsigned char> bytes = twentySeconds();
  const ReferenceDecode reference = referenceDecode(bytes);
  TempFile file(bytes, ".mp1");
  RecordingOwner owner;
  auto loader = makeLoader<LoaderThatStartsEmpty>(&owner);
  loader->setClusterBudget(7);  // clusters 0 to 2 of both channels, cluster 3 of the left one
  // Reads run while the decode grows the store and meets its end.
  std::atomic<bool> reading{true};
  std::atomic<int> readsPassed{0};
  std::thread reader([&] {
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    while (reading.load()) {
      const std::int32_t decoded = loader->getDecodedFrames();
      if (decoded < 512 || !loader->read(outputs, 512, decoded - 512, 1.0f, true)) continue;
      ++readsPassed;
    }
  });
  load(*loader, file.path());
  reading = false;
  reader.join();
  EXPECT_GT(readsPassed.load(), 0);
  EXPECT_EQ(loader->getDecodedFrames(), 300000);
  EXPECT_EQ(loader->heldClusters(0), 3);
  EXPECT_EQ(loader->heldClusters(1), 3);
  EXPECT_EQ(owner.outOfMemoryReports(), std::vector<std::int32_t>{300000});
  EXPECT_EQ(owner.lengths().back(), 300000);
  EXPECT_EQ(CountedBoxes::shown.load(), 0);
  expectPrefixOf(*loader, reference);
}

// A gapless file cut short keeps its start trim, and the frames the end trim holds back while
// decoding show: the cut is not the file's end.
TEST_F(LoaderOutOfMemory, AGaplessFileCutShortKeepsItsStartTrimAndShowsEveryFrame) {
  const ReferenceDecode gapless = gaplessReferenceFile("l3_44k1_stereo_128k.mp3");
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  loader->setClusterBudget(2);
  load(*loader, testDataPath("l3_44k1_stereo_128k.mp3"));
  EXPECT_EQ(loader->getDecodedFrames(), 100000);
  EXPECT_EQ(owner.outOfMemoryReports(), std::vector<std::int32_t>{100000});
  expectPrefixOf(*loader, gapless);
}

}  // namespace
}  // namespace vintrove::test
