// Files as encoders and shops make them: the store holds what mpg123 and ffmpeg decode, to the
// frame (numbers measured once with those tools, tests/data/README.md); tags with cover pictures
// are not audio; junk and damage add nothing and repeat nothing; mixed channel counts; the
// overview spans the exact length.
#include <gtest/gtest.h>
#include <mad.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame_writer.h"
#include "known_decodes.h"
#include "layer1_writer.h"
#include "loaded_file.h"
#include "loader_test_support.h"
#include "player/cluster_sample_loader.h"
#include "player/overview.h"
#include "reference_decode.h"
#include "tag_writer.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

// The store's first `count` frames are the plain libmad decode from `offset` on, bit for bit.
void expectStretchOfReference(const Loaded& loaded, const ReferenceDecode& reference, std::int32_t offset,
                              std::int32_t count) {
  ASSERT_EQ(loaded.samples.size(), 2u);
  ASSERT_GE(static_cast<std::int32_t>(reference.samples[0].size()), offset + count);
  for (int c = 0; c < 2; ++c) {
    const auto& source = reference.samples[reference.channels > 1 ? c : 0];
    EXPECT_TRUE(std::equal(loaded.samples[c].begin(), loaded.samples[c].begin() + count, source.begin() + offset))
        << "channel " << c;
  }
}

template <class Loader>
class KnownFiles : public ::testing::Test {};
using LoaderTypes = ::testing::Types<ClusterSampleLoader, SampleLoader>;
TYPED_TEST_SUITE(KnownFiles, LoaderTypes);

TYPED_TEST(KnownFiles, StoreHoldsWhatMpg123DecodesToTheFrame) {
  for (const KnownDecode& known : kKnownDecodes) {
    SCOPED_TRACE(known.name);
    const std::string path = testDataPath(known.name);
    const Loaded loaded = loadWhole<TypeParam>(path);
    ASSERT_EQ(framesOf(loaded), known.mpg123Frames);
    ASSERT_FALSE(loaded.lengths.empty());
    EXPECT_EQ(loaded.lengths.back(), known.mpg123Frames);
    if (known.hasInfoFrame) {
      EXPECT_EQ(loaded.lengths.front(), known.mpg123Frames) << "the first length is exact";
    }
    expectStretchOfReference(loaded, referenceDecodeFile(path), known.libmadOffset, known.mpg123Frames);
    for (int i = 0; i < 2; ++i) {
      const std::size_t frame = i == 0 ? 0 : 1000;
      EXPECT_NEAR(loaded.samples[0][frame], known.mpg123Samples[2 * i], 5e-6) << "left at " << frame;
      EXPECT_NEAR(loaded.samples[1][frame], known.mpg123Samples[2 * i + 1], 5e-6) << "right at " << frame;
    }
  }
}

// Real frames of another rate and bit rate repeated to the given size: a "cover picture" that a
// decoder reading the tag as audio would play.
Bytes pictureOfFrames(std::size_t size) {
  const Bytes frames = readFileBytes(testDataPath("l3_48k_stereo_320k.mp3"));
  Bytes picture{0xFF, 0xD8, 0xFF, 0xE0};  // a JPEG starts with marker bytes that are sync words
  while (picture.size() < size) picture.insert(picture.end(), frames.begin(), frames.end());
  picture.resize(size);
  return picture;
}

TEST(TaggedFiles, ACoverPictureInFrontAndTagsBehindAreNotAudio) {
  const std::string name = "l3_44k1_stereo_128k.mp3";
  const Bytes audio = readFileBytes(testDataPath(name));
  const Loaded plain = loadWhole(testDataPath(name));
  ASSERT_EQ(framesOf(plain), 132300);

  Bytes tagged = id3v2Tag(3, id3v23BodyWithPicture(pictureOfFrames(300000)));
  appendBytes(tagged, id3v2Tag(4, Bytes(200, 0), true));
  appendBytes(tagged, audio);
  appendBytes(tagged, apeTag(true));
  appendBytes(tagged, lyrics3v2Tag());
  appendBytes(tagged, id3v1Tag());
  const Loaded loaded = loadBytes(tagged);
  EXPECT_EQ(loaded.samples, plain.samples);
  EXPECT_EQ(loaded.lengths.front(), 132300);
  EXPECT_EQ(loaded.sampleRate, 44100);
  EXPECT_EQ(loaded.bitRate, 128000);
}

