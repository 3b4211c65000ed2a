// vintrove-host --validate: tests a VST 2 instrument DLL the way strict plug-in validators do and
// prints one line per test ("PASS name: detail" or "FAIL name: detail") and a summary line
// ("validate: N passed, M failed"). Files are loaded through the plug-in's own editor and its
// file dialog, as a user would choose them.
#pragma once

#include <string>

namespace vintrove::testhost {

struct ValidationOptions {
  std::string dll;
  // Seconds rendered per rate and block size, and by the threaded tests.
  double seconds = 2.0;
  // The allocation-counting test build of the same plug-in; empty: use dll when it counts.
  std::string countingDll;
  // A test still running after this long is a hang (guarded_run.h).
  unsigned long testLimitMs = 600000;
};

// Answers the process exit code: 0 when every test passed.
int runValidation(const ValidationOptions& options);

}  // namespace vintrove::testhost
