// Counting semaphore over a Win32 semaphore object.
#include "platform/semaphore.h"

#include <windows.h>

#include <algorithm>

namespace vintrove::platform {

struct Semaphore::State {
  HANDLE handle = nullptr;  // null when the system could not create one: waits then fail
};

Semaphore::Semaphore(int initialCount, int maximumCount) : state_(std::make_unique<State>()) {
  // CreateSemaphoreA refuses a maximum below one and an initial count outside 0..maximum;
  // repair such arguments the same way as the POSIX version instead of failing.
  const int maximum = std::max(maximumCount, 1);
  const int initial = std::clamp(initialCount, 0, maximum);
  state_->handle = CreateSemaphoreA(nullptr, initial, maximum, nullptr);
}

Semaphore::~Semaphore() {
  if (state_->handle != nullptr) {
    CloseHandle(state_->handle);
  }
}

bool Semaphore::wait(std::uint32_t timeoutMilliseconds) {
  static_assert(kInfinite == INFINITE, "kInfinite is passed to WaitForSingleObject as is");
  if (state_->handle == nullptr) {
    return false;
  }
  return WaitForSingleObject(state_->handle, timeoutMilliseconds) == WAIT_OBJECT_0;
}

void Semaphore::release() {
  if (state_->handle != nullptr) {
    // Fails, changing nothing, when the count is already at its maximum.
    ReleaseSemaphore(state_->handle, 1, nullptr);
  }
}

}  // namespace vintrove::platform
