// What the player keeps for saving and restoring its state with the host's project: the record
// it hands out last, and the Playing and Position values of a restore still waiting for its file's
// exact length. Used by PlayerEffect (player_state.cpp) only.
#pragma once

#include <atomic>
#include <vector>

#include "platform/lock.h"

namespace vintrove {

struct StateRecall {
  // One load at a time, whichever thread starts it: a restore stops the running load before it
  // waits for its own file's length, so no report of an older load is taken for it.
  platform::Lock loads;
  // Guards the fields below and the player's file name; held only briefly, never around a load.
  platform::Lock state;
  std::vector<unsigned char> chunk;  // the last record handed out by getChunk
  std::atomic<bool> waiting{false};  // a restore waits for the exact length
  bool playing = false;
  double position = 0.0;  // fraction of the length
};

}  // namespace vintrove
