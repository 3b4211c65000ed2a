#include "png_writer.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace vintrove::testhost {

namespace {

const std::array<std::uint32_t, 256>& crcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1U) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void putBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// Length, type, data, then the CRC over type and data.
void putChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data) {
  putBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  putBigEndian32(out, crc32(out.data() + typeAt, out.size() - typeAt));
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  const auto& table = crcTable();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFU] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler) {
  constexpr std::uint32_t kModulus = 65521;
  std::uint32_t a = adler & 0xFFFFU;
  std::uint32_t b = adler >> 16;
  // 5552 bytes is the longest run whose sums cannot overflow 32 bits before the reduction.
  while (size > 0) {
    const std::size_t run = size < 5552 ? size : 5552;
    for (std::size_t i = 0; i < run; ++i) {
      a += data[i];
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
    data += run;
    size -= run;
  }
  return (b << 16) | a;
}

bool pngDataSizes(std::int32_t width, std::int32_t height, std::uint64_t& rowsBytes, std::uint64_t& idatBytes) {
  rowsBytes = idatBytes = 0;
  if (width <= 0 || height <= 0) return false;
  // Both factors are below 2^31, so neither product can wrap 64 bits.
  const std::uint64_t pixelsBytes = static_cast<std::uint64_t>(width) * 3 * static_cast<std::uint64_t>(height);
  rowsBytes = pixelsBytes + static_cast<std::uint64_t>(height);
  const std::uint64_t blocks = (rowsBytes + kStoredBlockMax - 1) / kStoredBlockMax;
  idatBytes = 2 + rowsBytes + 5 * blocks + 4;
  // The whole file is a few bytes more than the IDAT, so it fits wherever that does.
  return idatBytes <= kLargestChunk && idatBytes + 64 <= static_cast<std::uint64_t>(SIZE_MAX);
}

std::vector<std::uint8_t> encodePng(const RgbImage& image) {
  std::uint64_t rowsBytes = 0;
  std::uint64_t idatBytes = 0;
  if (!pngDataSizes(image.width, image.height, rowsBytes, idatBytes)) return {};
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
  if (static_cast<std::uint64_t>(image.rgb.size()) != rowsBytes - static_cast<std::uint64_t>(image.height)) return {};

  // The filtered rows: a filter byte of 0 (none) before each row.
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(rowsBytes));
  for (std::int32_t y = 0; y < image.height; ++y) {
    raw.push_back(0);
    const std::uint8_t* row = image.rgb.data() + rowBytes * static_cast<std::size_t>(y);
    raw.insert(raw.end(), row, row + rowBytes);
  }

  // zlib: CMF 0x78 (deflate, 32K window), FLG 0x01 (no dictionary, check bits make 0x7801
  // a multiple of 31), stored blocks, then the Adler-32 of the raw data, big-endian.
  std::vector<std::uint8_t> zlib{0x78, 0x01};
  std::size_t offset = 0;
  do {
    const std::size_t length = raw.size() - offset < kStoredBlockMax ? raw.size() - offset : kStoredBlockMax;
    const bool last = offset + length == raw.size();
    zlib.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00, padded to the byte
    zlib.push_back(static_cast<std::uint8_t>(length));
    zlib.push_back(static_cast<std::uint8_t>(length >> 8));
    zlib.push_back(static_cast<std::uint8_t>(~length));
    zlib.push_back(static_cast<std::uint8_t>(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < raw.size());
  putBigEndian32(zlib, adler32(raw.data(), raw.size()));

  std::vector<std::uint8_t> header;
  putBigEndian32(header, static_cast<std::uint32_t>(image.width));
  putBigEndian32(header, static_cast<std::uint32_t>(image.height));
  header.push_back(8);  // bits per channel
  header.push_back(2);  // colour type: RGB
  header.push_back(0);  // compression: deflate
  header.push_back(0);  // filter method 0
  header.push_back(0);  // no interlace

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", zlib);
  putChunk(png, "IEND", {});
  return png;
}

bool writePng(const std::string& path, const RgbImage& image) {
  const std::vector<std::uint8_t> png = encodePng(image);
  if (png.empty()) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  if (std::fwrite(png.data(), 1, png.size(), file.get()) != png.size()) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace vintrove::testhost
