#include "player/audio_range.h"

#include <algorithm>
#include <cstring>

namespace vintrove {

namespace {

constexpr std::int32_t kId3v2HeaderSize = 10;
constexpr std::int32_t kId3v1Size = 128;
constexpr std::int32_t kApeFooterSize = 32;
constexpr std::int32_t kLyrics3EndSize = 15;  // six size digits and "LYRICS200"

bool startsWith(const unsigned char* data, std::int32_t size, const char* text) {
  const auto length = static_cast<std::int32_t>(std::strlen(text));
  return size >= length && std::memcmp(data, text, static_cast<std::size_t>(length)) == 0;
}

// ID3v2 sizes are "syncsafe": four bytes of seven bits each, the high bit always clear.
bool readSyncsafe(const unsigned char* bytes, std::int64_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (bytes[i] & 0x80) return false;
    value = (value << 7) | bytes[i];
  }
  return true;
}

std::uint32_t readLittle32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// "ID3" (header) or "3DI" (footer), version 2 to 4, a revision that is not 0xFF, a syncsafe size.
bool readId3v2Frame(const unsigned char* bytes, const char* magic, std::int64_t& bodySize,
                    bool& hasFooter) {
  if (std::memcmp(bytes, magic, 3) != 0) return false;
  const unsigned char version = bytes[3];
  if (version < 2 || version > 4 || bytes[4] == 0xFF) return false;
  if (!readSyncsafe(bytes + 6, bodySize)) return false;
  hasFooter = version == 4 && (bytes[5] & 0x10) != 0;
  return true;
}

std::int32_t apeTagSize(const unsigned char* data, std::int32_t size) {
  if (size < kApeFooterSize) return 0;
  const unsigned char* footer = data + size - kApeFooterSize;
  if (std::memcmp(footer, "APETAGEX", 8) != 0) return 0;
  // The tag size counts the items and the footer; a header of the same size may precede them.
  const std::uint32_t tagSize = readLittle32(footer + 12);
  const std::uint32_t flags = readLittle32(footer + 20);
  const std::uint64_t total =
      std::uint64_t{tagSize} + ((flags & 0x80000000u) != 0 ? kApeFooterSize : 0);
  if (tagSize < static_cast<std::uint32_t>(kApeFooterSize) || total > static_cast<std::uint64_t>(size)) {
    return 0;
  }
  return static_cast<std::int32_t>(total);
}

std::int32_t lyrics3v2Size(const unsigned char* data, std::int32_t size) {
  if (size < kLyrics3EndSize) return 0;
  const unsigned char* end = data + size - kLyrics3EndSize;
  if (std::memcmp(end + 6, "LYRICS200", 9) != 0) return 0;
  std::int32_t content = 0;  // from "LYRICSBEGIN" up to the size digits
  for (int i = 0; i < 6; ++i) {
    if (end[i] < '0' || end[i] > '9') return 0;
    content = content * 10 + (end[i] - '0');
  }
  const std::int64_t total = std::int64_t{content} + kLyrics3EndSize;
  if (total > size) return 0;
  const unsigned char* begin = data + size - total;
  if (!startsWith(begin, content, "LYRICSBEGIN")) return 0;
  return static_cast<std::int32_t>(total);
}

std::int32_t appendedId3v2Size(const unsigned char* data, std::int32_t size) {
  if (size < kId3v2HeaderSize) return 0;
  std::int64_t body = 0;
  bool hasFooter = false;
  if (!readId3v2Frame(data + size - kId3v2HeaderSize, "3DI", body, hasFooter) || !hasFooter) {
    return 0;
  }
  const std::int64_t total = body + 2 * kId3v2HeaderSize;
  return total <= size ? static_cast<std::int32_t>(total) : 0;
}

// Format tags of MPEG audio in a wave file: layer I or II, and layer III.
constexpr unsigned kWaveMpeg = 0x0050;
constexpr unsigned kWaveMpegLayer3 = 0x0055;

// A RIFF (or RF64) WAVE file: its audio is the data chunk when the fmt chunk before it names MPEG
// audio, and nothing otherwise: PCM samples hold byte pairs that read as frame headers, and
// libmad decodes some of them as frames of loud noise. False when the bytes are no WAVE file.
bool waveAudio(const unsigned char* data, std::int32_t size, AudioRange& range) {
  if (size < 12 || (std::memcmp(data, "RIFF", 4) != 0 && std::memcmp(data, "RF64", 4) != 0) ||
      std::memcmp(data + 8, "WAVE", 4) != 0) {
    return false;
  }
  range.begin = range.end = size;
  unsigned format = 0;
  bool haveFormat = false;
  for (std::int64_t at = 12; at <= std::int64_t{size} - 8;) {
    const std::int64_t chunk = readLittle32(data + at + 4);
    const std::int64_t body = at + 8;
    if (std::memcmp(data + at, "fmt ", 4) == 0 && chunk >= 2 && body + 2 <= size) {
      format = data[body] | static_cast<unsigned>(data[body + 1]) << 8;
      haveFormat = true;
    }
    if (std::memcmp(data + at, "data", 4) == 0) {
      // Streaming writers leave the size open (0xFFFFFFFF, or RF64's): the data runs to the end.
      if (haveFormat && (format == kWaveMpeg || format == kWaveMpegLayer3)) {
        range.begin = static_cast<std::int32_t>(body);
        range.end = static_cast<std::int32_t>(std::min<std::int64_t>(size, body + chunk));
      }
      return true;
    }
    at = body + chunk + (chunk & 1);
  }
  return true;
}

// An AIFF or AIFF-C file holds sound samples, no MPEG audio, and its samples read as frame
// headers just as a WAVE file's do.
bool isAiff(const unsigned char* data, std::int32_t size) {
  return size >= 12 && std::memcmp(data, "FORM", 4) == 0 &&
         (std::memcmp(data + 8, "AIFF", 4) == 0 || std::memcmp(data + 8, "AIFC", 4) == 0);
}

}  // namespace

