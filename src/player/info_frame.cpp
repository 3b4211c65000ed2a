#include "player/info_frame.h"

#include <cstring>

#include "player/frame_header.h"

namespace vintrove {

namespace {

constexpr std::int32_t kHeaderBytes = 4;
constexpr std::int32_t kCrcBytes = 2;
constexpr std::int32_t kVbriOffset = 36;
constexpr std::int32_t kTocBytes = 100;
constexpr std::int32_t kLameNameBytes = 9;
// From the start of the LAME tag: its name, then revision, lowpass, peak, two gains, flags and
// bit rate (12 bytes) before the delay and padding.
constexpr std::int32_t kLameDelayOffset = kLameNameBytes + 12;

enum XingFlags : std::uint32_t { kFrames = 1, kBytes = 2, kToc = 4, kQuality = 8 };

std::uint32_t readBig32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

std::int32_t samplesPerFrame(const FrameHeader& header) {
  if (header.layer == 1) return 384;
  if (header.layer == 3 && !header.mpeg1()) return 576;
  return 1152;
}

std::int32_t sideInfoBytes(const FrameHeader& header) {
  if (header.mpeg1()) return header.mono ? 17 : 32;
  return header.mono ? 9 : 17;
}

bool fits(std::int32_t size, std::int32_t offset, std::int32_t bytes) {
  return offset >= 0 && bytes >= 0 && offset <= size && bytes <= size - offset;
}

bool isXingMagic(const unsigned char* bytes) {
  return std::memcmp(bytes, "Xing", 4) == 0 || std::memcmp(bytes, "Info", 4) == 0;
}

// Names LAME and ffmpeg write at the start of their tag; other encoders' bytes there are not a
// promise about delay and padding.
bool isLameName(const unsigned char* bytes) {
  return std::memcmp(bytes, "LAME", 4) == 0 || std::memcmp(bytes, "Lavf", 4) == 0 ||
         std::memcmp(bytes, "Lavc", 4) == 0;
}

bool readXing(const unsigned char* frame, std::int32_t size, std::int32_t at, InfoFrame& info) {
  if (!fits(size, at, 8) || !isXingMagic(frame + at)) return false;
  const std::uint32_t flags = readBig32(frame + at + 4);
  std::int32_t next = at + 8;
  if (flags & kFrames) {
    if (!fits(size, next, 4)) return false;
    info.frames = readBig32(frame + next);
    next += 4;
  }
  if (flags & kBytes) next += 4;
  if (flags & kToc) next += kTocBytes;
  if (flags & kQuality) next += 4;
  info.kind = InfoFrame::Kind::kXing;
  if (fits(size, next, kLameDelayOffset + 3) && isLameName(frame + next)) {
    const unsigned char* packed = frame + next + kLameDelayOffset;
    info.hasLameTag = true;
    info.encoderDelay = (packed[0] << 4) | (packed[1] >> 4);
    info.encoderPadding = ((packed[1] & 0x0F) << 8) | packed[2];
  }
  return true;
}

bool readVbri(const unsigned char* frame, std::int32_t size, InfoFrame& info) {
  if (!fits(size, kVbriOffset, 18) || std::memcmp(frame + kVbriOffset, "VBRI", 4) != 0) return false;
  info.kind = InfoFrame::Kind::kVbri;
  info.frames = readBig32(frame + kVbriOffset + 14);
  return true;
}

}  // namespace

InfoFrame readInfoFrame(const unsigned char* frame, std::int32_t frameBytes) {
  InfoFrame info;
  FrameHeader header;
  if (!readFrameHeader(frame, frameBytes, header)) return info;
  info.samplesPerFrame = samplesPerFrame(header);
  const std::int32_t xingAt = kHeaderBytes + sideInfoBytes(header);
  const bool found = readXing(frame, frameBytes, xingAt, info) ||
                     (header.crc && readXing(frame, frameBytes, xingAt + kCrcBytes, info)) ||
                     readVbri(frame, frameBytes, info);
  if (!found) return InfoFrame{};
  // Delay and padding only mean what gapless players make of them for layer III.
  if (header.layer != 3) {
    info.hasLameTag = false;
    info.encoderDelay = info.encoderPadding = 0;
  }
  return info;
}

}  // namespace vintrove
