// The clustered store: cluster arithmetic, allocation limits, growth that never moves samples,
// appends across cluster boundaries, and the resampled read with its wrap at the end of the
// file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "player/cluster_store.h"
#include "player/store_layout.h"
#include "store_test_data.h"

namespace vintrove::test {
namespace {

void fill(ClusterStore& store, std::int32_t first, std::int32_t count) {
  appendPattern(
      [&](const float* left, const float* right, std::int32_t at, std::int32_t frames) {
        store.append(left, right, 2, at, frames);
      },
      first, count);
}

// A store holding the pattern for `length` frames and the sentinel beyond it, in the same
// cluster, so that a read past the end shows up as a wrong value.
constexpr float kSentinel = -7777.0f;

void fillWithSentinelTail(ClusterStore& store, std::int32_t length) {
  const std::int32_t tail = 200;
  ASSERT_TRUE(store.allocate(2, length + tail));
  fill(store, 0, length);
  appendConstant(
      [&](const float* left, const float* right, std::int32_t at, std::int32_t frames) {
        store.append(left, right, 2, at, frames);
      },
      length, tail, kSentinel);
}

std::vector<std::int32_t> framesRead(const std::vector<float>& out) {
  std::vector<std::int32_t> frames;
  for (float value : out) {
    frames.push_back(frameOf(value));
  }
  return frames;
}

TEST(ClustersNeeded, CountsWholeClustersWithAtLeastOne) {
  const struct {
    std::int32_t capacity;
    std::int32_t clusters;
  } cases[] = {
      {std::numeric_limits<std::int32_t>::min(), 1},
      {-100001, 1},
      {-1, 1},
      {0, 1},
      {1, 1},
      {99999, 1},
      {100000, 1},
      {100001, 2},
      {250000, 3},
      {260000, 3},
      {300000, 3},
      {300001, 4},
      {100000000, 1000},
      {100000001, 1001},
      {std::numeric_limits<std::int32_t>::max(), 21475},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(clustersNeeded(c.capacity), c.clusters) << "capacity " << c.capacity;
  }
}

TEST(ClusterStoreAllocation, AllocatesTheClustersOfEachChannel) {
  ClusterStore store;
  EXPECT_EQ(store.clusterCount(0), 0);
  EXPECT_EQ(store.capacity(), 0);

  ASSERT_TRUE(store.allocate(2, 250000));
  EXPECT_EQ(store.capacity(), 250000);
  EXPECT_EQ(store.clusterCount(0), 3);
  EXPECT_EQ(store.clusterCount(1), 3);

  ASSERT_TRUE(store.allocate(1, 0));
  EXPECT_EQ(store.capacity(), 0);
  EXPECT_EQ(store.clusterCount(0), 1);
  EXPECT_EQ(store.clusterCount(1), 0) << "allocate releases first";

  ASSERT_TRUE(store.allocate(5, 100));
  EXPECT_EQ(store.clusterCount(1), 1) << "more channels than the table has use both rows";
}

TEST(ClusterStoreAllocation, AcceptsTheFullTableAndRefusesOneFrameMoreOn32Bits) {
  if constexpr (kWideAddressSpace) GTEST_SKIP() << "a 64-bit store holds every int32 capacity";
  ClusterStore store;
  ASSERT_TRUE(store.allocate(1, 100000000));
  EXPECT_EQ(store.clusterCount(0), 1000);
  EXPECT_EQ(store.capacity(), 100000000);

  ASSERT_TRUE(store.allocate(2, 250000));
  EXPECT_FALSE(store.allocate(2, 100000001));
  EXPECT_EQ(store.clusterCount(0), 0);
  EXPECT_EQ(store.clusterCount(1), 0);
  EXPECT_EQ(store.capacity(), 250000) << "a refused allocation leaves capacity as it was";

  EXPECT_FALSE(store.allocate(1, -1));
  EXPECT_EQ(store.clusterCount(0), 0);
}

TEST(ClusterStoreGrowth, AddsOnlyTheClustersTheNewCapacityNeeds) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(2, 250000));
  fill(store, 0, 250000);

  ASSERT_TRUE(store.grow(2, 260000));
  EXPECT_EQ(store.capacity(), 260000);
  EXPECT_EQ(store.clusterCount(0), 3);
  EXPECT_EQ(store.clusterCount(1), 3);

