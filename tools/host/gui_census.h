// Counts of the process's GDI objects, windows and kernel handles, for runs that must end with
// what they began with. Compare counts taken in the same state (for example, editor closed) before and after.
#pragma once

#include <cstdint>

namespace vintrove::testhost {

struct GuiCounts {
  std::int32_t gdiObjects = 0;   // liveGdiObjects()
  std::int32_t userObjects = 0;  // GetGuiResources(GR_USEROBJECTS); 0 under Wine
  std::int32_t windows = 0;      // processWindowCount()
  std::int32_t kernelHandles = 0;  // kernelHandleCount()

  bool operator==(const GuiCounts& other) const {
    return gdiObjects == other.gdiObjects && userObjects == other.userObjects && windows == other.windows &&
           kernelHandles == other.kernelHandles;
  }
};

// Live GDI objects of the process: GetGuiResources where it works, otherwise (Wine answers 0)
// a census of Wine's GDI handle table, which is the count plus a constant.
std::int32_t liveGdiObjects();
std::int32_t wineGdiCensus();
// Top-level and message-only windows of this process (every thread) and all their descendants.
std::int32_t processWindowCount();
// Kernel handles (files, mappings, threads, events; not registry keys) the process holds, from
// the system's handle table: GetProcessHandleCount answers 0 under Wine. -1 when the table cannot
// be read.
std::int32_t kernelHandleCount();
GuiCounts countGui();

}  // namespace vintrove::testhost