TEST(TaggedFiles, AVbriFrameGivesTheExactLengthAndIsNotStored) {
  const Bytes audio = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  const Loaded plain = loadBytes(audio);
  Bytes file = vbriFrame(audio, 116);
  appendBytes(file, audio);
  const Loaded loaded = loadBytes(file);
  ASSERT_FALSE(loaded.lengths.empty());
  EXPECT_EQ(loaded.lengths.front(), 116 * 1152);
  EXPECT_EQ(loaded.samples, plain.samples) << "nothing trimmed, nothing of the VBRI frame stored";
}

TEST(TaggedFiles, TheEstimateCountsOnlyTheAudio) {
  // No info frame: the first length is estimated from the bytes, which must not include the tag.
  const Bytes audio = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  Bytes picture(300000);
  std::mt19937 random(3);
  for (auto& b : picture) b = static_cast<unsigned char>(random());
  Bytes tagged = id3v2Tag(4, id3v23BodyWithPicture(picture));
  appendBytes(tagged, audio);
  const Loaded loaded = loadBytes(tagged);
  ASSERT_FALSE(loaded.lengths.empty());
  EXPECT_NEAR(loaded.lengths.front(), 133632, 133632 * 0.01);
  EXPECT_EQ(loaded.bitRate, 128000);
  EXPECT_EQ(framesOf(loaded), 133632);
}

// Pseudo-random binary data: what archives, pictures and broken downloads look like.
Bytes junk(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

TEST(DamagedFiles, TrailingJunkChangesNeitherTheRateNorTheSamples) {
  const Bytes audio = readFileBytes(testDataPath("l3_22k05_mono_64k.mp3"));
  const Loaded clean = loadBytes(audio);
  ASSERT_EQ(framesOf(clean), 45504);
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Bytes file = audio;
    appendBytes(file, junk(20000, seed));
    const Loaded loaded = loadBytes(file);
    EXPECT_EQ(loaded.sampleRate, 22050);
    EXPECT_EQ(loaded.channels, 1);
    EXPECT_EQ(loaded.samples, clean.samples);
  }
}

// No 1152-frame block of the store is the block before it again.
void expectNoRepeatedBlock(const Loaded& loaded) {
  const auto& left = loaded.samples[0];
  for (std::size_t at = 1152; at + 1152 <= left.size(); at += 1152) {
    ASSERT_FALSE(std::equal(left.begin() + at, left.begin() + at + 1152, left.begin() + at - 1152))
        << "block at frame " << at << " repeats the one before";
  }
}

TEST(DamagedFiles, JunkBetweenFramesAddsNothingAndRepeatsNothing) {
  const Bytes audio = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  const Loaded clean = loadBytes(audio);
  const std::vector<std::size_t> offsets = frameOffsets(audio);
  ASSERT_GE(offsets.size(), 116u);
  Bytes file(audio.begin(), audio.begin() + offsets[58]);
  appendBytes(file, junk(20000, 11));
  file.insert(file.end(), audio.begin() + offsets[58], audio.end());
  const Loaded loaded = loadBytes(file);

  ASSERT_GT(framesOf(loaded), 100 * 1152);
  EXPECT_LE(framesOf(loaded), framesOf(clean));
  expectNoRepeatedBlock(loaded);
  // Before the junk, and well after it, the frames are the clean file's.
  const std::size_t head = 50 * 1152, tail = 50 * 1152;
  EXPECT_TRUE(std::equal(loaded.samples[0].begin(), loaded.samples[0].begin() + head, clean.samples[0].begin()));
  EXPECT_TRUE(std::equal(loaded.samples[0].end() - tail, loaded.samples[0].end(), clean.samples[0].end() - tail));
}