  ASSERT_TRUE(store.grow(2, 300001));
  EXPECT_EQ(store.capacity(), 300001);
  EXPECT_EQ(store.clusterCount(0), 4);
  EXPECT_EQ(store.clusterCount(1), 4);

  fill(store, 250000, 50001);
  for (std::int32_t i = 0; i < 300001; ++i) {
    ASSERT_EQ(store.sampleAt(0, i), leftSample(i)) << i;
    ASSERT_EQ(store.sampleAt(1, i), rightSample(i)) << i;
  }
}

// The samples stay readable: the loader releases them only once no read is in progress.
TEST(ClusterStoreGrowth, BeyondTheTableIsRefusedAndLeavesTheClustersOn32Bits) {
  if constexpr (kWideAddressSpace) GTEST_SKIP() << "a 64-bit store holds every int32 capacity";
  ClusterStore store;
  ASSERT_TRUE(store.allocate(2, 250000));
  EXPECT_FALSE(store.grow(2, 100000001));
  EXPECT_EQ(store.clusterCount(0), 3);
  EXPECT_EQ(store.clusterCount(1), 3);
  EXPECT_EQ(store.capacity(), 250000);
}

TEST(ClusterStoreGrowth, RefillsAReleasedStoreSoAppendsHaveClusters) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(1, 150000));
  store.release();
  ASSERT_TRUE(store.grow(1, 150001));
  EXPECT_EQ(store.clusterCount(0), 2);
}

// Every frame a position can name: the table's last cluster starts at frame 2,147,400,000 and
// holds 83,647 frames. One channel takes 8.6 GB of address space but few pages (AddressSanitizer's
// shadow of it is about 1.3 GB for the few seconds the test runs).
TEST(ClusterStoreAllocation, On64BitsHoldsEveryFrameAPositionNames) {
  if constexpr (!kWideAddressSpace) GTEST_SKIP() << "a 32-bit store stops at 100,000,000 frames";
  constexpr std::int32_t kLength = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kTail = 150000;  // the file's end, from cluster 21,473 on
  constexpr std::int32_t kFirst = kLength - kTail;
  auto value = [](std::int64_t frame) { return static_cast<float>(frame % 997 + 1); };
  ClusterStore store;
  ASSERT_TRUE(store.allocate(1, kLength));
  EXPECT_EQ(store.clusterCount(0), 21475);
  std::vector<float> block;
  for (std::int64_t i = kFirst; i < kLength; ++i) block.push_back(value(i));
  store.append(block.data(), nullptr, 1, kFirst, kTail);
  block.clear();
  for (std::int32_t i = 0; i < 100; ++i) block.push_back(value(i));
  store.append(block.data(), nullptr, 1, 0, 100);
  EXPECT_EQ(store.sampleAt(0, kLength - 1), value(kLength - 1));

  // Ratio 1 over the last cluster boundary and the file's end.
  std::vector<float> out(kTail + 100);
  store.readChannel(out.data(), 0, kTail + 100, kFirst, 1.0f, true, kLength);
  for (std::int64_t i = 0; i < kTail + 100; ++i) {
    ASSERT_EQ(out[static_cast<std::size_t>(i)], value((kFirst + i) % kLength)) << i;
  }
  // Both outputs from one stepped position, at ratio 1 and at 1.5; from the last position
  // inside, L - 0.25, a step of 1.5 passes 2^63 in 32.32 before it wraps.
  const struct {
    FixedFrames start;
    FixedFrames step;
  } steps[] = {{wholeFrames(kLength - 70), kOneFrame},
               {wholeFrames(kLength - 70) + kOneFrame * 3 / 4, kOneFrame * 3 / 2}};
  for (const auto& s : steps) {
    std::vector<float> left(100), right(100);
    store.readStereo(left.data(), right.data(), 0, 0, 100, s.start, s.step, true, kLength);
    const std::uint64_t end = static_cast<std::uint64_t>(wholeFrames(kLength));
    for (std::uint64_t i = 0; i < 100; ++i) {
      const std::uint64_t at = (static_cast<std::uint64_t>(s.start) + i * static_cast<std::uint64_t>(s.step)) % end;
      const auto frame = static_cast<std::int64_t>(at >> kFractionBits);
      ASSERT_EQ(left[i], value(frame)) << "step " << s.step << " sample " << i;
      ASSERT_EQ(right[i], value(frame)) << "step " << s.step << " sample " << i;
    }
  }
}

