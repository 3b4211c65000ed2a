// Semaphore, Lock, the low-priority thread and the clock. Threads are waited for through the
// semaphore or joined; no test sleeps to let another thread get somewhere.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/lock.h"
#include "platform/semaphore.h"
#include "platform/thread.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vintrove::test {
namespace {

using platform::Lock;
using platform::Semaphore;

// Long enough for any loaded machine or a slow Wine start; a working build never waits it out.
constexpr std::uint32_t kGenerousWait = 20000;

int takeAll(Semaphore& semaphore) {
  int taken = 0;
  while (taken < 1000 && semaphore.wait(0)) {
    ++taken;
  }
  return taken;
}

TEST(SemaphoreTest, StartsWithItsInitialCount) {
  Semaphore semaphore(3, 10);
  EXPECT_EQ(takeAll(semaphore), 3);
  Semaphore empty(0, 1);
  EXPECT_FALSE(empty.wait(0));
}

TEST(SemaphoreTest, EachReleaseGivesOneWait) {
  Semaphore semaphore(0, 10);
  semaphore.release();
  semaphore.release();
  EXPECT_TRUE(semaphore.wait(0));
  EXPECT_TRUE(semaphore.wait(0));
  EXPECT_FALSE(semaphore.wait(0));
}

TEST(SemaphoreTest, ReleasesBeyondTheMaximumAreIgnored) {
  Semaphore semaphore(0, 2);
  for (int i = 0; i < 5; ++i) {
    semaphore.release();
  }
  EXPECT_EQ(takeAll(semaphore), 2);

  Semaphore full(1, 1);
  full.release();
  EXPECT_EQ(takeAll(full), 1);
  full.release();  // counts again once there is room
  EXPECT_EQ(takeAll(full), 1);
}

TEST(SemaphoreTest, ImpossibleCountsAreRepaired) {
  Semaphore aboveMaximum(5, 2);
  EXPECT_EQ(takeAll(aboveMaximum), 2);
  Semaphore negative(-3, 4);
  EXPECT_EQ(takeAll(negative), 0);
  Semaphore noMaximum(0, 0);  // behaves as a maximum of one
  noMaximum.release();
  noMaximum.release();
  EXPECT_EQ(takeAll(noMaximum), 1);
  Semaphore negativeMaximum(3, -7);
  EXPECT_EQ(takeAll(negativeMaximum), 1);
}

TEST(SemaphoreTest, ATimedWaitOnAnEmptySemaphoreFails) {
  Semaphore semaphore(0, 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(semaphore.wait(50));
  const auto waited = std::chrono::steady_clock::now() - start;
  // It did wait rather than give up at once (the bound leaves room for coarse system timers).
  EXPECT_GE(waited, std::chrono::milliseconds(25));
  EXPECT_FALSE(semaphore.wait(0));
}

TEST(SemaphoreTest, ATimedWaitSucceedsAfterAReleaseFromAnotherThread) {
  Semaphore semaphore(0, 1);
  std::thread releaser([&semaphore] { semaphore.release(); });
  EXPECT_TRUE(semaphore.wait(kGenerousWait));
  releaser.join();
  EXPECT_FALSE(semaphore.wait(0));
}

TEST(SemaphoreTest, AnEndlessWaitReturnsOnceReleased) {
  Semaphore semaphore(0, 1);
  Semaphore started(0, 1);
  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    started.release();
    returned = semaphore.wait();
  });
  ASSERT_TRUE(started.wait(kGenerousWait));
  semaphore.release();
  waiter.join();
  EXPECT_TRUE(returned);
}

TEST(SemaphoreTest, CountsEveryReleaseFromManyThreads) {
  constexpr int kThreads = 4;
  constexpr int kEach = 250;
  Semaphore semaphore(0, kThreads * kEach);
  std::vector<std::thread> releasers;
  for (int t = 0; t < kThreads; ++t) {
    releasers.emplace_back([&semaphore] {
      for (int i = 0; i < kEach; ++i) {
        semaphore.release();
      }
    });
  }
  int taken = 0;
  while (taken < kThreads * kEach && semaphore.wait(kGenerousWait)) {
    ++taken;
  }
  for (auto& releaser : releasers) {
    releaser.join();
  }
  EXPECT_EQ(taken, kThreads * kEach);
  EXPECT_FALSE(semaphore.wait(0));
}

TEST(LockTest, TryLockFailsInAnotherThreadWhileHeld) {
  Lock lock;
  lock.lock();
  bool whileHeld = true;
  std::thread([&] {
    whileHeld = lock.try_lock();
    if (whileHeld) {
      lock.unlock();
    }
  }).join();
  EXPECT_FALSE(whileHeld);
  lock.unlock();

  bool afterUnlock = false;
  std::thread([&] {
    afterUnlock = lock.try_lock();
    if (afterUnlock) {
      lock.unlock();
    }
  }).join();
  EXPECT_TRUE(afterUnlock);
}

