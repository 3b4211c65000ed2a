// A file too long for the store is refused without keeping anything of it: once the warning is
// up the store is freed (the memory the process holds is back where it was before the load)
// and the length is 0, so the player holds neither memory nor a length with nothing to play. The
// store's limit is made small here (100 clusters, 10,000,000 frames) so that the test decodes a
// 3.5-minute file instead of a 38-minute one; the refusal is the same at any limit.
//
// A program of its own: AddressSanitizer keeps freed memory in its quarantine, which this
// program sets to nothing so that the measure sees what the loader gives back.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "layer1_writer.h"
#include "loader_test_support.h"
#include "player/loader_owner.h"
#include "platform/message_box.h"
#include "player/cluster_sample_loader.h"
#include "player/store_layout.h"
#include "memory_in_use.h"
#include "temp_file.h"

extern "C" const char* __asan_default_options() { return "quarantine_size_mb=0:thread_local_quarantine_size_kb=0"; }

namespace vintrove::test {
namespace {

constexpr std::int32_t kLimit = 100 * kClusterSize;
constexpr std::int64_t kMegabyte = 1 << 20;

// Allocates nothing while the load runs: the measure sees only the loader's memory (a growing
// list of reports would sit among the freed clusters and keep the heap's pages committed).
class MeasuringOwner : public LoaderOwner {
 public:
  void setLength(std::int32_t frames) override {
    lastLength.store(frames);
    ++lengths;
  }
  void loadingTick(std::int32_t frames) override {
    if (frames >= kLimit - 100000 && full.load() == 0) full.store(memoryInUse());
  }
  std::atomic<std::int32_t> lastLength{-1};
  std::atomic<int> lengths{0};
  std::atomic<std::int64_t> full{0};
};

std::atomic<int> warnings{0};
void noteWarning(const char*, const char*) { ++warnings; }

template <class Loader>
class LoaderRefusal : public ::testing::Test {
 protected:
  void SetUp() override {
    warnings = 0;
    platform::setWarningHandler(&noteWarning);
  }
  void TearDown() override { platform::setWarningHandler(nullptr); }
};

using LoaderTypes = ::testing::Types<ClusterSampleLoader, SampleLoader>;
TYPED_TEST_SUITE(LoaderRefusal, LoaderTypes);

TYPED_TEST(LoaderRefusal, AFileLongerThanTheStoreLeavesNoMemoryAndNoLength) {
  // 26,100 stereo layer I frames of 384: 10,022,400 frames, 22,400 more than the store holds.
  TempFile file(writeLayer1(48000, 64, 2, 26100), ".mp1");
  const std::int64_t before = memoryInUse();
  ASSERT_GT(before, 0);
  MeasuringOwner owner;
  auto loader = makeLoader<TypeParam>(&owner);
  loader->limitStore(kLimit);
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  const std::int64_t full = owner.full.load();
  const std::int64_t after = memoryInUse();

  EXPECT_EQ(warnings.load(), 1);
  // The store did hold the file up to its limit (two channels of 4-byte samples)...
  EXPECT_GT(full - before, 70 * kMegabyte);
  // ...and holds nothing of it now.
  EXPECT_LT(after - before, 8 * kMegabyte) << (after - before) / kMegabyte << " MB still committed";
  EXPECT_EQ(loader->getDecodedFrames(), 0);
  EXPECT_EQ(loader->getCapacity(), 0);
  ASSERT_GE(owner.lengths.load(), 2);
  EXPECT_EQ(owner.lastLength.load(), 0) << "no length to play";
  float left[4] = {}, right[4] = {};
  float* outputs[2] = {left, right};
  EXPECT_FALSE(loader->read(outputs, 4, 0, 1.0f, true));
}

}  // namespace
}  // namespace vintrove::test