// Short of memory the store keeps the clusters every channel got: the frames there can still be
// decoded and played. A cluster that only one channel got goes back.
TEST(ClusterStoreOutOfMemory, AllocationKeepsTheClustersEveryChannelGot) {
  ClusterStore store;
  store.setClusterBudget(7);  // clusters 0 to 2 of both channels, then cluster 3 of channel 0
  EXPECT_FALSE(store.allocate(2, 1000000));
  EXPECT_TRUE(store.ranOutOfMemory());
  EXPECT_EQ(store.clusterCount(0), 3);
  EXPECT_EQ(store.clusterCount(1), 3);
  EXPECT_EQ(store.capacity(), 300000);
  fill(store, 0, 300000);
  for (std::int32_t i = 0; i < 300000; i += 997) {
    ASSERT_EQ(store.sampleAt(0, i), leftSample(i)) << i;
    ASSERT_EQ(store.sampleAt(1, i), rightSample(i)) << i;
  }
  std::int32_t room = -1;
  EXPECT_EQ(store.writable(0, 300000, room), nullptr);
  EXPECT_EQ(room, 0);

  store.setClusterBudget(0);
  EXPECT_FALSE(store.allocate(1, 10));
  EXPECT_TRUE(store.ranOutOfMemory());
  EXPECT_EQ(store.clusterCount(0), 0);
  EXPECT_EQ(store.capacity(), 0);

  store.setClusterBudget(-1);
  ASSERT_TRUE(store.allocate(2, 1000000));
  EXPECT_FALSE(store.ranOutOfMemory()) << "a new allocation starts clean";
  EXPECT_EQ(store.clusterCount(0), 10);
  EXPECT_EQ(store.clusterCount(1), 10);
}

TEST(ClusterStoreOutOfMemory, GrowthKeepsTheSamplesAndTheClustersItGot) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(2, 250000));
  fill(store, 0, 250000);
  store.setClusterBudget(11);  // the 6 held, clusters 3 and 4 of both, cluster 5 of channel 0
  EXPECT_FALSE(store.grow(2, 1000000));
  EXPECT_TRUE(store.ranOutOfMemory());
  EXPECT_EQ(store.clusterCount(0), 5);
  EXPECT_EQ(store.clusterCount(1), 5);
  EXPECT_EQ(store.capacity(), 500000);
  fill(store, 250000, 250000);
  for (std::int32_t i = 0; i < 500000; ++i) {
    ASSERT_EQ(store.sampleAt(0, i), leftSample(i)) << i;
    ASSERT_EQ(store.sampleAt(1, i), rightSample(i)) << i;
  }
  store.release();
  EXPECT_FALSE(store.ranOutOfMemory());
  EXPECT_EQ(store.clusterCount(0), 0);
}

TEST(ClusterStoreAppend, DecoderBlocksCrossClusterBoundaries) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(2, 300000));
  fill(store, 0, 300000);  // 100000 is no multiple of 1152: blocks straddle both boundaries
  for (std::int32_t i = 0; i < 300000; ++i) {
    ASSERT_EQ(store.sampleAt(0, i), leftSample(i)) << i;
    ASSERT_EQ(store.sampleAt(1, i), rightSample(i)) << i;
  }
}

