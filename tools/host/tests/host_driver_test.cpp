// The driver's pure parts: the PNG encoder read back by an independent stored-block reader, the
// float WAV header, the events record the plug-in reads, and path conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "effect_session.h"
#include "png_writer.h"
#include "wav_writer.h"

namespace vintrove::testhost {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t bigEndian32(const Bytes& b, std::size_t at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
         (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

std::uint32_t littleEndian32(const Bytes& b, std::size_t at) {
  return b[at] | (static_cast<std::uint32_t>(b[at + 1]) << 8) | (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint32_t littleEndian16(const Bytes& b, std::size_t at) {
  return b[at] | (static_cast<std::uint32_t>(b[at + 1]) << 8);
}

// Bit by bit, without a table: a second way to the same CRC.
std::uint32_t referenceCrc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
  }
  return ~crc;
}

// Reduced at every byte: a second way to the same checksum.
std::uint32_t referenceAdler(const Bytes& data) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string tempPath(const char* name) { return testing::TempDir() + name; }

TEST(Checksums, KnownValues) {
  const char* digits = "123456789";
  EXPECT_EQ(crc32(reinterpret_cast<const std::uint8_t*>(digits), 9), 0xCBF43926U);
  const char* word = "Wikipedia";
  EXPECT_EQ(adler32(reinterpret_cast<const std::uint8_t*>(word), 9), 0x11E60398U);
  EXPECT_EQ(adler32(nullptr, 0), 1U);
}

TEST(Checksums, AdlerOfLongRunsMatchesAByteByByteSum) {
  // All 0xFF is the worst case for the sums between reductions.
  Bytes ones(200000, 0xFF);
  EXPECT_EQ(adler32(ones.data(), ones.size()), referenceAdler(ones));
  Bytes ramp(70001);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i * 7 + 3);
  EXPECT_EQ(adler32(ramp.data(), ramp.size()), referenceAdler(ramp));
}

struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Bytes raw;  // the filtered rows
  std::size_t storedBlocks = 0;
};

// Reads back what encodePng writes, checking every field on the way: chunk order and CRCs,
// the zlib header, each stored block's length and its complement, the final-block bit, Adler-32.
testing::AssertionResult readPng(const Bytes& png, DecodedPng& out) {
  const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0) return testing::AssertionFailure() << "signature";
  std::size_t at = 8;
  std::vector<std::string> types;
  Bytes zlib;
  while (at + 12 <= png.size()) {
    const std::uint32_t length = bigEndian32(png, at);
    if (at + 12 + length > png.size()) return testing::AssertionFailure() << "chunk overruns the file";
    const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
    const std::uint32_t crc = bigEndian32(png, at + 8 + length);
    if (crc != referenceCrc(&png[at + 4], length + 4)) return testing::AssertionFailure() << "CRC of " << type;
    types.push_back(type);
    if (type == "IHDR") {
      if (length != 13) return testing::AssertionFailure() << "IHDR length " << length;
      out.width = bigEndian32(png, at + 8);
      out.height = bigEndian32(png, at + 12);
      const Bytes rest(png.begin() + static_cast<std::ptrdiff_t>(at + 16), png.begin() + static_cast<std::ptrdiff_t>(at + 21));
      if (rest != Bytes{8, 2, 0, 0, 0}) return testing::AssertionFailure() << "IHDR depth/type/methods";
    } else if (type == "IDAT") {
      zlib.insert(zlib.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                  png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    }
    at += 12 + length;
  }
  if (at != png.size()) return testing::AssertionFailure() << "bytes after the last chunk";
  if (types != std::vector<std::string>{"IHDR", "IDAT", "IEND"}) return testing::AssertionFailure() << "chunk order";

  if (zlib.size() < 6 || zlib[0] != 0x78 || ((zlib[0] << 8) | zlib[1]) % 31 != 0 || (zlib[1] & 0x20) != 0) {
    return testing::AssertionFailure() << "zlib header";
  }
  std::size_t z = 2;
  bool final = false;
  while (!final) {
    if (z + 5 > zlib.size()) return testing::AssertionFailure() << "stored block header cut";
    if ((zlib[z] & 0x06) != 0) return testing::AssertionFailure() << "not a stored block";
    final = (zlib[z] & 1) != 0;
    const std::uint32_t len = littleEndian16(zlib, z + 1);
    const std::uint32_t nlen = littleEndian16(zlib, z + 3);
    if ((len ^ 0xFFFFU) != nlen) return testing::AssertionFailure() << "NLEN is not the complement of LEN";
    if (z + 5 + len > zlib.size()) return testing::AssertionFailure() << "stored block overruns";
    out.raw.insert(out.raw.end(), zlib.begin() + static_cast<std::ptrdiff_t>(z + 5),
                   zlib.begin() + static_cast<std::ptrdiff_t>(z + 5 + len));
    ++out.storedBlocks;
    z += 5 + len;
    if (!final && len != kStoredBlockMax) return testing::AssertionFailure() << "short block before the last";
  }
  if (z + 4 != zlib.size()) return testing::AssertionFailure() << "zlib stream length";
  if (bigEndian32(zlib, z) != referenceAdler(out.raw)) return testing::AssertionFailure() << "Adler-32";
  return testing::AssertionSuccess();
}

RgbImage patternImage(std::int32_t width, std::int32_t height) {
  RgbImage image(width, height);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x * 3 + y);
      p[1] = static_cast<std::uint8_t>(y * 5);
      p[2] = static_cast<std::uint8_t>(x ^ y);
    }
  }
  return image;
}

