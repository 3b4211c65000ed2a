// The committed files in tests/data decode, through the reference decode, as tests/data/README.md
// states: layer, channels, rate, bit rate and frame count, audible content, and the damaged and
// foreign files behave as described.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "reference_decode.h"
#include "signal_measures.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

constexpr const char* kTagless = "l3_44k1_stereo_128k_notag.mp3";

struct CommittedFile {
  const char* name;
  int layer;
  int channels;
  int sampleRate;
  long bitRate;  // of the first frame
  int frames;    // decoded with the guard bytes
  int samplesPerFrame;
};

void PrintTo(const CommittedFile& file, std::ostream* os) { *os << file.name; }

class CommittedFileTest : public ::testing::TestWithParam<CommittedFile> {};

TEST_P(CommittedFileTest, DecodesAsDescribed) {
  const CommittedFile& file = GetParam();
  const ReferenceDecode decoded = referenceDecodeFile(testDataPath(file.name));
  EXPECT_EQ(decoded.layer, file.layer);
  EXPECT_EQ(decoded.channels, file.channels);
  EXPECT_EQ(decoded.sampleRate, file.sampleRate);
  EXPECT_EQ(decoded.bitRate, file.bitRate);
  EXPECT_EQ(decoded.frames, file.frames);
  ASSERT_EQ(decoded.samples.size(), static_cast<std::size_t>(file.channels));
  for (const std::vector<float>& channel : decoded.samples) {
    EXPECT_EQ(channel.size(), static_cast<std::size_t>(file.frames) * file.samplesPerFrame);
    EXPECT_GT(rms(channel), 0.05);
    EXPECT_LT(peak(channel), 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CommittedFileTest,
    ::testing::Values(CommittedFile{"l3_44k1_stereo_128k.mp3", 3, 2, 44100, 128000, 117, 1152},
                      CommittedFile{kTagless, 3, 2, 44100, 128000, 116, 1152},
                      CommittedFile{"l3_22k05_mono_64k.mp3", 3, 1, 22050, 64000, 79, 576},
                      CommittedFile{"l3_48k_stereo_320k.mp3", 3, 2, 48000, 320000, 85, 1152},
                      CommittedFile{"l3_32k_stereo_vbr.mp3", 3, 2, 32000, 128000, 86, 1152},
                      CommittedFile{"l2_48k_stereo_192k.mp2", 2, 2, 48000, 192000, 84, 1152},
                      CommittedFile{"l2_32k_mono_64k.mp2", 2, 1, 32000, 64000, 56, 1152},
                      CommittedFile{"l2_44k1_mono_pink.mp2", 2, 1, 44100, 192000, 58, 1152},
                      CommittedFile{"l3_44k1_stereo_id3.mp3", 3, 2, 44100, 128000, 78, 1152},
                      CommittedFile{"l3_truncated.mp3", 3, 2, 44100, 128000, 115, 1152},
                      CommittedFile{"l3_garbage.mp3", 3, 2, 44100, 128000, 112, 1152}));

class ForeignFileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ForeignFileTest, DecodesNothing) {
  const ReferenceDecode decoded = referenceDecodeFile(testDataPath(GetParam()));
  EXPECT_EQ(decoded.frames, 0);
  EXPECT_EQ(decoded.channels, 0);
  EXPECT_TRUE(decoded.samples.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, ForeignFileTest,
                         ::testing::Values("not_mpeg.txt", "not_mpeg.wav", "random_bytes.mp3",
                                           "empty.mp3"));

TEST(CommittedFiles, EmptyFileIsEmpty) {
  EXPECT_TRUE(readFileBytes(testDataPath("empty.mp3")).empty());
}

std::vector<float> firstFrames(const std::vector<float>& channel, int frames) {
  return std::vector<float>(channel.begin(), channel.begin() + frames * 1152);
}

std::vector<float> lastFrames(const std::vector<float>& channel, int frames) {
  return std::vector<float>(channel.end() - frames * 1152, channel.end());
}

// Left 440 Hz, right 660 Hz: the reference keeps the channels apart and in order.
TEST(CommittedFiles, StereoChannelsCarryTheirOwnTones) {
  const ReferenceDecode decoded = referenceDecodeFile(testDataPath(kTagless));
  ASSERT_EQ(decoded.channels, 2);
  // One second from 0.5 s on, clear of the encoder's delay and the fade at the end.
  EXPECT_NEAR(zeroCrossings(decoded.samples[0], 22050, 66150), 880, 4);
  EXPECT_NEAR(zeroCrossings(decoded.samples[1], 22050, 66150), 1320, 4);
}

TEST(CommittedFiles, LayerTwoStereoChannelsCarryTheirOwnTones) {
  const ReferenceDecode decoded = referenceDecodeFile(testDataPath("l2_48k_stereo_192k.mp2"));
  ASSERT_EQ(decoded.channels, 2);
  EXPECT_NEAR(zeroCrossings(decoded.samples[0], 24000, 72000), 1046, 4);
  EXPECT_NEAR(zeroCrossings(decoded.samples[1], 24000, 72000), 1568, 4);
}

// lame's info frame in front decodes as one frame of silence before the same audio.
TEST(CommittedFiles, InfoFrameDecodesAsSilence) {
  const ReferenceDecode withInfo = referenceDecodeFile(testDataPath("l3_44k1_stereo_128k.mp3"));
  const ReferenceDecode without = referenceDecodeFile(testDataPath(kTagless));
  ASSERT_EQ(withInfo.frames, without.frames + 1);
  for (std::size_t c = 0; c < 2; ++c) {
    const std::vector<float>& channel = withInfo.samples[c];
    EXPECT_EQ(peak(firstFrames(channel, 1)), 0.0);
    EXPECT_EQ(std::vector<float>(channel.begin() + 1152, channel.end()), without.samples[c]);
  }
}

TEST(CommittedFiles, TaggedFileHasBothTags) {
  const std::vector<unsigned char> bytes = readFileBytes(testDataPath("l3_44k1_stereo_id3.mp3"));
  ASSERT_GT(bytes.size(), 138u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
  EXPECT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
}

// The truncated file is the tag-less file cut inside its last frame: that frame is lost and the
// others decode to the same samples.
TEST(CommittedFiles, TruncatedFileLosesOnlyItsLastFrame) {
  const std::vector<unsigned char> whole = readFileBytes(testDataPath(kTagless));
  const std::vector<unsigned char> cut = readFileBytes(testDataPath("l3_truncated.mp3"));
  ASSERT_LT(cut.size(), whole.size());
  ASSERT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin()));

  const ReferenceDecode full = referenceDecode(whole);
  const ReferenceDecode truncated = referenceDecode(cut);
  ASSERT_EQ(truncated.frames, full.frames - 1);
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(truncated.samples[c], firstFrames(full.samples[c], truncated.frames));
  }
}

// Damage in the middle costs a few frames; the frames before and after it decode unchanged.
TEST(CommittedFiles, GarbageCostsAFewFramesInTheMiddle) {
  const ReferenceDecode clean = referenceDecodeFile(testDataPath(kTagless));
  const ReferenceDecode damaged = referenceDecodeFile(testDataPath("l3_garbage.mp3"));
  ASSERT_EQ(clean.frames, 116);
  ASSERT_EQ(damaged.frames, 112);
  // Beyond the lost sync in the guard bytes at the end.
  EXPECT_GT(damaged.recoverableErrors, 1);
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(firstFrames(damaged.samples[c], 58), firstFrames(clean.samples[c], 58));
    EXPECT_EQ(lastFrames(damaged.samples[c], 53), lastFrames(clean.samples[c], 53));
  }
}

}  // namespace
}  // namespace vintrove::test
