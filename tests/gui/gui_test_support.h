// What the GUI tests share: the test bitmaps' numbers and pixels, a top-level window that plays
// the host's editor window, a memory surface whose pixels can be read back, and a message pump.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "gui/gdi_owner.h"
#include "gui/geometry.h"

namespace vintrove {

// Failure messages show colours as (red, green, blue) rather than as raw bytes.
void PrintTo(const Color& color, std::ostream* out);

}  // namespace vintrove

namespace vintrove::test {

inline constexpr std::int32_t kPatternBitmap = 101;  // 8 x 6
inline constexpr std::int32_t kWhiteDiagonalBitmap = 102;  // 4 x 4
inline constexpr std::int32_t kHandleBitmap = 103;  // 9 x 12, yellow corners
inline constexpr std::int32_t kTrackBitmap = 104;  // 120 x 14
inline constexpr std::int32_t kTwoImagesBitmap = 105;  // 16 x 32: two 16 x 16 images stacked
inline constexpr std::int32_t kDisplayBackBitmap = 106;  // 60 x 16
inline constexpr std::int32_t kMissingBitmap = 999;

// The pixels make-test-bitmaps.py wrote.
Color patternPixel(std::int32_t x, std::int32_t y);
Color whiteDiagonalPixel(std::int32_t x, std::int32_t y);
Color handlePixel(std::int32_t x, std::int32_t y);
Color trackPixel(std::int32_t x, std::int32_t y);
Color twoImagesPixel(std::int32_t x, std::int32_t y);
Color displayBackPixel(std::int32_t x, std::int32_t y);

// A visible top-level window standing in for the host's window; its client area starts at
// the given screen position.
class HostWindow {
 public:
  HostWindow(std::int32_t width = 400, std::int32_t height = 200, std::int32_t x = 100,
             std::int32_t y = 100);
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  ~HostWindow();
  HWND get() const { return window; }

 private:
  HWND window = nullptr;
};

// Dispatches every queued message of this thread, for at least the given time.
void pumpMessages(std::uint32_t milliseconds = 0);

// A 32-bit top-down DIB section selected into a memory device context.
class PixelSurface {
 public:
  PixelSurface(std::int32_t width, std::int32_t height, Color fill = kBlack);
  PixelSurface(const PixelSurface&) = delete;
  PixelSurface& operator=(const PixelSurface&) = delete;
  ~PixelSurface();

  HDC dc() const { return memory; }
  Color pixel(std::int32_t x, std::int32_t y) const;
  void fill(Color color);
  std::int32_t width() const { return surfaceWidth; }
  std::int32_t height() const { return surfaceHeight; }

 private:
  std::int32_t surfaceWidth;
  std::int32_t surfaceHeight;
  HDC memory = nullptr;
  GdiBitmap section;
  HGDIOBJ previous = nullptr;
  std::uint32_t* bits = nullptr;
};

// Reads a pixel of a window's client area from the screen.
Color windowPixel(HWND window, std::int32_t x, std::int32_t y);

// Compares every pixel of a surface with expected(x, y); a failure names the first mismatch.
testing::AssertionResult pixelsMatch(
    const PixelSurface& surface, const std::function<Color(std::int32_t, std::int32_t)>& expected);

// GDI objects this process holds now (plus a constant under Wine): our host's census.
std::int32_t liveGdiObjects();
// Windows of the calling thread, top-level and children.
std::int32_t threadWindowCount();

}  // namespace vintrove::test
