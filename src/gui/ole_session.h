// OLE for the calling thread for the owner's lifetime (drag and drop needs it on the GUI
// thread). Uninitialises only what it initialised, and only on the thread that initialised it:
// undone on another thread it would take away that thread's (the host's) own OLE state.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace vintrove {

class OleSession {
 public:
  OleSession() : thread(GetCurrentThreadId()), initialised(SUCCEEDED(OleInitialize(nullptr))) {}
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  ~OleSession() {
    // Left to the thread when destroyed elsewhere: one count too many there is harmless.
    if (initialised && GetCurrentThreadId() == thread) {
      OleUninitialize();
    }
  }
  bool isInitialised() const { return initialised; }

 private:
  DWORD thread;
  bool initialised;
};

}  // namespace vintrove
