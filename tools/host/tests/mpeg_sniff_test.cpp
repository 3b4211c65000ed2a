// The host's own check that a file holds MPEG audio, which lets --play name why a file gave no
// sound: the committed test files, hand-made headers and files that cannot be opened.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "mpeg_sniff.h"

namespace vintrove::testhost {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string dataFile(const std::string& name) {
  std::string path(VINTROVE_TEST_DATA_DIR);
  return windowsPath(path.append("/").append(name));
}

FileVerdict verdictOf(const std::string& name) {
  std::string error;
  return sniffMpegFile(dataFile(name), error);
}

// MPEG-1 layer III, 128 kbit/s, 44100 Hz, unpadded: 417 bytes a frame.
Bytes layer3Frames(int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) {
    const Bytes frame = [] {
      Bytes f(417, 0x55);
      f[0] = 0xFF;
      f[1] = 0xFB;
      f[2] = 0x90;
      f[3] = 0x44;
      return f;
    }();
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  return bytes;
}

// A tag body full of sync-like bytes, which must not count as frames.
Bytes id3Tag(std::size_t body) {
  Bytes tag(10 + body, 0xFF);
  const std::uint8_t header[10] = {'I', 'D', '3', 4, 0, 0,
                                   static_cast<std::uint8_t>((body >> 21) & 0x7F),
                                   static_cast<std::uint8_t>((body >> 14) & 0x7F),
                                   static_cast<std::uint8_t>((body >> 7) & 0x7F),
                                   static_cast<std::uint8_t>(body & 0x7F)};
  for (std::size_t i = 0; i < sizeof header; ++i) tag[i] = header[i];
  return tag;
}

TEST(MpegSniff, TakesEveryCommittedMpegFile) {
  for (const char* name : {"l3_44k1_stereo_128k.mp3", "l3_44k1_stereo_128k_notag.mp3", "l3_22k05_mono_64k.mp3",
                           "l3_48k_stereo_320k.mp3", "l3_32k_stereo_vbr.mp3", "l2_48k_stereo_192k.mp2",
                           "l2_32k_mono_64k.mp2", "l3_44k1_stereo_id3.mp3", "l3_truncated.mp3", "l3_garbage.mp3"}) {
    EXPECT_EQ(verdictOf(name), FileVerdict::kMpegAudio) << name;
  }
}

TEST(MpegSniff, RefusesFilesThatHoldNoMpegAudio) {
  for (const char* name : {"not_mpeg.txt", "not_mpeg.wav", "random_bytes.mp3", "empty.mp3"}) {
    EXPECT_EQ(verdictOf(name), FileVerdict::kNotMpegAudio) << name;
  }
}

TEST(MpegSniff, NamesWhyAFileCannotBeOpened) {
  std::string error;
  EXPECT_EQ(sniffMpegFile(dataFile("no_such_file.mp3"), error), FileVerdict::kCannotOpen);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(sniffMpegFile(windowsPath(VINTROVE_TEST_DATA_DIR), error), FileVerdict::kCannotOpen);  // a folder
  EXPECT_FALSE(error.empty());
}

TEST(MpegSniff, WantsTwoAgreeingHeaders) {
  EXPECT_TRUE(holdsMpegAudio(layer3Frames(2).data(), 417 + 4));
  Bytes one = layer3Frames(1);
  one.resize(417 + 8, 0x20);
  EXPECT_FALSE(holdsMpegAudio(one.data(), one.size()));
  // The second header at the right place but of another layer.
  Bytes mixed = layer3Frames(2);
  mixed[417 + 1] = 0xFD;  // layer II
  EXPECT_FALSE(holdsMpegAudio(mixed.data(), mixed.size()));
  // Reserved sample rate and bad bit rate indices are no headers.
  Bytes reserved = layer3Frames(3);
  for (std::size_t at = 0; at < reserved.size(); at += 417) reserved[at + 2] = 0x9C;
  EXPECT_FALSE(holdsMpegAudio(reserved.data(), reserved.size()));
  Bytes badRate = layer3Frames(3);
  for (std::size_t at = 0; at < badRate.size(); at += 417) badRate[at + 2] = 0xF0;
  EXPECT_FALSE(holdsMpegAudio(badRate.data(), badRate.size()));
}

TEST(MpegSniff, LooksAfterTheTagAndOnlyWithinTheWindow) {
  Bytes tagged = id3Tag(kMpegSniffWindow * 2);
  const Bytes frames = layer3Frames(3);
  tagged.insert(tagged.end(), frames.begin(), frames.end());
  EXPECT_TRUE(holdsMpegAudio(tagged.data(), tagged.size()));

  Bytes late(kMpegSniffWindow + 16, 0x20);
  late.insert(late.end(), frames.begin(), frames.end());
  EXPECT_FALSE(holdsMpegAudio(late.data(), late.size()));
  // A tag that claims more bytes than there are.
  Bytes cut = id3Tag(100);
  cut.resize(50);
  EXPECT_FALSE(holdsMpegAudio(cut.data(), cut.size()));
}

}  // namespace
}  // namespace vintrove::testhost
