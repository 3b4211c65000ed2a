// OLE for the calling thread for the owner's lifetime (drag and drop needs it on the GUI
// thread). Uninitialises only what it initialised: a failed OleInitialize must not be balanced.
#pragma once

#include <ole2.h>

namespace vintrove {

class OleSession {
 public:
  OleSession() : initialised(SUCCEEDED(OleInitialize(nullptr))) {}
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  ~OleSession() {
    if (initialised) {
      OleUninitialize();
    }
  }
  bool isInitialised() const { return initialised; }

 private:
  bool initialised;
};

}  // namespace vintrove
