// CreateThread with the default stack, at THREAD_PRIORITY_LOWEST; the handle is not kept.
// The new thread lowers its own priority before it calls the body, so that the body never runs
// above the lowest priority, however soon the creating thread closes the handle.
#include "platform/thread.h"

#include <windows.h>

#include <new>

namespace vintrove::platform {

namespace {

struct Start {
  ThreadBody body;
  void* argument;
};

DWORD WINAPI runStart(LPVOID parameter) {
  const Start start = *static_cast<Start*>(parameter);
  delete static_cast<Start*>(parameter);
  // A hint: the body runs either way, so a refusal is ignored.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
  start.body(start.argument);
  return 0;
}

}  // namespace

bool startLowPriorityThread(ThreadBody body, void* argument) {
  if (body == nullptr) {
    return false;
  }
  auto* const start = new (std::nothrow) Start{body, argument};
  if (start == nullptr) {
    return false;
  }
  const HANDLE thread = CreateThread(nullptr, 0, runStart, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;  // the thread never ran, so nobody else owns it
    return false;
  }
  CloseHandle(thread);
  return true;
}

}  // namespace vintrove::platform
