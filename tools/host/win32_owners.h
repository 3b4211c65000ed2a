// Owners of the Win32 handles the driver creates: each gives back exactly what it holds, once,
// on every path out of its scope.
#pragma once

#include <windows.h>

#include <thread>
#include <utility>

namespace vintrove::testhost {

// A window created with CreateWindowEx, destroyed with DestroyWindow.
class OwnedWindow {
 public:
  OwnedWindow() = default;
  explicit OwnedWindow(HWND window) : held_(window) {}
  OwnedWindow(const OwnedWindow&) = delete;
  OwnedWindow& operator=(const OwnedWindow&) = delete;
  ~OwnedWindow() { reset(); }

  HWND get() const { return held_; }
  void reset(HWND window = nullptr) {
    if (held_ != nullptr && IsWindow(held_)) DestroyWindow(held_);
    held_ = window;
  }

 private:
  HWND held_ = nullptr;
};

// A window's device context (GetDC), given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A memory device context (CreateCompatibleDC), deleted with DeleteDC.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A GDI object (bitmap, pen, brush, font), deleted with DeleteObject.
template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle) : held_(handle) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() {
    if (held_ != nullptr) DeleteObject(held_);
  }
  Handle get() const { return held_; }

 private:
  Handle held_;
};

// An object selected into a device context, with the previous one put back at the end, so the
// object can be deleted after this owner goes.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A thread that is always joined before its owner goes.
class JoiningThread {
 public:
  JoiningThread() = default;
  template <typename Function>
  explicit JoiningThread(Function&& function) : thread_(std::forward<Function>(function)) {}
  JoiningThread(const JoiningThread&) = delete;
  JoiningThread& operator=(const JoiningThread&) = delete;
  ~JoiningThread() { join(); }

  void join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

}  // namespace vintrove::testhost
