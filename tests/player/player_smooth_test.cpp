// Smooth playback through the player, against the decoded file: at matched rates it is the stored
// samples once a start has ramped in; a jump crossfades from the old position to the new; the
// loop's wrap is not faded; a new file fades out what was heard instead of cutting it. The keys'
// own frames are player_midi_test's; the stop's ramp and the acceptance figures are measured
// through our host (tests/e2e/smooth_sound_e2e_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "decoded_player.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

const char* const kOtherFile = "l2_48k_stereo_192k.mp2";

float largestStep(const std::vector<float>& samples, float before, std::size_t from, std::size_t to) {
  float largest = 0.0f;
  float last = before;
  for (std::size_t i = from; i < to; ++i) {
    largest = std::max(largest, std::fabs(samples[i] - last));
    last = samples[i];
  }
  return largest;
}

TEST(SmoothPlayback, AtMatchedRatesAStartRampsInAndThenPlaysTheStoredSamples) {
  DecodedPlayer s;
  ASSERT_TRUE(s.loaded);
  ASSERT_TRUE(s.player().isSmooth());
  s.player().setPlaying(true);
  const Stereo first = s.render(4096);
  for (std::int32_t k = 0; k < 4096; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const float gain = k < s.ramp ? static_cast<float>(k + 1) / static_cast<float>(s.ramp) : 1.0f;
    ASSERT_NEAR(first.left[i], gain * s.stored(0, k), 1e-6f) << k;
    if (k >= s.ramp) {
      ASSERT_EQ(first.left[i], s.stored(0, k)) << k;
      ASSERT_EQ(first.right[i], s.stored(1, k)) << k;
    }
  }
  // Bit for bit what Smooth off plays.
  const Stereo smooth = s.render(4096);
  s.player().setSmooth(false);
  s.player().setPosition(0.0f);
  s.render(4096);
  const Stereo hard = s.render(4096);
  EXPECT_EQ(smooth.left, hard.left);
  EXPECT_EQ(smooth.right, hard.right);
}

// A position change from the slider: the old position goes on fading out while the new one ramps
// in, so the sum stays within the music's own steps.
TEST(SmoothPlayback, AJumpCrossfadesFromTheOldPositionToTheNew) {
  DecodedPlayer s;
  ASSERT_TRUE(s.loaded);
  s.player().setPlaying(true);
  s.render(3000);
  const std::int32_t old = s.player().getPosition();
  s.player().setPosition(0.5f);
  const std::int32_t cue = s.player().getPosition();
  const Stereo out = s.render(1024);
  for (std::int32_t k = 0; k < 1024; ++k) {
    const float in = k < s.ramp ? static_cast<float>(k + 1) / static_cast<float>(s.ramp) : 1.0f;
    const float expected = (1.0f - in) * s.stored(0, old + k) + in * s.stored(0, cue + k);
    ASSERT_NEAR(out.left[static_cast<std::size_t>(k)], expected, 2e-6f) << k;
  }
  const float own = std::max(s.musicStep(old, s.ramp), s.musicStep(cue, s.ramp));
  EXPECT_LE(largestStep(out.left, s.stored(0, old - 1), 0, static_cast<std::size_t>(s.ramp)),
            own + 2.0f / static_cast<float>(s.ramp));
}

TEST(SmoothPlayback, TheLoopsWrapIsNotFaded) {
  DecodedPlayer s;
  ASSERT_TRUE(s.loaded);
  const std::int32_t length = s.player().getLength();
  s.player().setLoop(true);
  s.player().setPlaying(true);
  s.render(1024);  // the ramp is done
  s.player().setPosition(static_cast<float>(length - 2000) / static_cast<float>(length));
  s.render(1024);  // the crossfade is done
  const std::int32_t at = s.player().getPosition();
  ASSERT_GT(at + 2048, length);
  const Stereo out = s.render(2048);
  for (std::int32_t k = 0; k < 2048; ++k) {
    ASSERT_EQ(out.left[static_cast<std::size_t>(k)], s.stored(0, (at + k) % length)) << k;
  }
  EXPECT_TRUE(s.player().isPlaying());
}

// Choosing another file while one plays: the old file's store is gone at once, so what was last
// heard fades out backwards from the last frame played; the new file then ramps in.
TEST(SmoothPlayback, ANewFileFadesOutWhatWasHeardWithoutAStep) {
  for (bool smooth : {true, false}) {
    SCOPED_TRACE(smooth ? "smooth" : "hard");
    DecodedPlayer s;
    ASSERT_TRUE(s.loaded);
    s.player().setSmooth(smooth);
    s.player().setPlaying(true);
    s.render(1024);
    // Run up to where the block's last frame is loud.
    const std::int32_t at = s.player().getPosition();
    std::int32_t more = 0;
    while (std::fabs(s.stored(0, at + more + 255)) < 0.4f) ++more;
    if (more > 0) s.render(more);
    const Stereo last = s.render(256);
    const float heard = last.left.back();
    ASSERT_GT(std::fabs(heard), 0.4f);
    s.player().loadFile(testDataPath(kOtherFile).c_str());
    const Stereo next = s.render(512);
    const float step = std::fabs(next.left[0] - heard);
    if (smooth) {
      EXPECT_LE(step, s.musicStep(at, 1024)) << next.left[0] << " after " << heard;
    } else {
      EXPECT_GT(step, 0.4f);
    }
  }
}

}  // namespace
}  // namespace vintrove::test
