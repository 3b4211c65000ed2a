// A PNG encoder with no outside library: 8-bit RGB (colour type 2), no interlace, every row with
// filter 0, the image data as a zlib stream of stored (uncompressed) deflate blocks. The files
// are larger than compressed ones, but any PNG reader takes them and a test can read them back
// byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vintrove::testhost {

struct RgbImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> rgb;  // rows top-down, 3 bytes a pixel (red, green, blue), no padding

  RgbImage() = default;
  RgbImage(std::int32_t w, std::int32_t h)
      : width(w), height(h), rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3) {}

  std::uint8_t* pixel(std::int32_t x, std::int32_t y) {
    return rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(x)) * 3;
  }
  const std::uint8_t* pixel(std::int32_t x, std::int32_t y) const {
    return rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(x)) * 3;
  }
};

// CRC-32 of PNG chunks (polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF).
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
// Adler-32 of the zlib stream's uncompressed data.
std::uint32_t adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

// Largest payload of one stored deflate block.
constexpr std::size_t kStoredBlockMax = 65535;
// Largest chunk length the format allows (2^31 - 1).
constexpr std::uint64_t kLargestChunk = 0x7FFFFFFF;

// The sizes of an image's filtered rows (a filter byte before each row) and of its IDAT chunk
// (the zlib stream of stored blocks), worked out in 64 bits; false when a size does not fit
// this process's memory or the IDAT would pass the format's chunk limit.
bool pngDataSizes(std::int32_t width, std::int32_t height, std::uint64_t& rowsBytes, std::uint64_t& idatBytes);

// The whole PNG file. An image with no pixels, whose buffer does not hold width x height x 3
// bytes, or too large for one IDAT chunk, gives an empty vector.
std::vector<std::uint8_t> encodePng(const RgbImage& image);
// Writes encodePng's bytes to a file; false when there is nothing to write or the write fails.
bool writePng(const std::string& path, const RgbImage& image);

}  // namespace vintrove::testhost
