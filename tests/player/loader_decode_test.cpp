// What the loaders decode: every sample of clean files of all three layers equals a plain libmad
// decode (the last frame included), damaged and foreign files end cleanly, the length estimate
// and the store's capacity follow the frame headers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "layer1_writer.h"
#include "loader_test_support.h"
#include "player/cluster_sample_loader.h"
#include "player/overview.h"
#include "player/store_layout.h"
#include "player/stream_start.h"
#include "reference_decode.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

template <class Loader>
class LoaderDecode : public ::testing::Test {
 protected:
  // Loads a file to the end and checks its samples against the reference decode.
  void expectSameAsReference(const std::string& path) {
    SCOPED_TRACE(path);
    const ReferenceDecode reference = referenceDecodeFile(path);
    ASSERT_GT(reference.frames, 0);
    RecordingOwner owner;
    auto loader = makeLoader<Loader>(&owner);
    ASSERT_TRUE(loader->start(path.c_str()));
    ASSERT_TRUE(waitForLoad(*loader));

    const auto expectedFrames = static_cast<std::int32_t>(reference.samples[0].size());
    EXPECT_EQ(loader->getDecodedFrames(), expectedFrames);
    EXPECT_EQ(loader->getChannels(), reference.channels);
    EXPECT_EQ(loader->getSampleRate(), reference.sampleRate);
    ASSERT_FALSE(owner.lengths().empty());
    EXPECT_EQ(owner.lengths().back(), expectedFrames);

    const auto stored = readEverything(*loader);
    ASSERT_EQ(stored.size(), 2u);
    const auto& right = reference.channels > 1 ? reference.samples[1] : reference.samples[0];
    // Bit for bit: both sides convert the same fixed-point values the same way.
    EXPECT_TRUE(stored[0] == reference.samples[0]) << "left channel differs";
    EXPECT_TRUE(stored[1] == right) << "right channel differs";
  }
};

using LoaderTypes = ::testing::Types<ClusterSampleLoader, SampleLoader>;
TYPED_TEST_SUITE(LoaderDecode, LoaderTypes);

// Files with an encoder's info frame are trimmed: loader_real_files_test.cpp holds them to mpg123.
TYPED_TEST(LoaderDecode, CleanFilesOfLayersTwoAndThreeMatchAPlainDecode) {
  for (const char* name : {"l3_44k1_stereo_128k_notag.mp3", "l3_22k05_mono_64k.mp3", "l3_48k_stereo_320k.mp3",
                           "l2_48k_stereo_192k.mp2", "l2_32k_mono_64k.mp2"}) {
    this->expectSameAsReference(testDataPath(name));
  }
}

TYPED_TEST(LoaderDecode, LayerOneFilesMatchAPlainDecode) {
  for (int rate : {32000, 44100, 48000}) {
    for (int channels : {1, 2}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
      TempFile file(writeLayer1(rate, 192, channels, 40), ".mp1");
      this->expectSameAsReference(file.path());
    }
  }
}

// The tags are not audio: neither adds a frame, and the frames between them are all there.
TYPED_TEST(LoaderDecode, TaggedFileDecodesOnlyItsFrames) {
  this->expectSameAsReference(testDataPath("l3_44k1_stereo_id3.mp3"));
}

// A frame cut short at the end of the file is dropped, the frames before it are kept.
TYPED_TEST(LoaderDecode, TruncatedFileKeepsEveryWholeFrame) {
  this->expectSameAsReference(testDataPath("l3_truncated.mp3"));
}

// A file that is exactly one frame long still decodes that frame.
TYPED_TEST(LoaderDecode, SingleFrameFileDecodes) {
  TempFile file(writeLayer1(44100, 128, 2, 1), ".mp1");
  this->expectSameAsReference(file.path());
}

