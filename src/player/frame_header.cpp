#include "player/frame_header.h"

namespace vintrove {

namespace {

constexpr std::int32_t kHeaderBytes = 4;

// kbit/s by [MPEG-1 or not][layer - 1][index]; index 15 is reserved.
constexpr std::int32_t kBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
constexpr std::int32_t kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

}  // namespace

bool readFrameHeader(const unsigned char* bytes, std::int32_t size, FrameHeader& header) {
  if (bytes == nullptr || size < kHeaderBytes || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return false;
  const int versionBits = (bytes[1] >> 3) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  const int layerBits = (bytes[1] >> 1) & 3;    // 0 reserved, 1 layer III .. 3 layer I
  const int bitRateIndex = bytes[2] >> 4;
  const int rateIndex = (bytes[2] >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || bitRateIndex == 15 || rateIndex == 3) return false;
  header.version = versionBits == 3 ? FrameHeader::Version::kMpeg1
                   : versionBits == 2 ? FrameHeader::Version::kMpeg2
                                      : FrameHeader::Version::kMpeg25;
  header.layer = 4 - layerBits;
  header.crc = (bytes[1] & 1) == 0;
  header.mono = (bytes[3] >> 6) == 3;
  const int versionRow = static_cast<int>(header.version);
  header.sampleRate = kSampleRates[versionRow][rateIndex];
  header.bitRate = kBitRates[header.mpeg1() ? 0 : 1][header.layer - 1][bitRateIndex] * 1000;
  const std::int32_t padding = (bytes[2] >> 1) & 1;
  if (header.bitRate == 0) {
    header.frameBytes = 0;
  } else if (header.layer == 1) {
    header.frameBytes = (12 * header.bitRate / header.sampleRate + padding) * 4;
  } else {
    const std::int32_t slots = header.layer == 3 && !header.mpeg1() ? 72 : 144;
    header.frameBytes = static_cast<std::int32_t>(std::int64_t{slots} * header.bitRate / header.sampleRate) + padding;
  }
  return true;
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate &&
         a.freeFormat() == b.freeFormat();
}

}  // namespace vintrove
