#include "state_round_trip.h"

#include <vector>

namespace vintrove::testhost {

namespace {

std::string roundTrip(EffectSession& effect, bool isPreset, std::size_t& size) {
  const char* kind = isPreset ? "program" : "bank";
  const std::vector<unsigned char> first = effect.getChunk(isPreset);
  size = first.size();
  if (first.empty()) return std::string("no ") + kind + " chunk handed out";
  if (effect.setChunk(first, isPreset) != 1) return std::string("its own ") + kind + " chunk refused";
  const std::vector<unsigned char> second = effect.getChunk(isPreset);
  if (second != first) return std::string("the ") + kind + " chunk changed after a round trip";
  return {};
}

}  // namespace

ChunkRoundTrip checkChunkRoundTrip(EffectSession& effect) {
  ChunkRoundTrip result;
  if (!effect.valid() || (effect.record()->flags & kFlagProgramChunks) == 0) {
    result.problem = "the effect does not announce chunks";
    return result;
  }
  std::size_t programBytes = 0;
  result.problem = roundTrip(effect, false, result.bytes);
  if (result.problem.empty()) result.problem = roundTrip(effect, true, programBytes);
  result.passed = result.problem.empty();
  return result;
}

}  // namespace vintrove::testhost