TYPED_TEST(LoaderDecode, GarbageInsideKeepsTheAudioAroundIt) {
  const std::string path = testDataPath("l3_garbage.mp3");
  const ReferenceDecode clean = referenceDecodeFile(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  RecordingOwner owner;
  auto loader = makeLoader<TypeParam>(&owner);
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  // Damaged frames are replaced by their predecessor, not dropped: the length barely changes.
  EXPECT_GE(loader->getDecodedFrames(), 112 * 1152);
  EXPECT_LE(loader->getDecodedFrames(), 117 * 1152);
  const auto stored = readEverything(*loader);
  ASSERT_FALSE(stored.empty());
  const std::size_t before = 50 * 1152;
  EXPECT_TRUE(std::equal(stored[0].begin(), stored[0].begin() + before, clean.samples[0].begin()));
}

TYPED_TEST(LoaderDecode, FilesThatAreNotMpegEndWithNothingToPlay) {
  for (const char* name : {"not_mpeg.txt", "not_mpeg.wav", "random_bytes.mp3"}) {
    SCOPED_TRACE(name);
    RecordingOwner owner;
    auto loader = makeLoader<TypeParam>(&owner);
    const std::string path = testDataPath(name);
    ASSERT_TRUE(loader->start(path.c_str()));
    ASSERT_TRUE(waitForLoad(*loader));
    EXPECT_EQ(loader->getDecodedFrames(), 0);
    ASSERT_FALSE(owner.lengths().empty());
    EXPECT_EQ(owner.lengths().back(), 0);
    float left[8] = {1, 1, 1, 1, 1, 1, 1, 1}, right[8] = {2, 2, 2, 2, 2, 2, 2, 2};
    float* outputs[2] = {left, right};
    EXPECT_FALSE(loader->read(outputs, 8, 0, 1.0f, true));
    EXPECT_EQ(left[0], 1.0f) << "a refused read writes nothing";
  }
}

TEST(LoaderEstimate, FollowsTheAverageBitRateOfTheHeaders) {
  // 4,800,000 bytes of 128 kbit/s 44.1 kHz frames: 300 s, 13,230,000 frames.
  const std::vector<unsigned char> frames = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  std::vector<unsigned char> bytes;
  while (bytes.size() < 4800000) bytes.insert(bytes.end(), frames.begin(), frames.end());
  bytes.resize(4800000);
  TempFile file(bytes);

  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  owner.holdAtTick(1);
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(owner.waitUntilHeld());
  ASSERT_FALSE(owner.lengths().empty());
  EXPECT_EQ(owner.lengths().front(), 13230000);
  EXPECT_EQ(loader->getCapacity(), 14553000);
  EXPECT_EQ(loader->getBitRate(), 128000);
  EXPECT_EQ(loader->getSampleRate(), 44100);
  owner.release();
}

TEST(LoaderEstimate, WithoutAnyHeaderInTheScanTheRateStillComesFromTheFirstFrame) {
  // More junk than the search for the first frame and the scan's 1000 attempts get through, then
  // a real file.
  std::vector<unsigned char> bytes(kStreamStartSearch + 1500, 0xff);
  const std::vector<unsigned char> audio = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  bytes.insert(bytes.end(), audio.begin(), audio.end());
  TempFile file(bytes);
  const ReferenceDecode reference = referenceDecode(bytes);

  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  ASSERT_GE(owner.lengths().size(), 2u);
  EXPECT_EQ(loader->getBitRate(), 128000);  // the default: no header counted
  EXPECT_EQ(loader->getSampleRate(), 44100);
  EXPECT_EQ(owner.lengths().front(), static_cast<std::int32_t>(44100.0 / 128000.0 * bytes.size() * 8.0));
  EXPECT_EQ(loader->getDecodedFrames(), static_cast<std::int32_t>(reference.samples[0].size()));
}

// A count of 0 is no count: the length is estimated, so that the file plays while it decodes,
// and nothing is trimmed at the end. mpg123 and ffmpeg (tests/data/README.md) take it for no
// count too; like ffmpeg the loader still trims the encoder's delay at the start.
TEST(LoaderEstimate, AnInfoFrameCountingNoFramesIsNoCount) {
  std::vector<unsigned char> bytes = readFileBytes(testDataPath("l3_44k1_stereo_128k.mp3"));
  std::fill(bytes.begin() + 44, bytes.begin() + 48, 0);  // the Info frame's frame count
  TempFile file(bytes);
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  std::vector<std::int32_t> capacities;
  owner.onTick([&](std::int32_t) { capacities.push_back(loader->getCapacity()); });
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  // 128 kbit/s over the file's 48,900 bytes of 44.1 kHz audio.
  const auto estimate = static_cast<std::int32_t>(44100.0 / 128000.0 * bytes.size() * 8.0);
  EXPECT_EQ(owner.lengths().front(), estimate);
  ASSERT_FALSE(capacities.empty());
  EXPECT_EQ(capacities[0], static_cast<std::int32_t>(static_cast<float>(estimate) * 1.1f));
  EXPECT_EQ(owner.lengths().back(), 132527);
}

// The first store is made for the estimate, which the file's opening can make many times its
// length: here 1000 frames at 32 kbit/s (as an encoder writes silence) before 3000 at 448 kbit/s,
// so the headers the estimate averages promise 16.5 million frames for 1.5 million. Once the
// file is decoded the store holds only the clusters its frames need, and they all play.
TEST(LoaderEstimate, AnEstimateFarBeyondTheFileKeepsNoMemoryOnceItIsDecoded) {
  std::vector<unsigned char> bytes = writeLayer1(32000, 32, 1, 1000);
  const std::vector<unsigned char> loud = writeLayer1(32000, 448, 1, 3000);
  bytes.insert(bytes.end(), loud.begin(), loud.end());
  const ReferenceDecode reference = referenceDecode(bytes);
  TempFile file(bytes, ".mp1");
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  ASSERT_TRUE(loader->start(file.path().c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  constexpr std::int32_t kFrames = 4000 * 384;
  ASSERT_EQ(loader->getDecodedFrames(), kFrames);
  ASSERT_EQ(static_cast<std::int32_t>(reference.samples[0].size()), kFrames);
  EXPECT_EQ(owner.lengths().front(), 16512000) << "32 kbit/s over all the bytes";
  EXPECT_EQ(loader->heldClusters(0), clustersNeeded(kFrames));
  EXPECT_EQ(loader->heldClusters(1), 0);
  EXPECT_GE(loader->getCapacity(), kFrames);
  EXPECT_LE(loader->getCapacity(), clustersNeeded(kFrames) * kClusterSize);
  const auto stored = readEverything(*loader);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_TRUE(stored[0] == reference.samples[0]);
}

// What the first report shows is known when it is made: a mono file is mono there, not the
// stereo a loader assumes before it knows the file (the editor shows "M" or "S" from it).
TEST(LoaderReports, TheFirstLengthComesWithTheFilesChannelsAndRate) {
  struct Case {
    const char* name;
    std::int32_t channels;
    std::int32_t sampleRate;
  };
  for (const Case c : {Case{"l3_22k05_mono_64k.mp3", 1, 22050}, Case{"l2_32k_mono_64k.mp2", 1, 32000},
                       Case{"l3_48k_stereo_320k.mp3", 2, 48000}}) {
    SCOPED_TRACE(c.name);
    RecordingOwner owner;
    auto loader = makeLoader<ClusterSampleLoader>(&owner);
    std::vector<std::pair<std::int32_t, std::int32_t>> seen;
    owner.onLength([&](std::int32_t) { seen.emplace_back(loader->getChannels(), loader->getSampleRate()); });
    ASSERT_TRUE(loader->start(testDataPath(c.name).c_str()));
    ASSERT_TRUE(waitForLoad(*loader));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), std::make_pair(c.channels, c.sampleRate));
  }
}

TEST(LoaderOverview, IsClearedThenFilledWhileDecoding) {
  std::vector<unsigned char> pixels(kOverviewBytes, 0x5a);
  RecordingOwner owner;
  auto loader = makeLoader<ClusterSampleLoader>(&owner);
  loader->setOverviewPixels(pixels.data());
  bool clearedBeforeFirstFrame = false;
  owner.onTick([&](std::int32_t frames) {
    if (frames == 0) {
      clearedBeforeFirstFrame = std::all_of(pixels.begin(), pixels.end(), [](unsigned char b) { return b == 0; });
    }
  });
  const std::string path = testDataPath("l3_44k1_stereo_128k_notag.mp3");
  ASSERT_TRUE(loader->start(path.c_str()));
  ASSERT_TRUE(waitForLoad(*loader));
  EXPECT_TRUE(clearedBeforeFirstFrame);
  // Every column of the file got its bar: each has at least one painted pixel.
  for (int x = 0; x < kOverviewWidth; ++x) {
    bool painted = false;
    for (int row = 0; row < kOverviewHeight; ++row) {
      const unsigned char* p = &pixels[static_cast<std::size_t>(row * kOverviewRowBytes + x * 3)];
      painted = painted || p[0] != 0 || p[1] != 0 || p[2] != 0;
    }
    EXPECT_TRUE(painted) << "column " << x;
  }
}

}  // namespace
}  // namespace vintrove::test

namespace vintrove::test {
namespace {

// Every input that once crashed the decode path (kept by the fuzzer) loads and plays cleanly.
TEST(LoaderRegressions, InputsThatOnceCrashedLoadCleanly) {
  std::filesystem::path folder = VINTROVE_FUZZ_REGRESSIONS_DIR;
#ifdef _WIN32
  folder = std::filesystem::path("Z:" + folder.string());
#endif
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    ++inputs;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    RecordingOwner owner;
    auto loader = makeLoader<ClusterSampleLoader>(&owner);
    std::vector<unsigned char> pixels(kOverviewBytes);
    loader->setOverviewPixels(pixels.data());
    ASSERT_TRUE(loader->start(path.c_str()));
    ASSERT_TRUE(waitForLoad(*loader));
    std::vector<float> left(4096), right(4096);
    float* outputs[2] = {left.data(), right.data()};
    for (float ratio : {1.0f, 1.12f, 0.5f}) {
      loader->read(outputs, 4096, 0, ratio, true);
      loader->read(outputs, 4096, loader->getDecodedFrames() / 2, ratio, false);
    }
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace vintrove::test
