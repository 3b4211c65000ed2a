// Counting semaphore from a mutex, a condition variable, a count and its maximum.
#include "platform/semaphore.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vintrove::platform {

struct Semaphore::State {
  std::mutex mutex;
  std::condition_variable available;
  int count = 0;
  int maximum = 1;
};

Semaphore::Semaphore(int initialCount, int maximumCount) : state_(std::make_unique<State>()) {
  // Same repair of impossible arguments as the Win32 version: at least one, never above it.
  state_->maximum = std::max(maximumCount, 1);
  state_->count = std::clamp(initialCount, 0, state_->maximum);
}

Semaphore::~Semaphore() = default;

bool Semaphore::wait(std::uint32_t timeoutMilliseconds) {
  std::unique_lock<std::mutex> guard(state_->mutex);
  const auto counted = [this] { return state_->count > 0; };
  if (timeoutMilliseconds == kInfinite) {
    state_->available.wait(guard, counted);
  } else if (!state_->available.wait_for(guard, std::chrono::milliseconds(timeoutMilliseconds),
                                         counted)) {
    return false;
  }
  --state_->count;
  return true;
}

void Semaphore::release() {
  // Notified under the mutex: the waiter this wakes may destroy the semaphore as soon as it
  // returns, so nothing here may touch the state after the mutex is given up.
  std::lock_guard<std::mutex> guard(state_->mutex);
  if (state_->count >= state_->maximum) {
    return;
  }
  ++state_->count;
  state_->available.notify_one();
}

}  // namespace vintrove::platform
