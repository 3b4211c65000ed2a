// RAII owners of the GDI and USER handles the drawing code creates: each deletes or releases
// exactly what it holds, once, whatever path leaves the scope.
#pragma once

#include <windows.h>

#include <utility>

namespace vintrove {

// A pen, brush, font or bitmap: deleted with DeleteObject.
template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle handle) : held(handle) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& other) noexcept : held(std::exchange(other.held, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.held, nullptr));
    }
    return *this;
  }
  ~GdiObject() { reset(); }

  Handle get() const { return held; }
  explicit operator bool() const { return held != nullptr; }
  void reset(Handle handle = nullptr) {
    if (held != nullptr) {
      DeleteObject(held);
    }
    held = handle;
  }
  Handle release() { return std::exchange(held, nullptr); }

 private:
  Handle held = nullptr;
};

using GdiPen = GdiObject<HPEN>;
using GdiBrush = GdiObject<HBRUSH>;
using GdiFont = GdiObject<HFONT>;
using GdiBitmap = GdiObject<HBITMAP>;

// A memory device context (CreateCompatibleDC), deleted with DeleteDC.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc != nullptr) {
      DeleteDC(dc);
    }
  }
  HDC get() const { return dc; }
  explicit operator bool() const { return dc != nullptr; }

 private:
  HDC dc;
};

// A window's device context (GetDC), given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : owner(window), dc(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc != nullptr) {
      ReleaseDC(owner, dc);
    }
  }
  HDC get() const { return dc; }
  explicit operator bool() const { return dc != nullptr; }

 private:
  HWND owner;
  HDC dc;
};

// Selects an object into a device context and selects the previous one back at scope end.
class ScopedSelection {
 public:
  ScopedSelection(HDC target, HGDIOBJ object)
      : dc(target), previous(target != nullptr && object != nullptr ? SelectObject(target, object)
                                                                    : nullptr) {}
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;
  ~ScopedSelection() {
    if (previous != nullptr && previous != HGDI_ERROR) {
      SelectObject(dc, previous);
    }
  }

 private:
  HDC dc;
  HGDIOBJ previous;
};

}  // namespace vintrove