void expectRoundTrip(const RgbImage& image, std::size_t expectedBlocks) {
  DecodedPng decoded;
  ASSERT_TRUE(readPng(encodePng(image), decoded));
  EXPECT_EQ(decoded.width, static_cast<std::uint32_t>(image.width));
  EXPECT_EQ(decoded.height, static_cast<std::uint32_t>(image.height));
  EXPECT_EQ(decoded.storedBlocks, expectedBlocks);
  const std::size_t row = static_cast<std::size_t>(image.width) * 3;
  ASSERT_EQ(decoded.raw.size(), (row + 1) * static_cast<std::size_t>(image.height));
  for (std::int32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* line = decoded.raw.data() + (row + 1) * static_cast<std::size_t>(y);
    ASSERT_EQ(line[0], 0) << "filter of row " << y;
    ASSERT_EQ(std::memcmp(line + 1, image.pixel(0, y), row), 0) << "pixels of row " << y;
  }
}

TEST(PngWriter, OnePixelIsOneFinalStoredBlock) {
  RgbImage image(1, 1);
  image.pixel(0, 0)[0] = 0x12;
  image.pixel(0, 0)[1] = 0x34;
  image.pixel(0, 0)[2] = 0x56;
  expectRoundTrip(image, 1);
}

TEST(PngWriter, EditorSizedPictureRoundTrips) { expectRoundTrip(patternImage(256, 84), 1); }

TEST(PngWriter, DataLongerThanOneBlockIsSplitAtTheBlockLimit) {
  // (200 x 3 + 1) x 120 = 72120 bytes: one full block and one of 6585.
  expectRoundTrip(patternImage(200, 120), 2);
  // Exactly two full blocks: (3 x 10922 + 1) x 4 = 131070 bytes.
  expectRoundTrip(patternImage(10922, 4), 2);
}

TEST(PngWriter, RefusesImagesWithoutPixelsOrWithTheWrongBufferSize) {
  EXPECT_TRUE(encodePng(RgbImage()).empty());
  RgbImage wrong(4, 4);
  wrong.rgb.pop_back();
  EXPECT_TRUE(encodePng(wrong).empty());
}

// Sizes that wrap 32 bits: 65536 x 21846 x 3 is 131,072 modulo 2^32, which a buffer of that
// size would match; and images whose data passes the format's 2^31 - 1 chunk limit.
TEST(PngWriter, SizesAreWorkedOutWithoutWrappingAndHeldToTheChunkLimit) {
  RgbImage lying;
  lying.width = 65536;
  lying.height = 21846;
  lying.rgb.resize(131072);
  EXPECT_TRUE(encodePng(lying).empty());
  std::uint64_t rows = 0, idat = 0;
  EXPECT_FALSE(pngDataSizes(65536, 21846, rows, idat));
  EXPECT_EQ(rows, 65536ULL * 3 * 21846 + 21846);
  // 2^31 - 1 bytes of IDAT hold a 32768 x 21843 image, and not one more row.
  EXPECT_TRUE(pngDataSizes(32768, 21843, rows, idat));
  EXPECT_EQ(idat, 2 + rows + 5 * ((rows + kStoredBlockMax - 1) / kStoredBlockMax) + 4);
  EXPECT_FALSE(pngDataSizes(32768, 21844, rows, idat));
  EXPECT_FALSE(pngDataSizes(0x7FFFFFFF, 0x7FFFFFFF, rows, idat));
  EXPECT_FALSE(pngDataSizes(-1, 10, rows, idat));
  // What fits is encoded exactly as before.
  EXPECT_TRUE(pngDataSizes(256, 84, rows, idat));
  EXPECT_EQ(rows, 256u * 3 * 84 + 84);
}

TEST(PngWriter, WritesTheEncodedBytesToTheFile) {
  const std::string path = tempPath("host_driver_test.png");
  const RgbImage image = patternImage(17, 9);
  ASSERT_TRUE(writePng(path, image));
  EXPECT_EQ(readFile(path), encodePng(image));
  std::remove(path.c_str());
}

