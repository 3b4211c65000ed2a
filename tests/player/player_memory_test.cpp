// A file whose decode ran out of memory, through the player: the editor hears why (at the
// decoded length), the length is what decoded, and the cut file plays from a cue to its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "layer1_writer.h"
#include "loader_test_support.h"
#include "player_test_support.h"
#include "reference_decode.h"
#include "temp_file.h"

namespace vintrove::test {
namespace {

TEST(PlayerOutOfMemory, TheEditorHearsWhyAndTheCutFilePlaysToItsEnd) {
  // 20 s of stereo layer I at 44.1 kHz; memory for four clusters per channel only.
  const std::vector<unsigned char> bytes = writeLayer1(44100, 128, 2, 2297, {{3, 9}, 0.5});
  const ReferenceDecode reference = referenceDecode(bytes);
  TempFile file(bytes, ".mp1");
  RecordedPlayer p;
  p.player->setSampleRate(44100.0f);
  p.player->setPitch(0.5f);  // ratio 1
  p.player->setSmooth(false);  // the stored samples, without the cue's crossfade
  p.player->getLoader()->setClusterBudget(8);
  p.player->loadFile(file.path().c_str());
  ASSERT_TRUE(waitForLoad(*p.player->getLoader()));
  {
    std::lock_guard<std::mutex> guard(p.port.mutex);
    EXPECT_EQ(p.port.outOfMemoryAt, std::vector<std::int32_t>{9});  // 400,000 frames: 0:09
    EXPECT_EQ(p.port.notFound, 0);
  }
  EXPECT_EQ(p.player->getLength(), 400000);

  p.player->setPosition(0.9f);
  const std::int32_t start = p.player->getPosition();
  EXPECT_NEAR(start, 360000, 1);
  std::vector<float> left(512), right(512);
  float* outputs[2] = {left.data(), right.data()};
  std::int32_t at = start;
  while (at < 400000) {
    p.player->processReplacing(nullptr, outputs, 512);
    for (std::int32_t i = 0; i < 512; ++i) {
      const std::int32_t frame = at + i;
      const float expectedLeft = frame < 400000 ? reference.samples[0][static_cast<std::size_t>(frame)] : 0.0f;
      const float expectedRight = frame < 400000 ? reference.samples[1][static_cast<std::size_t>(frame)] : 0.0f;
      ASSERT_EQ(left[static_cast<std::size_t>(i)], expectedLeft) << frame;
      ASSERT_EQ(right[static_cast<std::size_t>(i)], expectedRight) << frame;
    }
    at += 512;
  }
  EXPECT_FALSE(p.player->isPlaying()) << "without loop the cut file ends at its length";
}

}  // namespace
}  // namespace vintrove::test
