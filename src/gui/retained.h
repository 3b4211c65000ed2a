// Holds one reference of a reference-counted view or bitmap and releases it at scope end:
// the owner of the creator's reference, or of one taken with retain().
#pragma once

#include <utility>

namespace vintrove {

template <typename Counted>
class Retained {
 public:
  Retained() = default;
  // Takes over a reference the caller holds (the creator's count of one, typically).
  explicit Retained(Counted* adopted) : held(adopted) {}
  Retained(const Retained&) = delete;
  Retained& operator=(const Retained&) = delete;
  Retained(Retained&& other) noexcept : held(std::exchange(other.held, nullptr)) {}
  Retained& operator=(Retained&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.held, nullptr));
    }
    return *this;
  }
  ~Retained() { reset(); }

  Counted* get() const { return held; }
  Counted* operator->() const { return held; }
  Counted& operator*() const { return *held; }
  explicit operator bool() const { return held != nullptr; }

  void reset(Counted* adopted = nullptr) {
    Counted* old = std::exchange(held, adopted);
    if (old != nullptr) {
      old->release();
    }
  }
  // Hands the reference to someone else (a frame taking over a child, for example).
  Counted* release() { return std::exchange(held, nullptr); }

 private:
  Counted* held = nullptr;
};

}  // namespace vintrove
