// Holds one reference of a COM interface and releases it at scope end, whatever path leaves.
#pragma once

#include <unknwn.h>

#include <utility>

namespace vintrove {

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : held(std::exchange(other.held, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      held = std::exchange(other.held, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  Interface* get() const { return held; }
  Interface* operator->() const { return held; }
  explicit operator bool() const { return held != nullptr; }

  // The out argument of a call that hands over a reference (CoCreateInstance, QueryInterface);
  // whatever was held before is released first.
  void** receive() {
    reset();
    return reinterpret_cast<void**>(&held);
  }

  void reset() {
    if (Interface* old = std::exchange(held, nullptr)) {
      old->Release();
    }
  }

 private:
  Interface* held = nullptr;
};

}  // namespace vintrove
