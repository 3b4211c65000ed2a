// The validator's runner: its report (one line per test, a summary) and the guard that turns
// whatever a plug-in does inside a test (an access violation, a C++ exception that leaves it,
// a call of std::terminate or abort) into that test's FAIL line. A validator exists to judge
// broken plug-ins, so the run always goes on and always ends with its summary line; a crash
// on a thread the guard cannot bring back (another thread of the test) still prints the
// test's FAIL line and the summary before the process ends with exit code 1. So does a test
// the plug-in keeps from returning (a deadlock, an endless loop) once its time limit is up:
// such a thread cannot be brought back either.
//
//   ValidationReport report("validate");
//   GuardedRunner runner(report, 600000);
//   runner.run("some check", [&] { ...; report.line(ok, "some check", detail); });
//   return report.finish();
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vintrove::testhost {

class ValidationReport {
 public:
  // summaryName starts the summary line: "<summaryName>: N passed, M failed".
  explicit ValidationReport(std::string summaryName) : summaryName_(std::move(summaryName)) {}

  void line(bool ok, const std::string& name, const std::string& detail);
  void note(const std::string& name, const std::string& detail);
  // Prints the summary; answers the exit code: 0 when at least one test ran and none failed.
  int finish() const;
  // The FAIL line and the summary written straight to the output, for a process about to end.
  void finishFatally(const std::string& name, const std::string& detail);

  int passed() const { return passed_.load(); }
  int failed() const { return failed_.load(); }

 private:
  std::string summaryName_;
  std::atomic<int> passed_{0};
  std::atomic<int> failed_{0};
};

class GuardedRunner {
 public:
  // Longest a test may take unless the caller says otherwise.
  static constexpr unsigned long kDefaultLimitMs = 600000;

  // One runner at a time, on the thread that runs the tests. A test still running after
  // limitMs ends the process with its FAIL line and the summary (exit code 1); 0: no limit.
  explicit GuardedRunner(ValidationReport& report, unsigned long limitMs = kDefaultLimitMs);
  ~GuardedRunner();
  GuardedRunner(const GuardedRunner&) = delete;
  GuardedRunner& operator=(const GuardedRunner&) = delete;

  // Runs the test. When the plug-in ends it early, prints "FAIL name: the plug-in ..." and
  // answers false; the test's own objects are then abandoned as they were, not destroyed.
  bool run(const std::string& name, const std::function<void()>& test);

 private:
  std::atomic<bool> stopping_{false};
  std::thread watchdog_;
};

}  // namespace vintrove::testhost
