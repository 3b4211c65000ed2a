#include "editor/overview_bitmap.h"

#include <windows.h>

#include "player/overview.h"

namespace vintrove {

OverviewBitmap::OverviewBitmap() : Bitmap(kResourceId) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kOverviewWidth;
  info.bmiHeader.biHeight = kOverviewHeight;  // positive: rows bottom-up, as the loader paints
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* memory = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  if (section != nullptr) {
    pixels = static_cast<unsigned char*>(memory);
    replaceHandle(section);
  }
}

}  // namespace vintrove
