// A plain mutual-exclusion lock (a critical section on Windows); usable with std::lock_guard.
#pragma once

#include <memory>

namespace vintrove::platform {

// Not recursive: the thread that holds it must not lock it again (a critical section would allow
// it, a std::mutex would not).
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock();
  bool try_lock();
  void unlock();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vintrove::platform
