// The contiguous twin: allocation and growth by copying, block appends, and reads that give
// exactly what the clustered store gives for the same samples, fast path included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "player/cluster_store.h"
#include "player/contiguous_store.h"
#include "store_test_data.h"

namespace vintrove::test {
namespace {

void fill(ContiguousStore& store, std::int32_t first, std::int32_t count) {
  appendPattern(
      [&](const float* left, const float* right, std::int32_t at, std::int32_t frames) {
        store.appendAt(left, right, 2, at, frames);
      },
      first, count);
}

TEST(ContiguousStoreAllocation, AllocatesOneArrayPerChannel) {
  ContiguousStore store;
  EXPECT_FALSE(store.holds(0));
  ASSERT_TRUE(store.allocate(1, 1000));
  EXPECT_EQ(store.capacity(), 1000);
  EXPECT_TRUE(store.holds(0));
  EXPECT_FALSE(store.holds(1));

  ASSERT_TRUE(store.allocate(2, 0));
  EXPECT_TRUE(store.holds(0));
  EXPECT_TRUE(store.holds(1));
  EXPECT_EQ(store.capacity(), 0);

  EXPECT_FALSE(store.allocate(2, -1));
  EXPECT_FALSE(store.holds(0)) << "allocate releases first";

  store.release();
  EXPECT_FALSE(store.holds(0));
  EXPECT_FALSE(store.holds(1));
}

TEST(ContiguousStoreGrowth, KeepsTheStoredSamples) {
  ContiguousStore store;
  ASSERT_TRUE(store.allocate(2, 1500));
  fill(store, 0, 1500);
  ASSERT_TRUE(store.grow(2, 5000));
  EXPECT_EQ(store.capacity(), 5000);
  fill(store, 1500, 3500);
  for (std::int32_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(store.sampleAt(0, i), leftSample(i)) << i;
    ASSERT_EQ(store.sampleAt(1, i), rightSample(i)) << i;
  }
}

TEST(ContiguousStoreAppend, CopiesAtTheOffsetAndDropsWhatDoesNotFit) {
  ContiguousStore store;
  ASSERT_TRUE(store.allocate(2, 10));
  const float zeros[10] = {};
  store.appendAt(zeros, zeros, 2, 0, 10);
  const float left[4] = {1, 2, 3, 4};
  const float right[4] = {-1, -2, -3, -4};
  store.appendAt(left, right, 2, 8, 4);  // two of the four fit
  EXPECT_EQ(store.sampleAt(0, 7), 0.0f);
  EXPECT_EQ(store.sampleAt(0, 8), 1.0f);
  EXPECT_EQ(store.sampleAt(1, 9), -2.0f);
  store.appendAt(right, nullptr, 1, 0, 1);
  EXPECT_EQ(store.sampleAt(0, 0), -1.0f);
  EXPECT_EQ(store.sampleAt(1, 0), 0.0f) << "a mono append leaves channel 1 alone";
}

TEST(ContiguousStoreRead, FastPathWrapsLikeTheRule) {
  ContiguousStore store;
  ASSERT_TRUE(store.allocate(2, kDecoderBlock));
  fill(store, 0, kDecoderBlock);
  for (std::int32_t start : {0, 1000, kDecoderBlock - 1}) {
    SCOPED_TRACE(testing::Message() << "start " << start);
    std::vector<float> out(4096, 0.0f);
    store.readChannel(out.data(), 1, 4096, start, 1.0f, true, kDecoderBlock);
    for (std::int32_t i = 0; i < 4096; ++i) {
      ASSERT_EQ(out[static_cast<std::size_t>(i)], rightSample((start + i) % kDecoderBlock)) << i;
    }
  }
}

TEST(ContiguousStoreRead, NeverReadsBeyondItsArray) {
  ContiguousStore store;
  ASSERT_TRUE(store.allocate(1, 100));
  fill(store, 0, 100);
  // A length larger than the array wraps at the array's end instead.
  std::vector<float> out(8, 0.0f);
  store.readChannel(out.data(), 0, 8, 96, 1.0f, true, 5000);
  EXPECT_EQ(out[3], leftSample(99));
  EXPECT_EQ(out[4], leftSample(0));

  float silent[2] = {5.0f, 5.0f};
  store.readChannel(silent, 1, 2, 0, 1.0f, true, 100);  // channel 1 has no array
  EXPECT_EQ(silent[0], 0.0f);
  EXPECT_EQ(silent[1], 0.0f);
}

// Both stores filled with the same decoder blocks, read with the same arguments, must agree
// sample for sample: ratio 1 in replace mode is the contiguous fast path.
TEST(StoreTwins, ReadIdentically) {
  constexpr std::int32_t kStored = 250000;
  ClusterStore clustered;
  ContiguousStore contiguous;
  ASSERT_TRUE(clustered.allocate(2, kStored));
  ASSERT_TRUE(contiguous.allocate(2, kStored));
  std::uint32_t seed = 12345;
  std::vector<float> left(kDecoderBlock);
  std::vector<float> right(kDecoderBlock);
  for (std::int32_t at = 0; at < kStored; at += kDecoderBlock) {
    const std::int32_t frames = std::min(kDecoderBlock, kStored - at);
    for (std::int32_t j = 0; j < frames; ++j) {
      seed = seed * 1664525u + 1013904223u;
      left[static_cast<std::size_t>(j)] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
      right[static_cast<std::size_t>(j)] = static_cast<float>(seed & 0xffffu) / 65536.0f;
    }
    clustered.append(left.data(), right.data(), 2, at, frames);
    contiguous.appendAt(left.data(), right.data(), 2, at, frames);
  }

  const struct {
    std::int32_t start;
    std::int32_t frames;
    float ratio;
    std::int32_t length;
  } reads[] = {
      {0, 512, 1.0f, kStored},
      {99800, 512, 1.0f, kStored},
      {249900, 512, 1.0f, kStored},
      {100, 4096, 1.0f, kDecoderBlock},
      {700, 4096, 1.12f, kDecoderBlock},
      {99900, 512, 0.91875f, kStored},
      {249700, 512, 0.88f, kStored},
      {249990, 64, 2.0f, kStored},
      {5, 300, 1.0f / 3.0f, 7},
      {123456, 4096, 1.12f, 200000},
      {0, 16, 500.0f, 1000},
  };
  for (const auto& r : reads) {
    for (int channel = 0; channel < 2; ++channel) {
      for (bool replace : {true, false}) {
        SCOPED_TRACE(testing::Message() << "start " << r.start << " ratio " << r.ratio
                                        << " channel " << channel << " replace " << replace);
        std::vector<float> fromClusters(static_cast<std::size_t>(r.frames), 0.25f);
        std::vector<float> fromArray(static_cast<std::size_t>(r.frames), 0.25f);
        clustered.readChannel(fromClusters.data(), channel, r.frames, r.start, r.ratio, replace,
                              r.length);
        contiguous.readChannel(fromArray.data(), channel, r.frames, r.start, r.ratio, replace,
                               r.length);
        ASSERT_EQ(fromClusters, fromArray);
        ASSERT_NE(fromClusters, std::vector<float>(fromClusters.size(), 0.25f));
      }
    }
  }
}

}  // namespace
}  // namespace vintrove::test
