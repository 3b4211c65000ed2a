// Writes the bytes of the tags that encoders and shops put around MPEG audio, for tests: ID3v2
// (2.2, 2.3, 2.4 with or without a footer) with a body of given bytes, APEv2, Lyrics3v2 and
// ID3v1. Each follows its format's own description of the header fields; the bodies are filler,
// since only the sizes matter to the player.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vintrove::test {

using Bytes = std::vector<unsigned char>;

inline void appendBytes(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

// Byte by byte: g++ 12 at -O3 takes a range insert into a fresh vector for an overflow.
inline void appendText(Bytes& to, const std::string& text) {
  for (const char c : text) to.push_back(static_cast<unsigned char>(c));
}

inline void appendSyncsafe(Bytes& to, std::uint32_t value) {
  for (int shift = 21; shift >= 0; shift -= 7) to.push_back(static_cast<unsigned char>((value >> shift) & 0x7F));
}

inline void appendLittle32(Bytes& to, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) to.push_back(static_cast<unsigned char>(value >> shift));
}

// An ID3v2 tag whose body (frames and padding) is `body`; a footer only for version 4.
inline Bytes id3v2Tag(int version, const Bytes& body, bool footer = false) {
  Bytes tag;
  appendText(tag, "ID3");
  tag.push_back(static_cast<unsigned char>(version));
  tag.push_back(0);
  tag.push_back(footer ? 0x10 : 0x00);
  appendSyncsafe(tag, static_cast<std::uint32_t>(body.size()));
  appendBytes(tag, body);
  if (footer) {
    appendText(tag, "3DI");
    tag.push_back(static_cast<unsigned char>(version));
    tag.push_back(0);
    tag.push_back(0x10);
    appendSyncsafe(tag, static_cast<std::uint32_t>(body.size()));
  }
  return tag;
}

// An ID3v2.3 body with one text frame and one attached-picture frame holding `picture`.
inline Bytes id3v23BodyWithPicture(const Bytes& picture) {
  Bytes body;
  auto frame = [&body](const char* id, const Bytes& content) {
    appendText(body, id);
    const auto size = static_cast<std::uint32_t>(content.size());
    for (int shift = 24; shift >= 0; shift -= 8) body.push_back(static_cast<unsigned char>(size >> shift));
    body.push_back(0);
    body.push_back(0);
    appendBytes(body, content);
  };
  Bytes title{0};
  appendText(title, "A song with a cover");
  frame("TIT2", title);
  Bytes apic{0};
  appendText(apic, "image/jpeg");
  apic.push_back(0);
  apic.push_back(3);  // front cover
  apic.push_back(0);  // empty description
  appendBytes(apic, picture);
  frame("APIC", apic);
  body.insert(body.end(), 1024, 0);  // padding
  return body;
}

// An APEv2 tag of one item, with its header when asked.
inline Bytes apeTag(bool withHeader) {
  Bytes item;
  appendLittle32(item, 5);
  appendLittle32(item, 0);
  appendText(item, "Title");
  item.push_back(0);
  appendText(item, "Songs");
  const auto tagSize = static_cast<std::uint32_t>(item.size() + 32);
  auto headerOrFooter = [&](bool isHeader) {
    Bytes part;
    appendText(part, "APETAGEX");
    appendLittle32(part, 2000);
    appendLittle32(part, tagSize);
    appendLittle32(part, 1);
    appendLittle32(part, (withHeader ? 0x80000000u : 0u) | (isHeader ? 0x20000000u : 0u));
    part.insert(part.end(), 8, 0);
    return part;
  };
  Bytes tag;
  if (withHeader) appendBytes(tag, headerOrFooter(true));
  appendBytes(tag, item);
  appendBytes(tag, headerOrFooter(false));
  return tag;
}

inline Bytes lyrics3v2Tag() {
  Bytes tag;
  appendText(tag, "LYRICSBEGIN");
  appendText(tag, "IND0000211");                    // field IND, 2 bytes
  appendText(tag, "LYR00020[00:01]Hello, world!");  // field LYR, 20 bytes
  const std::string size = std::to_string(tag.size());
  appendText(tag, std::string(6 - size.size(), '0') + size);
  appendText(tag, "LYRICS200");
  return tag;
}

inline Bytes id3v1Tag() {
  Bytes tag;
  appendText(tag, "TAG");
  std::string title = "Title";
  title.resize(30, '\0');
  appendText(tag, title);
  tag.resize(128, 0);
  return tag;
}

// A VBRI frame after Fraunhofer's layout, made of the first 417-byte frame of a 128 kbit/s
// 44.1 kHz stereo file: the tag 32 bytes after the header, the frame count at +14 of it.
inline Bytes vbriFrame(Bytes frame, std::uint32_t frames) {
  frame.resize(417);
  std::fill(frame.begin() + 4, frame.end(), 0);
  const char magic[] = "VBRI";
  std::copy(magic, magic + 4, frame.begin() + 36);
  frame[41] = 1;     // version
  frame[43] = 0x40;  // delay
  frame[45] = 75;    // quality
  for (int i = 0; i < 4; ++i) frame[53 - i] = static_cast<unsigned char>(frames >> (8 * i));
  return frame;
}

}  // namespace vintrove::test
