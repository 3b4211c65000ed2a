#include "guarded_run.h"

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace vintrove::testhost {

namespace {

// What the running test's guard knows; the handlers below read it on whatever thread faults.
struct GuardState {
  std::atomic<DWORD> thread{0};    // the runner's thread
  std::atomic<bool> armed{false};  // a test runs and may be brought back
  void* landing[5] = {};           // __builtin_setjmp's buffer
  void* sehChain = nullptr;        // 32-bit: the thread's handler chain at the landing
  char test[160] = "";
  char failure[200] = "";          // what ended the test
  DWORD lastFault = 0;             // the last hardware fault on the runner's thread
  void* lastFaultAt = nullptr;
  ValidationReport* report = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
  void* faultWatcher = nullptr;
  std::atomic<ULONGLONG> deadline{0};  // when the running test's time is up; 0: none runs
  unsigned long limitMs = 0;
};

GuardState state;

bool isFault(DWORD code) {
  // Error severity (access violations, illegal instructions, stack overflow, division by zero
  // and the like), and the exception code of another compiler's C++ runtime.
  return (code & 0xC0000000U) == 0xC0000000U || code == 0xE06D7363U;
}

void describeFault(char (&text)[200], DWORD code, const void* address, const EXCEPTION_RECORD* record) {
  if (code == EXCEPTION_ACCESS_VIOLATION && record != nullptr && record->NumberParameters >= 2) {
    std::snprintf(text, sizeof text, "crashed: access violation at %p %s %p", address,
                  record->ExceptionInformation[0] == 0 ? "reading" : "writing",
                  reinterpret_cast<void*>(record->ExceptionInformation[1]));
  } else if (code == 0xE06D7363U) {
    std::snprintf(text, sizeof text, "threw a C++ exception of another compiler's runtime");
  } else {
    std::snprintf(text, sizeof text, "crashed: exception 0x%08lx at %p", static_cast<unsigned long>(code), address);
  }
}

[[noreturn]] void landBack() { __builtin_longjmp(state.landing, 1); }

// 32-bit Windows keeps a chain of handler records per thread (at fs:0, the first word of the
// thread's block); frames abandoned by the landing must not stay on it. (Read with asm: GCC 12
// warns falsely about NtCurrentTeb's segment read.)
void* currentSehChain() {
#if defined(_WIN64)
  return nullptr;
#else
  void* chain = nullptr;
  asm volatile("movl %%fs:0, %0" : "=r"(chain));
  return chain;
#endif
}

void restoreSehChain(void* chain) {
#if defined(_WIN64)
  (void)chain;
#else
  asm volatile("movl %0, %%fs:0" : : "r"(chain) : "memory");
#endif
}

[[noreturn]] void endProcess(const char* detail) {
  if (state.report != nullptr) state.report->finishFatally(state.test, detail);
  TerminateProcess(GetCurrentProcess(), 1);
  ExitProcess(1);
}

// Notes every hardware fault on the runner's thread, so that one a catch (...) caught can be
// named; handles nothing itself.
LONG WINAPI noteFault(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (isFault(code) && GetCurrentThreadId() == state.thread.load()) {
    state.lastFault = code;
    state.lastFaultAt = info->ExceptionRecord->ExceptionAddress;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// Nothing else handled the fault. On the runner's thread the test is left where it stands:
// execution resumes at landBack, which returns to the runner.
LONG WINAPI lastChance(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (!isFault(code)) {
    return state.previousFilter != nullptr ? state.previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
  }
  char text[200];
  describeFault(text, code, info->ExceptionRecord->ExceptionAddress, info->ExceptionRecord);
  if (GetCurrentThreadId() == state.thread.load() && state.armed.exchange(false)) {
    std::memcpy(state.failure, text, sizeof text);
    CONTEXT& context = *info->ContextRecord;
    // Below the faulting frame, aligned as at a function's entry.
#if defined(_WIN64)
    context.Rsp = ((context.Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    context.Rip = reinterpret_cast<DWORD64>(&landBack);
#else
    context.Esp = ((context.Esp - 256) & ~static_cast<DWORD>(15)) - 4;
    context.Eip = reinterpret_cast<DWORD>(&landBack);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  char detail[260];
  std::snprintf(detail, sizeof detail, "the plug-in %s on another thread of the test", text);
  endProcess(detail);
}

// std::terminate (a C++ exception no frame of the plug-in's own runtime would take) and
// abort end here: the C library calls this before it ends the process.
void onAbort(int) {
  if (GetCurrentThreadId() == state.thread.load() && state.armed.exchange(false)) {
    std::snprintf(state.failure, sizeof state.failure, "called abort (std::terminate: an exception it did not catch)");
    landBack();
  }
  endProcess("the plug-in called abort on another thread of the test");
}

// A test the plug-in does not let return cannot be brought back like a fault: once its time is
// up the run ends here, from a thread of our own, with the test's FAIL line and the summary.
void watchOverTests(const std::atomic<bool>& stopping) {
  while (!stopping.load()) {
    Sleep(50);
    const ULONGLONG deadline = state.deadline.load();
    if (deadline != 0 && GetTickCount64() >= deadline) {
      char detail[200];
      std::snprintf(detail, sizeof detail, "the plug-in did not return within %lu s (it hangs)", state.limitMs / 1000);
      endProcess(detail);
    }
  }
}

}  // namespace

void ValidationReport::line(bool ok, const std::string& name, const std::string& detail) {
  std::printf("%s %s: %s\n", ok ? "PASS" : "FAIL", name.c_str(), detail.c_str());
  std::fflush(stdout);
  (ok ? passed_ : failed_)++;
}

void ValidationReport::note(const std::string& name, const std::string& detail) {
  std::printf("INFO %s: %s\n", name.c_str(), detail.c_str());
  std::fflush(stdout);
}

int ValidationReport::finish() const {
  std::printf("%s: %d passed, %d failed\n", summaryName_.c_str(), passed_.load(), failed_.load());
  std::fflush(stdout);
  return failed_.load() == 0 && passed_.load() > 0 ? 0 : 1;
}

void ValidationReport::finishFatally(const std::string& name, const std::string& detail) {
  // No stdio: the faulting code may hold its lock. Each earlier line was flushed as printed.
  char text[1024];
  const int length = std::snprintf(text, sizeof text, "FAIL %s: %s\n%s: %d passed, %d failed\n", name.c_str(),
                                   detail.c_str(), summaryName_.c_str(), passed_.load(), failed_.load() + 1);
  DWORD written = 0;
  if (length > 0) {
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::min<int>(length, sizeof text - 1)),
              &written, nullptr);
  }
}

GuardedRunner::GuardedRunner(ValidationReport& report, unsigned long limitMs) {
  state.report = &report;
  state.thread.store(GetCurrentThreadId());
  state.previousFilter = SetUnhandledExceptionFilter(&lastChance);
  state.faultWatcher = AddVectoredExceptionHandler(1, &noteFault);
  state.limitMs = limitMs;
  state.deadline.store(0);
  if (limitMs > 0) watchdog_ = std::thread(watchOverTests, std::cref(stopping_));
}

GuardedRunner::~GuardedRunner() {
  state.deadline.store(0);
  stopping_.store(true);
  if (watchdog_.joinable()) watchdog_.join();
  state.armed.store(false);
  if (state.faultWatcher != nullptr) RemoveVectoredExceptionHandler(state.faultWatcher);
  SetUnhandledExceptionFilter(state.previousFilter);
  std::signal(SIGABRT, SIG_DFL);
  state.thread.store(0);
  state.report = nullptr;
}

bool GuardedRunner::run(const std::string& name, const std::function<void()>& test) {
  std::snprintf(state.test, sizeof state.test, "%s", name.c_str());
  state.failure[0] = '\0';
  state.lastFault = 0;
  // The C library puts the default back each time the handler runs.
  std::signal(SIGABRT, &onAbort);
  state.sehChain = currentSehChain();
  if (__builtin_setjmp(state.landing) == 0) {
    if (state.limitMs > 0) state.deadline.store(GetTickCount64() + state.limitMs);
    state.armed.store(true);
    try {
      test();
      state.armed.store(false);
      state.deadline.store(0);
      return true;
    } catch (...) {
      state.armed.store(false);
      state.deadline.store(0);
      if (state.lastFault != 0) {
        describeFault(state.failure, state.lastFault, state.lastFaultAt, nullptr);
      } else {
        std::snprintf(state.failure, sizeof state.failure, "threw a C++ exception");
      }
    }
  } else {
    restoreSehChain(state.sehChain);
    state.deadline.store(0);
  }
  if (state.report != nullptr) state.report->line(false, name, std::string("the plug-in ") + state.failure);
  return false;
}

}  // namespace vintrove::testhost
