// Counts of the process's GDI objects and windows, for runs that must end with what they began
// with. Compare counts taken in the same state (for example, editor closed) before and after.
#pragma once

#include <cstdint>

namespace vintrove::testhost {

struct GuiCounts {
  std::int32_t gdiObjects = 0;   // liveGdiObjects()
  std::int32_t userObjects = 0;  // GetGuiResources(GR_USEROBJECTS); 0 under Wine
  std::int32_t windows = 0;      // processWindowCount()

  bool operator==(const GuiCounts& other) const {
    return gdiObjects == other.gdiObjects && userObjects == other.userObjects && windows == other.windows;
  }
};

// Live GDI objects of the process: GetGuiResources where it works, otherwise (Wine answers 0)
// a census of Wine's GDI handle table, which is the count plus a constant.
std::int32_t liveGdiObjects();
std::int32_t wineGdiCensus();
// Top-level and message-only windows of this process (every thread) and all their descendants.
std::int32_t processWindowCount();
GuiCounts countGui();

}  // namespace vintrove::testhost
