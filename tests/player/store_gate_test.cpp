// The gate between the audio thread's reads and the decoding thread's release of the store:
// readers are never made to wait, and a release never overlaps a read in progress.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "player/cluster_store.h"
#include "player/store_gate.h"

namespace vintrove::test {
namespace {

bool readerAdmitted(StoreGate& gate) {
  StoreGate::ReadPass pass(gate);
  return static_cast<bool>(pass);
}

TEST(StoreGate, AdmitsReadersOnlyWhileNoHoldExists) {
  StoreGate gate;
  EXPECT_TRUE(readerAdmitted(gate));
  {
    StoreGate::ReleaseHold hold(gate);
    EXPECT_FALSE(readerAdmitted(gate));
    {
      StoreGate::ReleaseHold second(gate);
      EXPECT_FALSE(readerAdmitted(gate));
    }
    EXPECT_FALSE(readerAdmitted(gate)) << "the gate stays closed until the last hold ends";
  }
  EXPECT_TRUE(readerAdmitted(gate));
}

TEST(StoreGate, ReadersInsideDoNotKeepOthersOut) {
  StoreGate gate;
  StoreGate::ReadPass first(gate);
  StoreGate::ReadPass second(gate);
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

TEST(StoreGate, RefusedReadersDoNotHoldUpTheWriter) {
  StoreGate gate;
  {
    StoreGate::ReleaseHold hold(gate);
    StoreGate::ReadPass refused(gate);
    EXPECT_FALSE(refused);
    // Still inside the refused pass's scope: a second hold must not wait for it.
    StoreGate::ReleaseHold another(gate);
  }
  EXPECT_TRUE(readerAdmitted(gate));
}

// A reader is inside; the writer's hold must not complete until it has left.
TEST(StoreGate, HoldWaitsForTheReaderInside) {
  StoreGate gate;
  std::atomic<bool> readerInside{false};
  std::atomic<bool> readerMayLeave{false};
  std::atomic<int> order{0};
  int readerLeftAt = -1;
  int holdTakenAt = -1;

  std::thread reader([&] {
    {
      StoreGate::ReadPass pass(gate);
      EXPECT_TRUE(pass);
      readerInside.store(true);
      while (!readerMayLeave.load()) {
        std::this_thread::yield();
      }
      readerLeftAt = order.fetch_add(1);
    }
  });
  while (!readerInside.load()) {
    std::this_thread::yield();
  }

  std::thread writer([&] {
    StoreGate::ReleaseHold hold(gate);
    holdTakenAt = order.fetch_add(1);
  });
  // Once new readers are turned away the writer has closed the gate and is waiting (a hold
  // that did not wait would be taken instead).
  while (readerAdmitted(gate) && order.load() == 0) {
    std::this_thread::yield();
  }
  EXPECT_EQ(order.load(), 0) << "the hold was taken while a reader was inside";
  readerMayLeave.store(true);
  reader.join();
  writer.join();
  EXPECT_EQ(readerLeftAt, 0);
  EXPECT_EQ(holdTakenAt, 1);
  EXPECT_TRUE(readerAdmitted(gate));
}

// The decoding thread replaces the store over and over while the audio thread reads it, and
// lets at least one read through between replacements so that reads and releases keep
// meeting. Each generation holds one value throughout, so a read that overlapped a
// replacement would mix values, and the sanitizers would see the freed memory or the race.
TEST(StoreGate, ReplacementsNeverOverlapReads) {
  constexpr std::int32_t kFrames = 1000;
  constexpr int kGenerations = 300;
  ClusterStore store;
  StoreGate gate;
  std::atomic<std::int32_t> length{0};
  std::atomic<int> completedReads{0};
  std::atomic<bool> writerDone{false};
  std::atomic<bool> readerDone{false};

  std::thread writer([&] {
    std::vector<float> block(kFrames);
    for (int generation = 1; generation <= kGenerations; ++generation) {
      {
        StoreGate::ReleaseHold hold(gate);
        length.store(0);
        store.release();
        if (!store.allocate(1, kFrames)) {
          ADD_FAILURE() << "allocation failed";
          break;
        }
        block.assign(kFrames, static_cast<float>(generation));
        store.append(block.data(), nullptr, 1, 0, kFrames);
        length.store(kFrames);
      }
      const int seen = completedReads.load();
      while (completedReads.load() == seen && !readerDone.load()) {
        std::this_thread::yield();
      }
    }
    writerDone.store(true);
  });

  std::vector<float> out(512);
  bool mixed = false;
  bool lastRound = false;
  while (!lastRound && !mixed) {
    lastRound = writerDone.load();
    StoreGate::ReadPass pass(gate);
    if (!pass) {
      continue;
    }
    const std::int32_t frames = length.load();
    if (frames == 0) {
      continue;
    }
    const int reads = completedReads.load();
    store.readChannel(out.data(), 0, 512, reads * 37 % kFrames, 1.3f, true, frames);
    for (float value : out) {
      mixed = mixed || value != out[0];
    }
    completedReads.fetch_add(1);
  }
  readerDone.store(true);
  writer.join();
  EXPECT_FALSE(mixed) << "a read saw two generations";
  EXPECT_EQ(out[0], static_cast<float>(kGenerations)) << "the read after the last replacement";
}

}  // namespace
}  // namespace vintrove::test
