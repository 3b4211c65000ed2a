// Lock over a CRITICAL_SECTION.
#include "platform/lock.h"

#include <windows.h>

namespace vintrove::platform {

struct Lock::State {
  CRITICAL_SECTION section;
};

Lock::Lock() : state_(std::make_unique<State>()) { InitializeCriticalSection(&state_->section); }

Lock::~Lock() { DeleteCriticalSection(&state_->section); }

void Lock::lock() { EnterCriticalSection(&state_->section); }

bool Lock::try_lock() { return TryEnterCriticalSection(&state_->section) != FALSE; }

void Lock::unlock() { LeaveCriticalSection(&state_->section); }

}  // namespace vintrove::platform
