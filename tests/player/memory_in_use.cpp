#include "memory_in_use.h"

#include <chrono>
#include <thread>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VINTROVE_SANITIZER_ALLOCATOR 1
#include <cstddef>
// The sanitizers' allocator interface (sanitizer/allocator_interface.h, which g++ does not ship).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <malloc.h>
#endif

namespace vintrove::test {

std::int64_t memoryInUse() {
#if defined(VINTROVE_SANITIZER_ALLOCATOR)
  return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(_WIN32)
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return -1;
  }
  // The commit charge; Wine answers PrivateUsage with 0 and counts the touched pages here.
  return static_cast<std::int64_t>(counters.PagefileUsage);
#else
  const struct mallinfo2 info = mallinfo2();
  return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}

std::int64_t settledMemoryInUse() {
  std::int64_t last = memoryInUse();
  for (int i = 0; i < 50; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::int64_t now = memoryInUse();
    if (now == last) break;
    last = now;
  }
  return last;
}

}  // namespace vintrove::test
