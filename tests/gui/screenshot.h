// Window pictures for the reference-image tests: capture a window's client area, read and write
// 24-bit BMP files, and compare two pictures pixel by pixel outside the areas where Wine's font
// rendering may differ from one machine to another.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui/geometry.h"

namespace vintrove::test {

struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<Color> pixels;  // rows top-down

  Color at(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y * width + x)];
  }
};

Picture captureClientArea(HWND window);
bool writeBmp(const std::string& path, const Picture& picture);
bool readBmp(const std::string& path, Picture& picture);

struct PictureDifference {
  std::int32_t differingPixels = 0;  // outside the tolerated areas
  std::int32_t toleratedPixels = 0;  // differing pixels inside them
  Point firstDifference{-1, -1};
};

// Pixels inside `tolerated` may differ by any amount; everywhere else they must be equal.
PictureDifference comparePictures(const Picture& actual, const Picture& expected,
                                  const std::vector<Rect>& tolerated);

}  // namespace vintrove::test
