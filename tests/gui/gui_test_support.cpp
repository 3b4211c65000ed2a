#include "gui_test_support.h"

#include <gtest/gtest.h>

#include "gui_census.h"
#include "host/module_handle.h"

namespace vintrove {

void PrintTo(const Color& color, std::ostream* out) {
  *out << "(" << static_cast<int>(color.red) << ", " << static_cast<int>(color.green) << ", "
       << static_cast<int>(color.blue) << ")";
}

}  // namespace vintrove

namespace vintrove::test {

namespace {

// Bitmaps and the window class come from the test program's own module.
const bool moduleHandleSet = [] {
  setModuleHandle(GetModuleHandleA(nullptr));
  return true;
}();

const char kHostClass[] = "VintroveTestHostWindow";

void registerHostClass() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = kHostClass;
    return RegisterClassA(&windowClass) != 0;
  }();
  (void)registered;
}

}  // namespace

Color patternPixel(std::int32_t x, std::int32_t y) {
  if ((x + y) % 3 == 0) {
    return kYellow;
  }
  return Color{static_cast<std::uint8_t>(30 * x + 10), static_cast<std::uint8_t>(40 * y + 5), 100,
               0};
}

Color whiteDiagonalPixel(std::int32_t x, std::int32_t y) {
  if (x == y) {
    return kWhite;
  }
  return Color{0, 0, static_cast<std::uint8_t>(200 + 10 * x), 0};
}

namespace {
std::uint8_t byte(std::int32_t value) { return static_cast<std::uint8_t>(value); }
}  // namespace

Color handlePixel(std::int32_t x, std::int32_t y) {
  const bool edgeColumn = x == 0 || x == 8;
  const bool edgeRow = y == 0 || y == 11;
  if (edgeColumn && edgeRow) {
    return kYellow;
  }
  if (edgeColumn || edgeRow) {
    return Color{20, 20, 20, 0};
  }
  return Color{230, 120, 40, 0};
}

Color trackPixel(std::int32_t x, std::int32_t y) {
  return Color{byte(2 * x), byte(y >= 5 && y <= 8 ? 60 : 30), 90, 0};
}

Color twoImagesPixel(std::int32_t x, std::int32_t y) {
  if (x == 0 && y % 16 == 0) {
    return kYellow;
  }
  if (y < 16) {
    return Color{40, 40, byte(160 + 5 * x), 0};
  }
  return Color{40, byte(160 + 5 * x), 40, 0};
}

Color displayBackPixel(std::int32_t x, std::int32_t y) {
  return Color{10, byte(40 + 2 * y), byte(30 + x), 0};
}

HostWindow::HostWindow(std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y) {
  (void)moduleHandleSet;
  registerHostClass();
  RECT frame{x, y, x + width, y + height};
  const DWORD style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
  AdjustWindowRect(&frame, style, FALSE);
  window = CreateWindowExA(0, kHostClass, "Host", style, frame.left, frame.top,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  EXPECT_NE(window, nullptr);
  SetForegroundWindow(window);
  UpdateWindow(window);
  pumpMessages(20);
}

HostWindow::~HostWindow() {
  if (window != nullptr) {
    DestroyWindow(window);
  }
  pumpMessages();
}

void pumpMessages(std::uint32_t milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (milliseconds > 0) {
      Sleep(5);
    }
  } while (GetTickCount() - start < milliseconds);
}

PixelSurface::PixelSurface(std::int32_t width, std::int32_t height, Color fillColor)
    : surfaceWidth(width), surfaceHeight(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  section.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  bits = static_cast<std::uint32_t*>(pixels);
  memory = CreateCompatibleDC(nullptr);
  previous = SelectObject(memory, section.get());
  fill(fillColor);
}

PixelSurface::~PixelSurface() {
  SelectObject(memory, previous);
  DeleteDC(memory);
}

Color PixelSurface::pixel(std::int32_t x, std::int32_t y) const {
  GdiFlush();
  const std::uint32_t value = bits[y * surfaceWidth + x];
  return Color{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value), 0};
}

void PixelSurface::fill(Color color) {
  GdiFlush();
  const std::uint32_t value = (static_cast<std::uint32_t>(color.red) << 16) |
                              (static_cast<std::uint32_t>(color.green) << 8) | color.blue;
  for (std::int32_t i = 0; i < surfaceWidth * surfaceHeight; ++i) {
    bits[i] = value;
  }
}

Color windowPixel(HWND window, std::int32_t x, std::int32_t y) {
  WindowDc dc(window);
  const COLORREF value = GetPixel(dc.get(), x, y);
  return Color{GetRValue(value), GetGValue(value), GetBValue(value), 0};
}

namespace {

BOOL CALLBACK countChild(HWND, LPARAM counter) {
  ++*reinterpret_cast<std::int32_t*>(counter);
  return TRUE;
}

// EnumChildWindows walks all descendants, not only the direct children.
BOOL CALLBACK countTopLevel(HWND window, LPARAM counter) {
  ++*reinterpret_cast<std::int32_t*>(counter);
  EnumChildWindows(window, countChild, counter);
  return TRUE;
}

}  // namespace

testing::AssertionResult pixelsMatch(
    const PixelSurface& surface, const std::function<Color(std::int32_t, std::int32_t)>& expected) {
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const Color want = expected(x, y);
      const Color got = surface.pixel(x, y);
      if (!(got == want)) {
        return testing::AssertionFailure()
               << "pixel " << x << "," << y << " is " << testing::PrintToString(got)
               << ", expected " << testing::PrintToString(want);
      }
    }
  }
  return testing::AssertionSuccess();
}

std::int32_t liveGdiObjects() { return testhost::liveGdiObjects(); }

std::int32_t threadWindowCount() {
  std::int32_t count = 0;
  EnumThreadWindows(GetCurrentThreadId(), countTopLevel, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace vintrove::test
