// The chunk round trip a host's project save and reopen amounts to, on one effect: take the
// state record (opcode 23), give it back (opcode 24), take it again and compare.
#pragma once

#include <cstddef>
#include <string>

#include "effect_session.h"

namespace vintrove::testhost {

struct ChunkRoundTrip {
  bool passed = false;
  std::size_t bytes = 0;  // size of the first record
  std::string problem;    // empty when passed
};

// Checks that an effect announcing chunks (flag 0x020) hands out a record, accepts it back and
// then hands out the same bytes, for the bank's record and the program's.
ChunkRoundTrip checkChunkRoundTrip(EffectSession& effect);

}  // namespace vintrove::testhost
