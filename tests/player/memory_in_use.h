// How much memory the process holds, for tests that check that a load gives back what it took:
// under a sanitizer the bytes its allocator has handed out (exact), on Windows the process's
// committed memory (under Wine: its anonymous pages in memory, those written to), otherwise the
// C library allocator's bytes in use.
#pragma once

#include <cstdint>

namespace vintrove::test {

std::int64_t memoryInUse();

// memoryInUse once it has held still for a moment (at most about a second): a sanitizer counts a
// thread's allocations apart from the others' until the thread has wholly ended, which can be a
// moment after it has made its last report.
std::int64_t settledMemoryInUse();

}  // namespace vintrove::test