TEST(WavWriter, HeaderFieldsAndSamplesOfAFloatStereoFile) {
  const std::string path = tempPath("host_driver_test.wav");
  const float left1[3] = {0.5f, -1.0f, 1.0e-30f};
  const float right1[3] = {-0.0f, 0.25f, 3.0f};
  const float left2[2] = {0.125f, -0.75f};
  const float right2[2] = {1.0f / 3.0f, -2.5e-8f};
  {
    WavWriter wav(path, 48000);
    ASSERT_TRUE(wav.ok());
    ASSERT_TRUE(wav.writeStereo(left1, right1, 3));
    ASSERT_TRUE(wav.writeStereo(left2, right2, 2));
    EXPECT_EQ(wav.framesWritten(), 5U);
    EXPECT_TRUE(wav.close());
  }
  const Bytes file = readFile(path);
  std::remove(path.c_str());
  ASSERT_EQ(file.size(), WavWriter::kHeaderBytes + 5 * 8);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(littleEndian32(file, 4), file.size() - 8);
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(littleEndian32(file, 16), 18U);
  EXPECT_EQ(littleEndian16(file, 20), 3U);   // IEEE float
  EXPECT_EQ(littleEndian16(file, 22), 2U);   // channels
  EXPECT_EQ(littleEndian32(file, 24), 48000U);
  EXPECT_EQ(littleEndian32(file, 28), 48000U * 8);
  EXPECT_EQ(littleEndian16(file, 32), 8U);   // block align
  EXPECT_EQ(littleEndian16(file, 34), 32U);  // bits
  EXPECT_EQ(littleEndian16(file, 36), 0U);   // extension size
  EXPECT_EQ(std::string(file.begin() + 38, file.begin() + 42), "fact");
  EXPECT_EQ(littleEndian32(file, 42), 4U);
  EXPECT_EQ(littleEndian32(file, 46), 5U);
  EXPECT_EQ(std::string(file.begin() + 50, file.begin() + 54), "data");
  EXPECT_EQ(littleEndian32(file, 54), 40U);

  const float expected[10] = {left1[0], right1[0], left1[1], right1[1], left1[2],
                              right1[2], left2[0], right2[0], left2[1], right2[1]};
  for (std::size_t i = 0; i < 10; ++i) {
    std::uint32_t want = 0;
    std::memcpy(&want, &expected[i], 4);
    EXPECT_EQ(littleEndian32(file, WavWriter::kHeaderBytes + 4 * i), want) << "sample " << i;
  }
}

TEST(WavWriter, DestructionFinishesTheSizes) {
  const std::string path = tempPath("host_driver_test_unclosed.wav");
  {
    WavWriter wav(path, 44100);
    const float samples[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    ASSERT_TRUE(wav.writeStereo(samples, samples, 4));
  }
  const Bytes file = readFile(path);
  std::remove(path.c_str());
  ASSERT_EQ(file.size(), WavWriter::kHeaderBytes + 32);
  EXPECT_EQ(littleEndian32(file, 4), file.size() - 8);
  EXPECT_EQ(littleEndian32(file, 46), 4U);
  EXPECT_EQ(littleEndian32(file, 54), 32U);
}

TEST(WavWriter, AFileThatCannotBeCreatedIsNotOk) {
  WavWriter wav(tempPath("no_such_folder/x/y.wav"), 44100);
  EXPECT_FALSE(wav.ok());
  const float sample = 0.0f;
  EXPECT_FALSE(wav.writeStereo(&sample, &sample, 1));
  EXPECT_FALSE(wav.close());
}

TEST(MidiEventList, LaysOutTheEventsRecordThePlugInReads) {
  MidiMessage late = MidiMessage::noteOn(61, 7, 3);
  late.deltaFrames = 17;
  MidiEventList list({MidiMessage::noteOn(60, 100, 4), late, MidiMessage::noteOff(60)});
  const auto* record = static_cast<const std::uint8_t*>(list.record());
  std::int32_t count = 0;
  std::memcpy(&count, record, 4);
  EXPECT_EQ(count, 3);
  const std::uint8_t expectedData[3][3] = {{0x94, 60, 100}, {0x93, 61, 7}, {0x80, 60, 0}};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::uint8_t* event = nullptr;
    // The pointers follow the count and a pointer-sized reserved word: offset 8 or 16.
    std::memcpy(&event, record + 2 * sizeof(void*) + i * sizeof(void*), sizeof(void*));
    ASSERT_EQ(static_cast<const void*>(event), static_cast<const void*>(&list.event(i)));
    std::int32_t fields[6];
    std::memcpy(fields, event, sizeof fields);
    EXPECT_EQ(fields[0], 1) << "type";
    EXPECT_EQ(fields[1], 32) << "byte size";
    EXPECT_EQ(fields[2], i == 1 ? 17 : 0) << "delta frames";
    EXPECT_EQ(event[24], expectedData[i][0]);
    EXPECT_EQ(event[25], expectedData[i][1]);
    EXPECT_EQ(event[26], expectedData[i][2]);
    EXPECT_EQ(event[27], 0);
  }
}

TEST(WindowsPath, UnixPathsGoThroughDriveZ) {
  EXPECT_EQ(windowsPath("/work/media/a b.mp3"), "Z:\\work\\media\\a b.mp3");
  EXPECT_EQ(windowsPath("C:/music/x.mp2"), "C:\\music\\x.mp2");
  EXPECT_EQ(windowsPath("relative/x.mp1"), "relative\\x.mp1");
}

}  // namespace
}  // namespace vintrove::testhost