TEST(DamagedFiles, JunkAtTheEndAddsNoFrame) {
  const Bytes audio = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  const Loaded clean = loadBytes(audio);
  for (unsigned seed : {5u, 6u, 7u}) {
    Bytes file = audio;
    appendBytes(file, junk(20000, seed));
    const Loaded loaded = loadBytes(file);
    EXPECT_EQ(loaded.samples, clean.samples) << "seed " << seed;
  }
}

TEST(DamagedFiles, TheGarbageFileStoresEachFrameOnce) {
  const Loaded loaded = loadWhole(testDataPath("l3_garbage.mp3"));
  // libmad decodes 112 of its frames (tests/data/README.md); nothing more is stored.
  EXPECT_EQ(framesOf(loaded), 112 * 1152);
  expectNoRepeatedBlock(loaded);
}

// The layer I stream with a CRC word after each header, the frames keeping their size (their last
// two bytes, which the writer's single subband leaves unused, make room); the word is the right
// one, or 0.
Bytes withCrcWords(const Bytes& stream, int channels, bool right) {
  const std::vector<std::size_t> offsets = frameOffsets(stream);
  Bytes out;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const std::size_t begin = offsets[i];
    const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : stream.size();
    Bytes frame(stream.begin() + static_cast<std::ptrdiff_t>(begin), stream.begin() + static_cast<std::ptrdiff_t>(end));
    frame[1] &= 0xFE;  // protection_bit 0: protected
    const std::uint16_t crc =
        mpegCrc(frame.data() + 4, 4 * 32 * channels, mpegCrc(frame.data() + 2, 16));  // header, then allocations
    const unsigned char word[2] = {static_cast<unsigned char>(right ? crc >> 8 : 0),
                                   static_cast<unsigned char>(right ? crc & 0xFF : 0)};
    frame.insert(frame.begin() + 4, word, word + 2);
    frame.resize(frame.size() - 2);
    appendBytes(out, frame);
  }
  return out;
}

// A CRC word guards its frame's header and side information: with the right word the frames
// decode as the same frames without CRC; a frame whose word does not match is damaged and dropped
// (mpg123 and ffmpeg decode it anyway, and damaged side information can decode as noise).
TEST(DamagedFiles, ACrcWordGuardsItsFrame) {
  for (const int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const Bytes plain = writeLayer1(44100, 192, channels, 100);
    const Loaded clean = loadBytes(plain);
    ASSERT_EQ(framesOf(clean), 100 * 384);
    const Loaded checked = loadBytes(withCrcWords(plain, channels, true));
    EXPECT_EQ(checked.samples, clean.samples) << "right CRC words";
    const Loaded wrong = loadBytes(withCrcWords(plain, channels, false));
    EXPECT_EQ(framesOf(wrong), 0) << "CRC words of 0";
  }
}

