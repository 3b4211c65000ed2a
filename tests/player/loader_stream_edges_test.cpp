// Where a stream begins and ends, against what mpg123 and ffmpeg make of the same bytes (measured
// once, tests/data/README.md): padding or junk between a tag and the Info frame hides neither
// the frame nor its trim; a false sync at the start does not decide the stream's layer and
// rate; a file cut short of its frame count keeps every frame it has, and the count only trims
// where the file really ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "loaded_file.h"
#include "reference_decode.h"
#include "tag_writer.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

const char* const kLameFile = "l3_44k1_stereo_128k.mp3";     // Info frame, LAME tag, 116 frames
const char* const kPlainFile = "l3_44k1_stereo_128k_notag.mp3";  // the same audio, no Info frame

Bytes junk(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

// The parts one after another (copied into place: g++ 12 at -O3 takes inserts into a fresh small
// vector for overflows).
Bytes joined(std::initializer_list<const Bytes*> parts) {
  std::size_t total = 0;
  for (const Bytes* part : parts) total += part->size();
  Bytes out(total);
  auto at = out.begin();
  for (const Bytes* part : parts) at = std::copy(part->begin(), part->end(), at);
  return out;
}

void setFrameCount(Bytes& lameFile, std::uint32_t frames) {
  for (int i = 0; i < 4; ++i) lameFile[static_cast<std::size_t>(44 + i)] = static_cast<unsigned char>(frames >> (24 - 8 * i));
}

TEST(StreamStart, PaddingOrJunkBeforeTheInfoFrameHidesNeitherItNorItsTrim) {
  const Bytes audio = readFileBytes(testDataPath(kLameFile));
  const Loaded clean = loadBytes(audio);
  ASSERT_EQ(framesOf(clean), 132300);
  const Bytes tag = id3v2Tag(3, Bytes(100, 0));
  struct Case {
    const char* what;
    Bytes before;
  };
  const Case cases[] = {
      {"1 zero byte after the tag", Bytes(1, 0)},   {"4 zero bytes after the tag", Bytes(4, 0)},
      {"64 zero bytes after the tag", Bytes(64, 0)}, {"1000 zero bytes after the tag", Bytes(1000, 0)},
      {"1000 bytes of junk after the tag", junk(1000, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Loaded loaded = loadBytes(joined({&tag, &c.before, &audio}));
    EXPECT_EQ(framesOf(loaded), 132300);  // mpg123; ffmpeg gives 134,784 here
    EXPECT_TRUE(loaded.samples == clean.samples);
    ASSERT_FALSE(loaded.lengths.empty());
    EXPECT_EQ(loaded.lengths.front(), 132300) << "the Info frame's exact length";
  }
  // Without a tag too.
  const Bytes zeros(64, 0);
  EXPECT_TRUE(loadBytes(joined({&zeros, &audio})).samples == clean.samples);
}

TEST(StreamStart, AFalseSyncAtTheStartDoesNotDecideTheStream) {
  const Bytes audio = readFileBytes(testDataPath(kPlainFile));
  const Loaded clean = loadBytes(audio);
  // A whole layer I frame of 32 kHz mono (48 bytes, nothing allocated) right before the MPEG-1
  // layer III stream: a decodable frame, but the next header is not of its stream.
  Bytes falseFrame(48, 0);
  const unsigned char header[] = {0xFF, 0xFF, 0x18, 0xC0};
  std::copy(std::begin(header), std::end(header), falseFrame.begin());
  const Loaded loaded = loadBytes(joined({&falseFrame, &audio}));
  EXPECT_EQ(loaded.sampleRate, 44100);
  EXPECT_EQ(framesOf(loaded), framesOf(clean));
  EXPECT_TRUE(loaded.samples == clean.samples);
}

TEST(StreamStart, AFrameUnconfirmedByItsNextHeaderIsStillDecodedWhenNoneIsConfirmed) {
  // One frame and 8 zero bytes: no header confirms it, and libmad's own sync finds it.
  Bytes file(readFileBytes(testDataPath(kPlainFile)));
  file.resize(frameOffsets(file)[1]);
  const ReferenceDecode reference = referenceDecode(file);
  file.insert(file.end(), 8, 0);
  EXPECT_EQ(framesOf(loadBytes(file)), static_cast<std::int32_t>(reference.samples[0].size()));
}

TEST(StreamEnd, AFileCutShortOfItsCountKeepsEveryFrameItHas) {
  const Bytes whole = readFileBytes(testDataPath(kLameFile));
  const Loaded clean = loadBytes(whole);
  const std::vector<std::size_t> offsets = frameOffsets(whole);
  ASSERT_EQ(offsets.size(), 117u);
  const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(offsets[107]));  // 10 frames less
  const Loaded loaded = loadBytes(cut);
  ASSERT_EQ(framesOf(loaded), 121007);  // mpg123 and ffmpeg: 106 x 1152 - 1105, nothing trimmed at the end
  ASSERT_FALSE(loaded.lengths.empty());
  EXPECT_EQ(loaded.lengths.front(), 132300) << "the count's length until the file ends";
  EXPECT_EQ(loaded.lengths.back(), 121007);
  for (int c = 0; c < 2; ++c) {
    EXPECT_TRUE(std::equal(loaded.samples[c].begin(), loaded.samples[c].end(), clean.samples[c].begin()));
  }
}

TEST(StreamEnd, TheCountTrimsOnlyWhereTheFileReallyEnds) {
  const Bytes whole = readFileBytes(testDataPath(kLameFile));
  const Loaded clean = loadBytes(whole);
  struct Case {
    std::uint32_t count;
    std::int32_t mpg123Frames;
  };
  // A count beyond the file is a file cut short; a count below it still ends on the padding.
  for (const Case c : {Case{200, 132527}, Case{117, 132527}, Case{115, 132300}, Case{100, 132300}}) {
    SCOPED_TRACE("count " + std::to_string(c.count));
    Bytes file = whole;
    setFrameCount(file, c.count);
    const Loaded loaded = loadBytes(file);
    ASSERT_EQ(framesOf(loaded), c.mpg123Frames);
    EXPECT_TRUE(std::equal(loaded.samples[0].begin(), loaded.samples[0].begin() + 132300, clean.samples[0].begin()));
  }
}

// An Info frame without the frame-count field: the length is estimated and only the start is
// trimmed, as ffmpeg does (mpg123, without a count, trims nothing: 133,632).
TEST(StreamEnd, AnInfoFrameWithoutACountTrimsOnlyTheStart) {
  const Bytes whole = readFileBytes(testDataPath(kLameFile));
  const Loaded clean = loadBytes(whole);
  Bytes file(whole.begin(), whole.begin() + 43);
  file.push_back(0x0E);  // flags: bytes, table and quality, no frame count
  file.insert(file.end(), whole.begin() + 48, whole.begin() + 417);
  file.insert(file.end(), 4, 0);  // the frame keeps its size
  file.insert(file.end(), whole.begin() + 417, whole.end());
  ASSERT_EQ(file.size(), whole.size());
  const Loaded loaded = loadBytes(file);
  ASSERT_EQ(framesOf(loaded), 132527);
  EXPECT_TRUE(std::equal(clean.samples[0].begin(), clean.samples[0].end(), loaded.samples[0].begin()));
}

}  // namespace
}  // namespace vintrove::test
