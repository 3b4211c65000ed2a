#include "screenshot.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "gui/gdi_owner.h"

namespace vintrove::test {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

#pragma pack(push, 1)
struct BmpHeaders {
  char magic[2];
  std::uint32_t fileSize;
  std::uint32_t reserved;
  std::uint32_t pixelOffset;
  BITMAPINFOHEADER info;
};
#pragma pack(pop)

std::int32_t rowBytes(std::int32_t width) { return (width * 3 + 3) & ~3; }

}  // namespace

Picture captureClientArea(HWND window) {
  Picture picture;
  RECT client{};
  GetClientRect(window, &client);
  picture.width = client.right;
  picture.height = client.bottom;
  if (picture.width <= 0 || picture.height <= 0) {
    return Picture{};
  }
  WindowDc source(window);
  MemoryDc memory(source.get());
  GdiBitmap copy(CreateCompatibleBitmap(source.get(), picture.width, picture.height));
  {
    ScopedSelection selected(memory.get(), copy.get());
    BitBlt(memory.get(), 0, 0, picture.width, picture.height, source.get(), 0, 0, SRCCOPY);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> raw(static_cast<std::size_t>(picture.width * picture.height));
  GetDIBits(memory.get(), copy.get(), 0, static_cast<UINT>(picture.height), raw.data(), &info,
            DIB_RGB_COLORS);
  picture.pixels.reserve(raw.size());
  for (std::uint32_t value : raw) {
    picture.pixels.push_back(Color{static_cast<std::uint8_t>(value >> 16),
                                   static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value), 0});
  }
  return picture;
}

bool writeBmp(const std::string& path, const Picture& picture) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    return false;
  }
  const std::int32_t stride = rowBytes(picture.width);
  BmpHeaders headers{};
  headers.magic[0] = 'B';
  headers.magic[1] = 'M';
  headers.pixelOffset = sizeof headers;
  headers.fileSize = headers.pixelOffset + static_cast<std::uint32_t>(stride * picture.height);
  headers.info.biSize = sizeof headers.info;
  headers.info.biWidth = picture.width;
  headers.info.biHeight = picture.height;
  headers.info.biPlanes = 1;
  headers.info.biBitCount = 24;
  headers.info.biCompression = BI_RGB;
  if (std::fwrite(&headers, sizeof headers, 1, file.get()) != 1) {
    return false;
  }
  std::vector<unsigned char> row(static_cast<std::size_t>(stride));
  for (std::int32_t y = picture.height - 1; y >= 0; --y) {
    for (std::int32_t x = 0; x < picture.width; ++x) {
      const Color color = picture.at(x, y);
      row[static_cast<std::size_t>(x * 3)] = color.blue;
      row[static_cast<std::size_t>(x * 3 + 1)] = color.green;
      row[static_cast<std::size_t>(x * 3 + 2)] = color.red;
    }
    if (std::fwrite(row.data(), row.size(), 1, file.get()) != 1) {
      return false;
    }
  }
  return true;
}

bool readBmp(const std::string& path, Picture& picture) {
  File file(std::fopen(path.c_str(), "rb"));
  BmpHeaders headers{};
  if (!file || std::fread(&headers, sizeof headers, 1, file.get()) != 1 ||
      std::memcmp(headers.magic, "BM", 2) != 0 || headers.info.biBitCount != 24 ||
      headers.info.biWidth <= 0 || headers.info.biHeight <= 0 ||
      headers.info.biWidth > 4096 || headers.info.biHeight > 4096) {
    return false;
  }
  picture.width = headers.info.biWidth;
  picture.height = headers.info.biHeight;
  picture.pixels.assign(static_cast<std::size_t>(picture.width * picture.height), Color{});
  std::fseek(file.get(), static_cast<long>(headers.pixelOffset), SEEK_SET);
  std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes(picture.width)));
  for (std::int32_t y = picture.height - 1; y >= 0; --y) {
    if (std::fread(row.data(), row.size(), 1, file.get()) != 1) {
      return false;
    }
    for (std::int32_t x = 0; x < picture.width; ++x) {
      picture.pixels[static_cast<std::size_t>(y * picture.width + x)] =
          Color{row[static_cast<std::size_t>(x * 3 + 2)], row[static_cast<std::size_t>(x * 3 + 1)],
                row[static_cast<std::size_t>(x * 3)], 0};
    }
  }
  return true;
}

PictureDifference comparePictures(const Picture& actual, const Picture& expected,
                                  const std::vector<Rect>& tolerated) {
  PictureDifference difference;
  if (actual.width != expected.width || actual.height != expected.height) {
    difference.differingPixels = actual.width * actual.height + 1;
    return difference;
  }
  for (std::int32_t y = 0; y < actual.height; ++y) {
    for (std::int32_t x = 0; x < actual.width; ++x) {
      if (actual.at(x, y) == expected.at(x, y)) {
        continue;
      }
      bool inTolerated = false;
      for (const Rect& area : tolerated) {
        inTolerated = inTolerated || (x >= area.left && x < area.right && y >= area.top &&
                                      y < area.bottom);
      }
      if (inTolerated) {
        ++difference.toleratedPixels;
      } else {
        if (difference.differingPixels == 0) {
          difference.firstDifference = Point{x, y};
        }
        ++difference.differingPixels;
      }
    }
  }
  return difference;
}

}  // namespace vintrove::test
