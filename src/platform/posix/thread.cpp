// Detached std::thread; the lower priority is a per-thread nice hint that may fail harmlessly.
#include "platform/thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <thread>

namespace vintrove::platform {

namespace {

// Linux keeps a nice value per thread: raise this thread's by the nice command's default step
// of 10 (lowering is always allowed; raising needs privileges and is never attempted).
void lowerThisThreadsPriority() {
#if defined(__linux__)
  const auto thread = static_cast<id_t>(gettid());
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, thread);
  if (current == -1 && errno != 0) {
    return;
  }
  const int lowest = 19;
  const int wanted = current + 10 < lowest ? current + 10 : lowest;
  if (wanted > current) {
    static_cast<void>(setpriority(PRIO_PROCESS, thread, wanted));
  }
#endif
}

}  // namespace

bool startLowPriorityThread(ThreadBody body, void* argument) {
  if (body == nullptr) {
    return false;
  }
  try {
    std::thread([body, argument] {
      lowerThisThreadsPriority();
      body(argument);
    }).detach();
  } catch (const std::exception&) {  // std::system_error, or no memory for the thread's state
    return false;
  }
  return true;
}

}  // namespace vintrove::platform
