// Keeps a release of the sample store from overlapping a read in progress, without ever making
// the read wait. The audio thread holds a ReadPass around each read and plays silence when it
// gets none; the decoding thread holds a ReleaseHold while it frees the store, which closes the
// gate to new readers and waits for those already inside to leave.
//
//   StoreGate::ReadPass pass(gate);            StoreGate::ReleaseHold hold(gate);
//   if (!pass) { /* silence */ }               store.release();
//
// Readers announce themselves before they look at the gate and the writer closes the gate
// before it counts readers; with sequentially consistent order one of the two always sees the
// other.
#pragma once

#include <atomic>
#include <cstdint>

namespace vintrove {

class StoreGate {
 public:
  StoreGate() = default;
  StoreGate(const StoreGate&) = delete;
  StoreGate& operator=(const StoreGate&) = delete;

  class ReadPass {
   public:
    explicit ReadPass(StoreGate& gate);
    ~ReadPass();
    ReadPass(const ReadPass&) = delete;
    ReadPass& operator=(const ReadPass&) = delete;

    explicit operator bool() const { return admitted_; }

   private:
    StoreGate& gate_;
    bool admitted_;
  };

  class ReleaseHold {
   public:
    explicit ReleaseHold(StoreGate& gate);
    ~ReleaseHold();
    ReleaseHold(const ReleaseHold&) = delete;
    ReleaseHold& operator=(const ReleaseHold&) = delete;

   private:
    StoreGate& gate_;
  };

 private:
  std::atomic<std::int32_t> readers_{0};
  // A count rather than a flag, so that nested or overlapping holds reopen only at the last.
  std::atomic<std::int32_t> holds_{0};
};

}  // namespace vintrove
