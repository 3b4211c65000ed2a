// The fading voices of Smooth playback at the end of the longest file a store holds, 2^31 - 1
// frames, whose 32.32 positions lie within 2^32 of 2^63: a voice fading out across the end wraps
// to the file's start with Loop and stops at the end without it, and every position it asks for
// lies inside the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "player/fixed_frames.h"
#include "player/transport_fades.h"

namespace vintrove::test {
namespace {

TEST(TransportFades, AVoiceAtTheEndOfTheLongestFileWrapsWithLoopAndStopsWithout) {
  const FixedFrames end = wholeFrames(std::numeric_limits<std::int32_t>::max());
  const FixedFrames step = kOneFrame * 3 / 2;
  for (const bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "loop" : "no loop");
    TransportFades fades;
    fades.setHostRate(44100.0f);  // ramps of 221 frames
    fades.fadeOutMain(end - wholeFrames(10), 7);
    std::vector<FixedFrames> asked;
    std::vector<std::int32_t> counts;
    auto read = [&](FixedFrames at, FixedFrames, float* left, float* right, std::int32_t n) {
      asked.push_back(at);
      counts.push_back(n);
      std::fill_n(left, n, 1.0f);
      std::fill_n(right, n, 1.0f);
      return true;
    };
    std::vector<float> left(256, 0.0f), right(256, 0.0f);
    for (int block = 0; block < 4; ++block) {
      fades.addFades(left.data() + 64 * block, right.data() + 64 * block, 64, step, end, loop, 7, read);
    }
    for (const FixedFrames at : asked) {
      EXPECT_GE(at, 0);
      EXPECT_LT(at, end);
    }
    if (loop) {
      // 64 frames of 1.5 from 10 before the end: 86 frames into the next pass, and so on.
      const std::vector<FixedFrames> expected = {end - wholeFrames(10), wholeFrames(86), wholeFrames(182),
                                                 wholeFrames(278)};
      EXPECT_EQ(asked, expected);
      EXPECT_NEAR(left[219], 1.0f / 221.0f, 1e-5f) << "the voice fades to its end";
    } else {
      // The frames at 0, 1.5, .. 9 before the end, then the voice is done.
      EXPECT_EQ(asked, std::vector<FixedFrames>{end - wholeFrames(10)});
      EXPECT_EQ(counts, std::vector<std::int32_t>{7});
      EXPECT_NEAR(left[6], 1.0f - 7.0f / 221.0f, 1e-6f);
      EXPECT_EQ(left[7], 0.0f);
    }
    EXPECT_FALSE(fades.fading());
  }
}

}  // namespace
}  // namespace vintrove::test