TEST(ClusterStoreAppend, CopiesWholeMiddleClustersAndTheRemainder) {
  const struct {
    const char* name;
    std::int32_t at;
    std::int32_t frames;
  } cases[] = {
      {"at an exact cluster start", 100000, 10},
      {"ending exactly at a cluster end", 99990, 10},
      {"head, one whole cluster, tail", 99990, 100020},
      {"head, two whole clusters, no tail", 50000, 250000},
      {"one sample on each side of a boundary", 199999, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClusterStore store;
    ASSERT_TRUE(store.allocate(2, 400000));
    appendConstant(
        [&](const float* left, const float* right, std::int32_t at, std::int32_t frames) {
          store.append(left, right, 2, at, frames);
        },
        0, 400000, kSentinel);
    std::vector<float> left(static_cast<std::size_t>(c.frames));
    std::vector<float> right(static_cast<std::size_t>(c.frames));
    for (std::int32_t j = 0; j < c.frames; ++j) {
      left[static_cast<std::size_t>(j)] = leftSample(c.at + j);
      right[static_cast<std::size_t>(j)] = rightSample(c.at + j);
    }
    EXPECT_EQ(store.append(left.data(), right.data(), 2, c.at, c.frames), 2);
    for (std::int32_t i = 0; i < 400000; ++i) {
      const bool inside = i >= c.at && i < c.at + c.frames;
      ASSERT_EQ(store.sampleAt(0, i), inside ? leftSample(i) : kSentinel) << i;
      ASSERT_EQ(store.sampleAt(1, i), inside ? rightSample(i) : kSentinel) << i;
    }
  }
}

TEST(ClusterStoreAppend, AnswersTheChannelCountAndCopiesOnlyThoseChannels) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(2, 100));
  const float ones[4] = {1, 1, 1, 1};
  const float twos[4] = {2, 2, 2, 2};
  EXPECT_EQ(store.append(ones, twos, 2, 0, 4), 2);
  EXPECT_EQ(store.append(twos, nullptr, 1, 0, 4), 1);
  EXPECT_EQ(store.sampleAt(0, 3), 2.0f);
  EXPECT_EQ(store.sampleAt(1, 3), 2.0f) << "a mono append leaves channel 1 alone";
  EXPECT_EQ(store.append(ones, ones, 0, 0, 4), 0);
  EXPECT_EQ(store.append(ones, ones, -1, 0, 4), 0);
  EXPECT_EQ(store.sampleAt(0, 0), 2.0f);
}

TEST(ClusterStoreAppend, StopsAtAMissingCluster) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(1, 100000));
  const float block[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  store.append(block, nullptr, 1, 99995, 10);  // the second half has no cluster to go to
  EXPECT_EQ(store.sampleAt(0, 99999), 5.0f);
  EXPECT_EQ(store.clusterCount(0), 1);
}

struct ReadCase {
  const char* name;
  std::int32_t start;
  std::int32_t frames;
  float ratio;
  std::vector<std::int32_t> expected;
};

