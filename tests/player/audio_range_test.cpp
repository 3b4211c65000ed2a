// The audio range of a file: tags written here byte by byte after their formats' descriptions
// are set aside in every combination, and hostile sizes never move the range outside the file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "player/audio_range.h"
#include "tag_writer.h"

namespace vintrove::test {
namespace {

// Stand-in audio: bytes that are no tag of any kind.
Bytes audio(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(0x40 + i % 31);
  return bytes;
}

AudioRange rangeOf(const Bytes& file) {
  return findAudioRange(file.data(), static_cast<std::int32_t>(file.size()));
}

TEST(AudioRange, UntaggedFileIsAllAudio) {
  const Bytes file = audio(5000);
  EXPECT_EQ(rangeOf(file), (AudioRange{0, 5000}));
  EXPECT_EQ(findAudioRange(nullptr, 100), (AudioRange{0, 0}));
  EXPECT_EQ(findAudioRange(file.data(), 0), (AudioRange{0, 0}));
}

TEST(AudioRange, Id3v2TagsInFrontOfEveryVersionAreSkipped) {
  const Bytes body(700, 0xFF);  // sync-word bytes inside the tag must not matter
  for (int version : {2, 3, 4}) {
    for (bool footer : {false, true}) {
      if (footer && version != 4) continue;
      SCOPED_TRACE("version " + std::to_string(version) + (footer ? " with footer" : ""));
      Bytes file = id3v2Tag(version, body, footer);
      const auto tagSize = static_cast<std::int32_t>(file.size());
      EXPECT_EQ(tagSize, 10 + 700 + (footer ? 10 : 0));
      appendBytes(file, audio(3000));
      EXPECT_EQ(rangeOf(file), (AudioRange{tagSize, tagSize + 3000}));
    }
  }
}

TEST(AudioRange, SeveralTagsInARowAtBothEndsAreAllSkipped) {
  Bytes file = id3v2Tag(3, id3v23BodyWithPicture(Bytes(3000, 0xE3)));
  appendBytes(file, id3v2Tag(4, Bytes(50, 0), true));
  const auto begin = static_cast<std::int32_t>(file.size());
  appendBytes(file, audio(4000));
  const auto end = static_cast<std::int32_t>(file.size());
  appendBytes(file, lyrics3v2Tag());
  appendBytes(file, apeTag(true));
  appendBytes(file, id3v1Tag());
  EXPECT_EQ(rangeOf(file), (AudioRange{begin, end}));
}

TEST(AudioRange, EachTrailingTagAloneIsSkipped) {
  const Bytes tags[] = {id3v1Tag(), apeTag(false), apeTag(true), lyrics3v2Tag(),
                        id3v2Tag(4, Bytes(30, 1), true)};
  for (const Bytes& tag : tags) {
    Bytes file = audio(2000);
    appendBytes(file, tag);
    EXPECT_EQ(trailingTagSize(file.data(), static_cast<std::int32_t>(file.size())),
              static_cast<std::int32_t>(tag.size()));
    EXPECT_EQ(rangeOf(file), (AudioRange{0, 2000}));
  }
}

TEST(AudioRange, ATagThatClaimsMoreThanTheFileLeavesNothingToDecode) {
  Bytes file = id3v2Tag(3, Bytes(100, 0));
  // Claim 0x0FFFFFFF bytes: the largest syncsafe size.
  file[6] = file[7] = file[8] = file[9] = 0x7F;
  appendBytes(file, audio(500));
  const AudioRange range = rangeOf(file);
  EXPECT_EQ(range.size(), 0);
  EXPECT_LE(range.end, static_cast<std::int32_t>(file.size()));
}

TEST(AudioRange, HeadersThatAreNotTagsAreAudio) {
  // A size byte with its high bit set is no syncsafe size, version 5 and revision 0xFF do not
  // exist, and a header cut short is no header.
  Bytes notSyncsafe = id3v2Tag(3, Bytes(20, 0));
  notSyncsafe[8] = 0x80;
  Bytes badVersion = id3v2Tag(3, Bytes(20, 0));
  badVersion[3] = 5;
  Bytes badRevision = id3v2Tag(3, Bytes(20, 0));
  badRevision[4] = 0xFF;
  for (Bytes file : {notSyncsafe, badVersion, badRevision}) {
    appendBytes(file, audio(300));
    EXPECT_EQ(rangeOf(file).begin, 0);
  }
  const Bytes cut{'I', 'D', '3', 3, 0, 0, 0, 0, 1};
  EXPECT_EQ(rangeOf(cut), (AudioRange{0, 9}));
}

TEST(AudioRange, TrailingTagsWithHostileSizesAreNotBelieved) {
  // APE footer claiming more than the file, or less than its own footer.
  for (std::uint32_t claimed : {0x7FFFFFFFu, 0xFFFFFFFFu, 10u}) {
    Bytes file = audio(100);
    Bytes tag = apeTag(false);
    std::memcpy(&tag[tag.size() - 32 + 12], &claimed, 4);  // little-endian on every build here
    appendBytes(file, tag);
    EXPECT_EQ(rangeOf(file).end, static_cast<std::int32_t>(file.size())) << claimed;
  }
  // Lyrics3v2 with a size beyond the file, and with a non-digit in its size.
  for (const char* size : {"999999", "0001x0"}) {
    Bytes file = audio(100);
    Bytes tag = lyrics3v2Tag();
    std::memcpy(&tag[tag.size() - 15], size, 6);
    appendBytes(file, tag);
    EXPECT_EQ(rangeOf(file).end, static_cast<std::int32_t>(file.size())) << size;
  }
  // An appended ID3v2 footer claiming the whole 256 MB.
  Bytes file = audio(100);
  Bytes footer = id3v2Tag(4, Bytes(10, 0), true);
  std::fill(footer.end() - 4, footer.end(), 0x7F);
  appendBytes(file, Bytes(footer.end() - 10, footer.end()));
  EXPECT_EQ(rangeOf(file).end, static_cast<std::int32_t>(file.size()));
}

TEST(AudioRange, RandomBytesAroundTagMagicsStayInsideTheFile) {
  std::mt19937 random(7);
  const char* magics[] = {"ID3", "TAG", "APETAGEX", "LYRICS200", "LYRICSBEGIN", "3DI"};
  for (int round = 0; round < 3000; ++round) {
    Bytes file(static_cast<std::size_t>(random() % 300));
    for (auto& b : file) b = static_cast<unsigned char>(random());
    // Plant a few magics at random places, so the parsers get past their first test.
    for (int k = 0; k < 3 && !file.empty(); ++k) {
      const std::string magic = magics[random() % 6];
      if (magic.size() > file.size()) continue;
      const std::size_t at = random() % (file.size() - magic.size() + 1);
      std::memcpy(&file[at], magic.data(), magic.size());
    }
    const AudioRange range = rangeOf(file);
    ASSERT_GE(range.begin, 0);
    ASSERT_LE(range.begin, range.end);
    ASSERT_LE(range.end, static_cast<std::int32_t>(file.size()));
  }
}

}  // namespace
}  // namespace vintrove::test
