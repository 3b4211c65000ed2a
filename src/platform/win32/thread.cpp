// CreateThread with the default stack, at THREAD_PRIORITY_LOWEST; the handle is not kept.
// The new thread lowers its own priority before it calls the body, so that the body never runs
// above the lowest priority, however soon the creating thread closes the handle.
//
// Nobody joins these threads, and a host may unload the plug-in right after closing it: each
// thread holds a reference to the module its code lives in and gives it back as it exits, so
// the code stays mapped until the thread is gone.
#include "platform/thread.h"

#include <windows.h>

#include <memory>
#include <new>

namespace vintrove::platform {

namespace {

struct Start {
  ThreadBody body;
  void* argument;
  HMODULE module;
};

DWORD WINAPI runStart(LPVOID parameter) {
  const Start start = *static_cast<Start*>(parameter);
  std::unique_ptr<Start>(static_cast<Start*>(parameter)).reset();
  // A hint: the body runs either way, so a refusal is ignored.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
  start.body(start.argument);
  if (start.module != nullptr) FreeLibraryAndExitThread(start.module, 0);
  return 0;
}

// The module that contains this code, with its reference count raised by one.
HMODULE pinOwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCSTR>(&runStart), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace

bool startLowPriorityThread(ThreadBody body, void* argument) {
  if (body == nullptr) {
    return false;
  }
  std::unique_ptr<Start> start(new (std::nothrow) Start{body, argument, nullptr});
  if (!start) {
    return false;
  }
  start->module = pinOwnModule();
  const HANDLE thread = CreateThread(nullptr, 0, runStart, start.get(), 0, nullptr);
  if (thread == nullptr) {
    if (start->module != nullptr) FreeLibrary(start->module);
    return false;
  }
  start.release();  // the thread owns it now
  CloseHandle(thread);
  return true;
}

}  // namespace vintrove::platform