void putLittle(Bytes& to, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) to.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A RIFF WAVE file: a fmt chunk of the given format tag and body, a fact chunk, the data chunk
// (its size as given, the data's own when 0) and a LIST chunk after it.
Bytes waveFile(std::uint16_t format, const Bytes& formatRest, const Bytes& data, std::uint32_t dataSize = 0) {
  Bytes body = {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  putLittle(body, static_cast<std::uint32_t>(2 + formatRest.size()), 4);
  putLittle(body, format, 2);
  appendBytes(body, formatRest);
  appendBytes(body, Bytes{'f', 'a', 'c', 't', 4, 0, 0, 0, 0, 0, 0, 0});
  appendBytes(body, Bytes{'d', 'a', 't', 'a'});
  putLittle(body, dataSize != 0 ? dataSize : static_cast<std::uint32_t>(data.size()), 4);
  appendBytes(body, data);
  if (data.size() % 2 != 0) body.push_back(0);
  appendBytes(body, Bytes{'L', 'I', 'S', 'T', 8, 0, 0, 0, 'I', 'N', 'F', 'O', 0xFF, 0xFB, 0x90, 0x64});
  Bytes file = {'R', 'I', 'F', 'F'};
  putLittle(file, static_cast<std::uint32_t>(body.size()), 4);
  appendBytes(file, body);
  return file;
}

// The samples of a wave file of 16-bit PCM hold byte pairs that read as frame headers (a quiet
// signal is full of 0xFF bytes), and libmad decodes some of them as frames of noise: these two
// seconds of noise 55 dB below full scale played 384 frames peaking at 6.3 (16 dB above full
// scale); a five-minute recording of quiet pink noise, 36 s of noise peaking at 8. They are no
// MPEG audio: ffmpeg's MP3 decoder finds no header there (mpg123 1.31.2 plays 1536 frames of
// noise); the loader stores nothing. A wave file of MPEG audio (format 0x55, as ACM encoders
// write it) is its data chunk: mpg123 and ffmpeg decode the 133,632 frames of the MP3 file in it,
// also when the data chunk claims more bytes than there are (as streaming writers leave it).
TEST(WaveFiles, PcmSamplesAreNoMpegAudioAndAnMpegWaveIsItsDataChunk) {
  std::mt19937 random(7);
  Bytes pcm;
  int value = 0;
  for (int i = 0; i < 2 * 44100; ++i) {
    value = std::clamp(value + static_cast<int>(random() % 17) - 8, -60, 60);
    putLittle(pcm, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)), 2);
  }
  Bytes pcmFormat;
  putLittle(pcmFormat, 2, 2);           // channels
  putLittle(pcmFormat, 44100, 4);       // rate
  putLittle(pcmFormat, 44100 * 4, 4);   // bytes a second
  putLittle(pcmFormat, 4, 2);           // block
  putLittle(pcmFormat, 16, 2);          // bits
  const Loaded noise = loadBytes(waveFile(1, pcmFormat, pcm), nullptr);
  EXPECT_EQ(framesOf(noise), 0);
  // The same samples big-endian in an AIFF file (COMM and SSND chunks) played 3456 frames of
  // noise; ffmpeg's MP3 decoder finds no header in it either.
  Bytes aiff = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'A', 'I', 'F', 'F', 'C', 'O', 'M', 'M', 0, 0, 0, 18,
                0, 2, 0, 1, 0x58, 0x88, 0, 16, 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0,
                'S', 'S', 'N', 'D'};
  const auto ssnd = static_cast<std::uint32_t>(pcm.size() + 8);
  for (int i = 3; i >= 0; --i) aiff.push_back(static_cast<unsigned char>(ssnd >> (8 * i)));
  aiff.insert(aiff.end(), 8, 0);
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    aiff.push_back(pcm[i + 1]);
    aiff.push_back(pcm[i]);
  }
  const auto form = static_cast<std::uint32_t>(aiff.size() - 8);
  for (int i = 0; i < 4; ++i) aiff[static_cast<std::size_t>(4 + i)] = static_cast<unsigned char>(form >> (24 - 8 * i));
  EXPECT_EQ(framesOf(loadBytes(aiff, nullptr)), 0) << "AIFF";

  const Bytes mp3 = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  const Loaded clean = loadBytes(mp3);
  ASSERT_EQ(framesOf(clean), 133632);
  Bytes mp3Format;
  for (const std::uint32_t v : {2u, 44100u, 16000u}) putLittle(mp3Format, v, v == 2 ? 2 : 4);
  for (const std::uint32_t v : {1u, 0u, 12u, 1u}) putLittle(mp3Format, v, 2);
  putLittle(mp3Format, 2, 4);
  for (const std::uint32_t v : {417u, 1u, 1393u}) putLittle(mp3Format, v, 2);
  for (const std::uint32_t dataSize : {0u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(dataSize);
    const Loaded wrapped = loadBytes(waveFile(0x55, mp3Format, mp3, dataSize));
    EXPECT_EQ(wrapped.samples, clean.samples);
  }
}

