// Owns the native edit window of a text entry. Its user data names the text entry; it is
// cleared before the window goes, so that the focus loss the destruction brings does not reach
// back into the text entry.
#pragma once

#include <windows.h>

#include <utility>

namespace vintrove {

class EditWindow {
 public:
  EditWindow() = default;
  explicit EditWindow(HWND window) : handle(window) {}
  EditWindow(const EditWindow&) = delete;
  EditWindow& operator=(const EditWindow&) = delete;
  EditWindow(EditWindow&& other) noexcept
      : handle(std::exchange(other.handle, nullptr)),
        destroying(std::exchange(other.destroying, false)) {}
  EditWindow& operator=(EditWindow&& other) noexcept {
    if (this != &other) {
      reset();
      handle = std::exchange(other.handle, nullptr);
      destroying = std::exchange(other.destroying, false);
    }
    return *this;
  }
  ~EditWindow() { reset(); }

  HWND get() const { return handle; }
  explicit operator bool() const { return handle != nullptr; }

  // Someone else destroys the window (its parent is going): it may still be read, but it must
  // not be destroyed a second time.
  void markDestroying() { destroying = true; }

  void reset() {
    if (handle != nullptr) {
      SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
      if (!destroying) {
        DestroyWindow(handle);
      }
    }
    handle = nullptr;
    destroying = false;
  }

 private:
  HWND handle = nullptr;
  bool destroying = false;
};

}  // namespace vintrove
