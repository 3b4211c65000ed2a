// Monotonic milliseconds truncated to 32 bits, like GetTickCount; sleeps through the standard
// library.
#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace vintrove::platform {

std::uint32_t tickCount() {
  const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch);
  // Unsigned conversion: wraps modulo 2^32 as the contract says.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(milliseconds.count()));
}

void sleepMilliseconds(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void yieldThread() { std::this_thread::yield(); }

}  // namespace vintrove::platform