std::int64_t id3v2TagSize(const unsigned char* data, std::int32_t size) {
  if (data == nullptr || size < kId3v2HeaderSize) return 0;
  std::int64_t body = 0;
  bool hasFooter = false;
  if (!readId3v2Frame(data, "ID3", body, hasFooter)) return 0;
  return kId3v2HeaderSize + body + (hasFooter ? kId3v2HeaderSize : 0);
}

std::int32_t trailingTagSize(const unsigned char* data, std::int32_t size) {
  if (data == nullptr || size <= 0) return 0;
  if (size >= kId3v1Size && std::memcmp(data + size - kId3v1Size, "TAG", 3) == 0) return kId3v1Size;
  if (const std::int32_t ape = apeTagSize(data, size)) return ape;
  if (const std::int32_t lyrics = lyrics3v2Size(data, size)) return lyrics;
  return appendedId3v2Size(data, size);
}

AudioRange findAudioRange(const unsigned char* data, std::int32_t size) {
  AudioRange range;
  if (data == nullptr || size <= 0) return range;
  range.end = size;
  if (isAiff(data, size)) {
    range.begin = range.end;
    return range;
  }
  if (waveAudio(data, size, range) && range.size() == 0) return range;
  for (;;) {
    const std::int64_t tag = id3v2TagSize(data + range.begin, range.size());
    if (tag == 0) break;
    if (tag >= range.size()) {
      range.begin = range.end;  // the file ends inside the tag
      return range;
    }
    range.begin += static_cast<std::int32_t>(tag);
  }
  // Each tag peeled makes the range smaller, so this ends.
  while (const std::int32_t tag = trailingTagSize(data + range.begin, range.size())) {
    range.end -= tag;
  }
  return range;
}

}  // namespace vintrove
