// An MPEG audio frame header read from its four bytes: version, layer, rates and the frame's size,
// for the search of a stream's first frame and the reading of an encoder's information frame.
// Headers a decoder cannot use (reserved version, layer, bit rate or sample rate) are refused.
#pragma once

#include <cstdint>

namespace vintrove {

struct FrameHeader {
  enum class Version { kMpeg1, kMpeg2, kMpeg25 };
  Version version = Version::kMpeg1;
  int layer = 0;              // 1, 2 or 3
  bool crc = false;           // a CRC word follows the header
  std::int32_t bitRate = 0;   // bit/s; 0 for free format
  std::int32_t sampleRate = 0;
  bool mono = false;
  std::int32_t frameBytes = 0;  // the whole frame; 0 for free format, whose size the header leaves open

  bool mpeg1() const { return version == Version::kMpeg1; }
  bool freeFormat() const { return bitRate == 0; }
};

// Reads the header at bytes (size bytes there); false when there is none.
bool readFrameHeader(const unsigned char* bytes, std::int32_t size, FrameHeader& header);

// Frames of one stream share version, layer, sample rate and whether they are free format.
bool sameStream(const FrameHeader& a, const FrameHeader& b);

}  // namespace vintrove
