// A frame header check of its own, independent of the plug-in's decoder: sync, version, layer,
// bit rate and sample rate indices, and the frame length that leads to the next header.
#include "mpeg_sniff.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace vintrove::testhost {
namespace {

struct FrameHeader {
  int version;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  int layer;    // 1, 2 or 3
  int sampleRateIndex;
  std::size_t length;
};

constexpr int kBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};
// The longest frame a header can describe: layer II at 160 kbit/s and 8 kHz (MPEG-2.5), padded.
constexpr std::size_t kLongestFrame = 2881;

// A header with a computable length (free-format frames have none and are not taken).
bool readHeader(const std::uint8_t* p, FrameHeader& header) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3;
  const int layerBits = (p[1] >> 1) & 3;
  const int bitRateIndex = p[2] >> 4;
  const int sampleRateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 || sampleRateIndex == 3) return false;
  const int layer = 4 - layerBits;
  const bool mpeg1 = version == 3;
  const long bitRate = kBitRates[mpeg1 ? 0 : 1][layer - 1][bitRateIndex] * 1000L;
  const long sampleRate = kSampleRates[sampleRateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const long padding = (p[2] >> 1) & 1;
  long length;
  if (layer == 1) {
    length = (12 * bitRate / sampleRate + padding) * 4;
  } else {
    length = (layer == 3 && !mpeg1 ? 72 : 144) * bitRate / sampleRate + padding;
  }
  header = {version, layer, sampleRateIndex, static_cast<std::size_t>(length)};
  return true;
}

// The size of an ID3v2 tag at the start (header, syncsafe size, optional footer), or 0.
std::size_t id3v2Size(const std::uint8_t* bytes, std::size_t size) {
  if (size < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return 0;
  }
  const std::size_t body = (static_cast<std::size_t>(bytes[6]) << 21) | (static_cast<std::size_t>(bytes[7]) << 14) |
                           (static_cast<std::size_t>(bytes[8]) << 7) | bytes[9];
  const std::size_t footer = (bytes[5] & 0x10) ? 10 : 0;
  return 10 + body + footer;
}

// Two agreeing headers, the first within the search window from `bytes` on.
bool findsFrames(const std::uint8_t* bytes, std::size_t size) {
  const std::size_t end = std::min(size, kMpegSniffWindow);
  for (std::size_t at = 0; at + 4 <= end; ++at) {
    FrameHeader first;
    if (!readHeader(bytes + at, first)) continue;
    const std::size_t next = at + first.length;
    FrameHeader second;
    if (next + 4 <= size && readHeader(bytes + next, second) && second.version == first.version &&
        second.layer == first.layer && second.sampleRateIndex == first.sampleRateIndex) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool holdsMpegAudio(const std::uint8_t* bytes, std::size_t size) {
  const std::size_t start = id3v2Size(bytes, size);
  return start < size && findsFrames(bytes + start, size - start);
}

FileVerdict sniffMpegFile(const std::string& path, std::string& error) {
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    error = std::strerror(errno);
    return FileVerdict::kCannotOpen;
  }
  // The tag is skipped, not read: only the search window after it (and one frame more) counts.
  std::uint8_t start[10] = {};
  const std::size_t tag = id3v2Size(start, std::fread(start, 1, sizeof start, file.get()));
  std::vector<std::uint8_t> bytes(kMpegSniffWindow + kLongestFrame);
  if (tag == 0) {
    std::rewind(file.get());
  } else if (tag > static_cast<std::size_t>(LONG_MAX) || std::fseek(file.get(), static_cast<long>(tag), SEEK_SET) != 0) {
    return FileVerdict::kNotMpegAudio;
  }
  const std::size_t filled = std::fread(bytes.data(), 1, bytes.size(), file.get());
  if (std::ferror(file.get())) {
    error = std::strerror(errno);
    return FileVerdict::kCannotOpen;
  }
  return findsFrames(bytes.data(), filled) ? FileVerdict::kMpegAudio : FileVerdict::kNotMpegAudio;
}

}  // namespace vintrove::testhost
