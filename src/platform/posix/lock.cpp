// Lock over std::mutex. Unlike a critical section it is not recursive: the player never locks
// twice from one thread, and a second lock() from the owner would be a bug on either platform.
#include "platform/lock.h"

#include <mutex>

namespace vintrove::platform {

struct Lock::State {
  std::mutex mutex;
};

Lock::Lock() : state_(std::make_unique<State>()) {}

Lock::~Lock() = default;

void Lock::lock() { state_->mutex.lock(); }

bool Lock::try_lock() { return state_->mutex.try_lock(); }

void Lock::unlock() { state_->mutex.unlock(); }

}  // namespace vintrove::platform
