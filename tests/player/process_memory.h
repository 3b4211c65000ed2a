// The memory the process has committed, for tests that a release really gives memory back: on
// Windows the commit charge (PagefileUsage, which Wine keeps too), on Linux the anonymous memory
// resident in the process (RssAnon), which every written sample store counts in. Under
// AddressSanitizer freed memory waits in its quarantine; a test program that measures this sets
// the quarantine to 0 (see loader_memory_test.cpp).
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2
#endif
#include <windows.h>
#include <psapi.h>
#else
#include <fstream>
#include <string>
#endif

namespace vintrove::test {

// Bytes; -1 when the system does not say.
inline std::int64_t committedBytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<std::int64_t>(counters.PagefileUsage);
#else
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stoll(line.substr(8)) * 1024;
  }
  return -1;
#endif
}

}  // namespace vintrove::test