// Layer I frames of one rate, so that the stream is one stream with two channel counts.
TEST(MixedChannels, MonoFramesAfterStereoOnesFillBothChannels) {
  const Bytes stereo = writeLayer1(44100, 192, 2, 40);
  const Bytes mono = writeLayer1(44100, 192, 1, 40, Layer1Signal{{7, 7}, 0.4});
  Bytes joined = stereo;
  appendBytes(joined, mono);
  const Loaded loaded = loadBytes(joined);
  ASSERT_EQ(framesOf(loaded), 80 * 384);
  EXPECT_EQ(loaded.channels, 2);
  const ReferenceDecode monoAlone = referenceDecode(mono);
  // After two frames the synthesis filter holds nothing of the stereo part any more.
  for (std::size_t i = 42 * 384; i < loaded.samples[0].size(); ++i) {
    ASSERT_EQ(loaded.samples[0][i], monoAlone.samples[0][i - 40 * 384]) << i;
    ASSERT_EQ(loaded.samples[1][i], loaded.samples[0][i]) << i;
  }
}

TEST(MixedChannels, StereoFramesInAMonoStoreAreTheMeanOfTheirChannels) {
  const Bytes mono = writeLayer1(44100, 192, 1, 40);
  const Bytes stereo = writeLayer1(44100, 192, 2, 40, Layer1Signal{{5, 9}, 0.4});
  Bytes joined = mono;
  appendBytes(joined, stereo);
  const Loaded loaded = loadBytes(joined);
  ASSERT_EQ(framesOf(loaded), 80 * 384);
  EXPECT_EQ(loaded.channels, 1);
  const ReferenceDecode stereoAlone = referenceDecode(stereo);
  ASSERT_EQ(stereoAlone.channels, 2);
  for (std::size_t i = 42 * 384; i < loaded.samples[0].size(); ++i) {
    const std::size_t j = i - 40 * 384;
    const float mean = (stereoAlone.samples[0][j] + stereoAlone.samples[1][j]) * 0.5f;
    ASSERT_FLOAT_EQ(loaded.samples[0][i], mean) << i;
    ASSERT_EQ(loaded.samples[1][i], loaded.samples[0][i]);
  }
}

bool columnPainted(const std::vector<unsigned char>& pixels, int x) {
  for (int row = 0; row < kOverviewHeight; ++row) {
    const unsigned char* p = &pixels[static_cast<std::size_t>(row * kOverviewRowBytes + x * 3)];
    if (p[0] != 0 || p[1] != 0 || p[2] != 0) return true;
  }
  return false;
}

TEST(OverviewAtTheEnd, SpansTheExactLengthWhateverTheEstimateWas) {
  // Trailing junk makes the estimate too long: drawn against it, the bars would end early.
  Bytes file = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  appendBytes(file, junk(60000, 21));
  std::vector<unsigned char> pixels(kOverviewBytes, 0);
  const Loaded loaded = loadBytes(file, pixels.data());
  ASSERT_GT(loaded.lengths.front(), framesOf(loaded) * 2) << "the estimate counted the junk";
  for (int x = 0; x < kOverviewWidth; ++x) EXPECT_TRUE(columnPainted(pixels, x)) << "column " << x;

  // The same picture as one drawn at once against the exact length.
  std::vector<unsigned char> expected(kOverviewBytes, 0);
  struct Store {
    const Loaded& loaded;
    float sampleAt(int channel, std::int32_t index) const {
      return loaded.samples[static_cast<std::size_t>(channel)][static_cast<std::size_t>(index)];
    }
  } store{loaded};
  drawOverview(expected.data(), 0, framesOf(loaded), framesOf(loaded), 44100, framesOf(loaded), 2,
               SampleReader::of(store));
  EXPECT_EQ(pixels, expected);
}

}  // namespace
}  // namespace vintrove::test
