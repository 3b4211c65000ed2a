// Time and pauses: the system tick count, sleeping and giving up the rest of a time slice.
#pragma once

#include <cstdint>

namespace vintrove::platform {

// Milliseconds since some fixed point, wrapping modulo 2^32.
std::uint32_t tickCount();
void sleepMilliseconds(std::uint32_t milliseconds);
// Gives the rest of the current time slice to other threads (a sleep of 0).
void yieldThread();

}  // namespace vintrove::platform
