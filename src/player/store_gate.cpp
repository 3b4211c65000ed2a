#include "player/store_gate.h"

#include <thread>

namespace vintrove {

StoreGate::ReadPass::ReadPass(StoreGate& gate) : gate_(gate), admitted_(false) {
  gate_.readers_.fetch_add(1, std::memory_order_seq_cst);
  if (gate_.holds_.load(std::memory_order_seq_cst) != 0) {
    gate_.readers_.fetch_sub(1, std::memory_order_release);
    return;
  }
  admitted_ = true;
}

StoreGate::ReadPass::~ReadPass() {
  if (admitted_) {
    gate_.readers_.fetch_sub(1, std::memory_order_release);
  }
}

StoreGate::ReleaseHold::ReleaseHold(StoreGate& gate) : gate_(gate) {
  gate_.holds_.fetch_add(1, std::memory_order_seq_cst);
  while (gate_.readers_.load(std::memory_order_seq_cst) != 0) {
    std::this_thread::yield();
  }
}

StoreGate::ReleaseHold::~ReleaseHold() { gate_.holds_.fetch_sub(1, std::memory_order_release); }

}  // namespace vintrove
