// Counting semaphore with a bounded wait.
#pragma once

#include <cstdint>
#include <memory>

namespace vintrove::platform {

class Semaphore {
 public:
  static constexpr std::uint32_t kInfinite = 0xffffffffu;

  // Impossible counts are repaired rather than refused: the maximum is at least 1 and the
  // initial count is clamped to 0..maximum.
  Semaphore(int initialCount, int maximumCount);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  // True when a count was taken within the time; kInfinite waits without limit.
  bool wait(std::uint32_t timeoutMilliseconds = kInfinite);
  // Gives one count back; a release beyond the maximum is ignored.
  void release();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vintrove::platform