TEST(LockTest, ASecondThreadWaitsUntilTheLockIsGivenUp) {
  Lock lock;
  Semaphore started(0, 1);
  std::atomic<bool> acquired{false};
  std::unique_lock<Lock> held(lock);
  std::thread other([&] {
    started.release();
    std::lock_guard<Lock> guard(lock);
    acquired = true;
  });
  ASSERT_TRUE(started.wait(kGenerousWait));
  // Whatever the other thread has reached by now, it cannot be inside the lock.
  EXPECT_FALSE(acquired);
  held.unlock();
  other.join();
  EXPECT_TRUE(acquired);
}

TEST(LockTest, KeepsUpdatesFromTwoThreadsApart) {
  Lock lock;
  long counter = 0;  // deliberately not atomic: only the lock protects it
  constexpr int kEach = 20000;
  const auto add = [&] {
    for (int i = 0; i < kEach; ++i) {
      std::lock_guard<Lock> guard(lock);
      ++counter;
    }
  };
  std::thread first(add);
  std::thread second(add);
  first.join();
  second.join();
  EXPECT_EQ(counter, 2L * kEach);
}

TEST(LockTest, WorksWithTryToLock) {
  Lock lock;
  std::unique_lock<Lock> guard(lock, std::try_to_lock);
  EXPECT_TRUE(guard.owns_lock());
}

struct ThreadRecord {
  Semaphore done{0, 1};
  void* argument = nullptr;
  std::thread::id thread;
  bool lowered = false;
};

// What a started thread saw; done is released last, since the test may end right after it.
void recordThread(void* argument) {
  auto* const record = static_cast<ThreadRecord*>(argument);
  record->argument = argument;
  record->thread = std::this_thread::get_id();
#if defined(_WIN32)
  record->lowered = GetThreadPriority(GetCurrentThread()) == THREAD_PRIORITY_LOWEST;
#else
  record->lowered = true;  // only a best-effort hint elsewhere; see the Linux test below
#endif
  record->done.release();
}

TEST(ThreadTest, RunsTheBodyWithItsArgumentOnAnotherThread) {
  ThreadRecord record;
  ASSERT_TRUE(platform::startLowPriorityThread(recordThread, &record));
  ASSERT_TRUE(record.done.wait(kGenerousWait));
  EXPECT_EQ(record.argument, &record);
  EXPECT_NE(record.thread, std::this_thread::get_id());
  EXPECT_TRUE(record.lowered);
}

TEST(ThreadTest, StartsManyThreads) {
  constexpr int kThreads = 8;
  struct Shared {
    Semaphore done{0, kThreads};
    std::atomic<int> runs{0};
  } shared;
  const platform::ThreadBody body = [](void* argument) {
    auto* const state = static_cast<Shared*>(argument);
    ++state->runs;
    state->done.release();
  };
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_TRUE(platform::startLowPriorityThread(body, &shared));
  }
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_TRUE(shared.done.wait(kGenerousWait));
  }
  EXPECT_EQ(shared.runs, kThreads);
}

TEST(ThreadTest, RefusesANullBody) {
  int argument = 0;
  EXPECT_FALSE(platform::startLowPriorityThread(nullptr, &argument));
}

TEST(ThreadTest, ANullArgumentIsPassedThrough) {
  static Semaphore done(0, 1);
  static std::atomic<bool> wasNull{false};
  ASSERT_TRUE(platform::startLowPriorityThread(
      [](void* argument) {
        wasNull = argument == nullptr;
        done.release();
      },
      nullptr));
  ASSERT_TRUE(done.wait(kGenerousWait));
  EXPECT_TRUE(wasNull);
}

#if defined(__linux__)
TEST(ThreadTest, OnLinuxTheThreadNeverRunsAboveItsCreatorsPriority) {
  struct Nice {
    Semaphore done{0, 1};
    int value = 0;
  } nice;
  ASSERT_TRUE(platform::startLowPriorityThread(
      [](void* argument) {
        auto* const state = static_cast<Nice*>(argument);
        state->value = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        state->done.release();
      },
      &nice));
  ASSERT_TRUE(nice.done.wait(kGenerousWait));
  // A higher nice value is a lower priority. Only a lower bound: the hint may be refused.
  EXPECT_GE(nice.value, getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
}
#endif

TEST(ClockTest, TheTickCountAdvancesAcrossASleep) {
  const std::uint32_t before = platform::tickCount();
  platform::sleepMilliseconds(100);
  const std::uint32_t after = platform::tickCount();
  // Unsigned difference: correct across the 2^32 wrap. A lower bound only, with room for a
  // tick of 16 ms; no upper bound, since a busy machine may sleep much longer.
  const std::uint32_t elapsed = after - before;
  EXPECT_GE(elapsed, 80u);
  EXPECT_LT(elapsed, 0x80000000u);  // it went forwards
}

TEST(ClockTest, TheTickCountNeverGoesBackwards) {
  std::uint32_t previous = platform::tickCount();
  for (int i = 0; i < 1000; ++i) {
    const std::uint32_t now = platform::tickCount();
    EXPECT_LT(now - previous, 0x80000000u);
    previous = now;
  }
}

TEST(ClockTest, ZeroSleepsAndYieldsReturn) {
  platform::sleepMilliseconds(0);
  platform::yieldThread();
  SUCCEED();
}

}  // namespace
}  // namespace vintrove::test
