// GetTickCount and Sleep.
#include "platform/clock.h"

#include <windows.h>

namespace vintrove::platform {

std::uint32_t tickCount() { return static_cast<std::uint32_t>(GetTickCount()); }

// Sleep(INFINITE) would never return; 0xffffffff milliseconds is the same wait in practice,
// so that one value is capped one millisecond short.
void sleepMilliseconds(std::uint32_t milliseconds) {
  Sleep(milliseconds == INFINITE ? INFINITE - 1 : milliseconds);
}

void yieldThread() { Sleep(0); }

}  // namespace vintrove::platform