TEST(ClusterStoreRead, StepsToTheNearestLowerSampleAndWrapsAtTheEnd) {
  ClusterStore store;
  fillWithSentinelTail(store, 100);
  const ReadCase cases[] = {
      {"ratio 2 runs off the end", 90, 10, 2.0f, {90, 92, 94, 96, 98, 0, 2, 4, 6, 8}},
      {"ratio 2 ending exactly at the end", 90, 5, 2.0f, {90, 92, 94, 96, 98}},
      {"ratio 1 runs off the end", 95, 10, 1.0f, {95, 96, 97, 98, 99, 0, 1, 2, 3, 4}},
      {"ratio 1 reads the whole file", 0, 100, 1.0f, [] {
         std::vector<std::int32_t> all;
         for (std::int32_t i = 0; i < 100; ++i) all.push_back(i);
         return all;
       }()},
      {"ratio 0.5 repeats samples", 98, 6, 0.5f, {98, 98, 99, 99, 0, 0}},
      {"phase is not carried across the wrap", 97, 4, 1.5f, {97, 98, 0, 1}},
      {"start beyond the end wraps", 250, 3, 1.0f, {50, 51, 52}},
      {"negative start wraps", -10, 3, 1.0f, {90, 91, 92}},
      {"the first run stops at trunc((length - start) / ratio)", 91, 10, 2.0f,
       {91, 93, 95, 97, 0, 2, 4, 6, 8, 10}},
      {"the rest runs while inside the file, then wraps again", 30, 4, 60.0f, {30, 0, 60, 0}},
      {"a step wider than the whole file replays frame 0", 99, 3, 250.0f, {0, 0, 0}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<float> out(c.expected.size(), 0.0f);
    store.readChannel(out.data(), 0, c.frames, c.start, c.ratio, true, 100);
    EXPECT_EQ(framesRead(out), c.expected);
  }
}

TEST(ClusterStoreRead, ReplacesOrAddsOnTheChosenChannel) {
  ClusterStore store;
  fillWithSentinelTail(store, 100);
  const struct {
    int channel;
    bool replace;
    float before;
    float expected[3];
  } cases[] = {
      {0, true, 1000.0f, {11.0f, 12.0f, 13.0f}},
      {0, false, 1000.0f, {1011.0f, 1012.0f, 1013.0f}},
      {1, true, 1000.0f, {-11.0f, -12.0f, -13.0f}},
      {1, false, 1000.0f, {989.0f, 988.0f, 987.0f}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "channel " << c.channel << " replace " << c.replace);
    float out[4] = {c.before, c.before, c.before, c.before};
    store.readChannel(out, c.channel, 3, 10, 1.0f, c.replace, 100);
    EXPECT_EQ(out[0], c.expected[0]);
    EXPECT_EQ(out[1], c.expected[1]);
    EXPECT_EQ(out[2], c.expected[2]);
    EXPECT_EQ(out[3], c.before) << "nothing beyond frames is written";
  }
}

TEST(ClusterStoreRead, CrossesClusterBoundaries) {
  ClusterStore store;
  ASSERT_TRUE(store.allocate(2, 250000));
  fill(store, 0, 250000);
  const ReadCase cases[] = {
      {"ratio 1 over the first boundary", 99998, 4, 1.0f, {99998, 99999, 100000, 100001}},
      {"ratio 2 over the second boundary", 199997, 3, 2.0f, {199997, 199999, 200001}},
      {"wrap from the last cluster to the first", 249998, 4, 1.0f, {249998, 249999, 0, 1}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<float> out(c.expected.size(), 0.0f);
    store.readChannel(out.data(), 0, c.frames, c.start, c.ratio, true, 250000);
    EXPECT_EQ(framesRead(out), c.expected);
  }
}

// A 1152-frame file played in 4096-frame blocks: every block wraps several times.
TEST(ClusterStoreRead, BlockLongerThanTheFileWrapsAgainAndAgain) {
  constexpr std::int32_t kLength = kDecoderBlock;
  constexpr std::int32_t kBlock = 4096;
  ClusterStore store;
  fillWithSentinelTail(store, kLength);

  for (std::int32_t start : {0, 1, 700, kLength - 1}) {
    SCOPED_TRACE(testing::Message() << "start " << start);
    std::vector<float> out(kBlock, 0.0f);
    store.readChannel(out.data(), 0, kBlock, start, 1.0f, true, kLength);
    for (std::int32_t i = 0; i < kBlock; ++i) {
      ASSERT_EQ(frameOf(out[static_cast<std::size_t>(i)]), (start + i) % kLength) << i;
    }
  }

  // At 1.12 the first pass holds trunc((1152 - start) / 1.12) steps; every later pass starts
  // at frame 0 and holds the 1029 steps whose positions lie inside the file (1028 x 1.12 =
  // 1151.36).
  const float ratio = 1.12f;
  const struct {
    std::int32_t start;
    std::int32_t firstPass;
  } starts[] = {{0, 1028}, {500, 582}};
  for (const auto& s : starts) {
    SCOPED_TRACE(testing::Message() << "start " << s.start);
    std::vector<float> out(kBlock, 0.0f);
    store.readChannel(out.data(), 0, kBlock, s.start, ratio, true, kLength);
    for (std::int32_t i = 0; i < kBlock; ++i) {
      const bool firstPass = i < s.firstPass;
      const std::int32_t step = firstPass ? i : (i - s.firstPass) % 1029;
      const std::int32_t from = firstPass ? s.start : 0;
      const auto expected = static_cast<std::int32_t>(from + step * static_cast<double>(ratio));
      ASSERT_LT(expected, kLength);
      ASSERT_EQ(frameOf(out[static_cast<std::size_t>(i)]), expected) << i;
    }
  }
}

// Beyond 2^24 frames (about six minutes at 44100 Hz) a float position can no longer tell
// neighbouring frames apart; every frame must still be played once at ratio 1.
TEST(ClusterStoreRead, StaysExactBeyondFloatPrecision) {
  constexpr std::int32_t kLength = (1 << 24) + 300;
  constexpr std::int32_t kFirst = (1 << 24) - 100;
  ClusterStore store;
  ASSERT_TRUE(store.allocate(1, kLength));
  auto value = [](std::int32_t frame) { return static_cast<float>(frame % 997 + 1); };
  std::vector<float> block;
  for (std::int32_t i = kFirst; i < kLength; ++i) {
    block.push_back(value(i));
  }
  store.append(block.data(), nullptr, 1, kFirst, kLength - kFirst);

  const struct {
    float ratio;
    std::int32_t frames;
  } reads[] = {{1.0f, 350}, {0.5f, 600}, {0.75f, 400}};
  for (const auto& r : reads) {
    SCOPED_TRACE(testing::Message() << "ratio " << r.ratio);
    std::vector<float> out(static_cast<std::size_t>(r.frames), 0.0f);
    store.readChannel(out.data(), 0, r.frames, kFirst, r.ratio, true, kLength);
    for (std::int32_t i = 0; i < r.frames; ++i) {
      const std::int32_t exact = kFirst + i * static_cast<std::int32_t>(r.ratio * 4) / 4;
      ASSERT_EQ(out[static_cast<std::size_t>(i)], value(exact)) << i;
    }
  }
}

// Whatever the ratio and position, no output comes from at or beyond the length: the store
// holds a sentinel there.
TEST(ClusterStoreRead, NeverReadsAtOrBeyondTheLength) {
  const std::int32_t lengths[] = {1, 2, 3, 7, 100, kDecoderBlock, 100001};
  const float ratios[] = {0.88f, 0.91875f, 1.0f, 1.12f, 1.0f / 3.0f, 0.1f,
                          2.5f,  7.0f,     1e-7f, 3000.0f};
  const std::int32_t blockSizes[] = {1, 64, 4096};
  for (std::int32_t length : lengths) {
    ClusterStore store;
    fillWithSentinelTail(store, length);
    for (float ratio : ratios) {
      for (std::int32_t start : {0, length / 2, length - 1}) {
        for (std::int32_t frames : blockSizes) {
          std::vector<float> out(static_cast<std::size_t>(frames), 0.0f);
          store.readChannel(out.data(), 0, frames, start, ratio, true, length);
          for (float value : out) {
            ASSERT_TRUE(value >= 1.0f && value <= static_cast<float>(length))
                << "value " << value << " length " << length << " ratio " << ratio << " start "
                << start << " frames " << frames;
          }
          const bool wrapsAtOnce = static_cast<float>(length - start) < ratio;
          ASSERT_EQ(frameOf(out[0]), wrapsAtOnce ? 0 : start);
        }
      }
    }
  }
}

TEST(ClusterStoreRead, ImpossibleReadsWriteSilenceOrNothing) {
  ClusterStore store;
  fillWithSentinelTail(store, 100);
  const struct {
    const char* name;
    int channel;
    float ratio;
    std::int32_t length;
  } cases[] = {
      {"ratio 0", 0, 0.0f, 100},
      {"negative ratio", 0, -1.0f, 100},
      {"NaN ratio", 0, std::nanf(""), 100},
      {"infinite ratio", 0, std::numeric_limits<float>::infinity(), 100},
      {"nothing decoded", 0, 1.0f, 0},
      {"negative length", 0, 1.0f, -5},
      {"channel beyond the table", 2, 1.0f, 100},
      {"negative channel", -1, 1.0f, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    float replaced[3] = {5.0f, 5.0f, 5.0f};
    store.readChannel(replaced, c.channel, 2, 10, c.ratio, true, c.length);
    EXPECT_EQ(replaced[0], 0.0f);
    EXPECT_EQ(replaced[1], 0.0f);
    EXPECT_EQ(replaced[2], 5.0f);
    float added[2] = {5.0f, 5.0f};
    store.readChannel(added, c.channel, 2, 10, c.ratio, false, c.length);
    EXPECT_EQ(added[0], 5.0f);
    EXPECT_EQ(added[1], 5.0f);
  }

  float untouched[2] = {5.0f, 5.0f};
  store.readChannel(untouched, 0, 0, 10, 1.0f, true, 100);
  store.readChannel(untouched, 0, -4, 10, 1.0f, true, 100);
  EXPECT_EQ(untouched[0], 5.0f);
  EXPECT_EQ(untouched[1], 5.0f);
  store.readChannel(nullptr, 0, 2, 10, 1.0f, true, 100);
}

TEST(ClusterStoreRead, AReleasedStoreReadsAsSilence) {
  ClusterStore store;
  fillWithSentinelTail(store, 100);
  store.release();
  float out[3] = {5.0f, 5.0f, 5.0f};
  store.readChannel(out, 0, 3, 0, 1.0f, true, 100);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(out[2], 0.0f);
}

}  // namespace
}  // namespace vintrove::test
