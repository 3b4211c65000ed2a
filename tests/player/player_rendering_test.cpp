// Rendering blocks of a decoded file: speed ratio, position advance, end of file with and
// without loop, the position display cadence, the samples themselves, and bad host input.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "loader_test_support.h"
#include "player_test_support.h"
#include "reference_decode.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

constexpr float kUntouched = 7.0f;
const char* const kFile = "l3_44k1_stereo_128k_notag.mp3";

// Two output channels filled with a value, as the host hands them over.
struct Block {
  explicit Block(std::int32_t frames, float fill = kUntouched)
      : left(static_cast<std::size_t>(frames), fill), right(static_cast<std::size_t>(frames), fill) {}
  float** outputs() {
    pointers[0] = left.data();
    pointers[1] = right.data();
    return pointers;
  }
  bool allEqual(float value) const {
    for (std::size_t i = 0; i < left.size(); ++i) {
      if (left[i] != value || right[i] != value) return false;
    }
    return true;
  }
  std::vector<float> left;
  std::vector<float> right;
  float* pointers[2] = {};
};

// A player with the whole test file decoded, stopped, at position 0 and with a clean port. It
// plays with Smooth off, the nearest lower sample, unless a test turns Smooth on.
struct LoadedPlayer : RecordedPlayer {
  LoadedPlayer() {
    player->setSmooth(false);
    player->loadFile(testDataPath(kFile).c_str());
    ClusterSampleLoader& loader = *player->getLoader();
    loaded = waitUntil(
        [&] { return loader.isComplete() && player->getLength() == loader.getDecodedFrames(); });
    frames = loader.getDecodedFrames();
    player->setPlaying(false);
    player->setPitch(0.5f);
    port.clear();
  }
  // Replaces the loader's length with a shorter one for end-of-file cases.
  void useLength(std::int32_t length) {
    player->setLength(length);
    port.clear();
  }
  void render(std::int32_t blockFrames, bool replace) {
    Block block(blockFrames);
    if (replace) {
      player->processReplacing(nullptr, block.outputs(), blockFrames);
    } else {
      player->process(nullptr, block.outputs(), blockFrames);
    }
  }
  bool loaded = false;
  std::int32_t frames = 0;
};

// Replacing means every output sample is written: a block with nothing to play is silence (a
// host that reuses its buffers would otherwise hear its last block again); adding adds nothing.
TEST(PlayerRendering, BlocksWithNothingToPlayAreSilenceWhenReplacingAndUntouchedWhenAdding) {
  struct Case {
    const char* what;
    std::int32_t length;  // 0: none
    bool playing;
    float hostRate;
  };
  const Case cases[] = {{"no length", 0, true, 44100.0f},
                        {"not playing", 1000, false, 44100.0f},
                        {"unusable host rate", 1000, true, 0.0f}};
  for (const Case& c : cases) {
    for (bool replace : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (replace ? " replacing" : " adding"));
      LoadedPlayer p;
      ASSERT_TRUE(p.loaded);
      p.useLength(c.length);
      if (c.length > 0) p.player->setPosition(0.5f);
      p.player->setSampleRate(c.hostRate);
      p.port.clear();
      const std::int32_t before = p.player->getPosition();
      p.player->setPlaying(c.playing);
      Block block(512);
      if (replace) {
        p.player->processReplacing(nullptr, block.outputs(), 512);
      } else {
        p.player->process(nullptr, block.outputs(), 512);
      }
      EXPECT_TRUE(block.allEqual(replace ? 0.0f : kUntouched));
      EXPECT_EQ(p.player->getPosition(), before);
      EXPECT_TRUE(p.port.positions.empty());
      EXPECT_TRUE(p.port.playingShown.empty());
    }
  }
}

TEST(PlayerRendering, BlocksOfNoFramesTouchNothing) {
  for (std::int32_t frames : {0, -5}) {
    LoadedPlayer p;
    ASSERT_TRUE(p.loaded);
    p.player->setPlaying(true);
    Block block(512);
    p.player->processReplacing(nullptr, block.outputs(), frames);
    p.player->process(nullptr, block.outputs(), frames);
    EXPECT_TRUE(block.allEqual(kUntouched));
    EXPECT_EQ(p.player->getPosition(), 0);
  }
}

// The position keeps the fraction of a frame: after n blocks it is the whole part of
// n x frames x ratio, with the ratio as the 32-bit float the player computes.
TEST(PlayerRendering, PositionAdvancesByExactlyFramesTimesRatio) {
  struct Case {
    const char* what;
    float hostRate;
    float pitchSlider;  // 0.5 is 0 per cent
    std::int32_t frames;
  };
  const Case cases[] = {
      {"same rates", 44100.0f, 0.5f, 512},     {"48 kHz host", 48000.0f, 0.5f, 512},
      {"pitch -12", 44100.0f, 0.0f, 512},      {"pitch +12", 44100.0f, 1.0f, 512},
      {"22.05 kHz host", 22050.0f, 0.5f, 100}, {"odd block at 48 kHz", 48000.0f, 0.5f, 333},
      {"16-frame blocks at 48 kHz", 48000.0f, 0.5f, 16},
  };
  for (const Case& c : cases) {
    for (bool replace : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (replace ? " replacing" : " adding"));
      LoadedPlayer p;
      ASSERT_TRUE(p.loaded);
      p.player->setSampleRate(c.hostRate);
      p.player->setPitch(c.pitchSlider);
      p.player->setPlaying(true);
      const double ratio = static_cast<float>((p.player->getPitch() * 0.01 + 1.0) / c.hostRate * 44100.0);
      for (int block = 1; block <= 5; ++block) {
        p.render(c.frames, replace);
        EXPECT_EQ(p.player->getPosition(),
                  static_cast<std::int32_t>(std::floor(block * c.frames * ratio)));
      }
      EXPECT_TRUE(p.player->isPlaying());
    }
  }
}

// Output sample n since the start reads the stored frame floor(n x ratio), whatever the host's
// block size; blocks of 1, 7, 64, 100 and 4096 frames and blocks split unevenly (as at
// automation points) all give the same samples and the same position.
TEST(PlayerRendering, EveryBlockSizeFollowsTheExactSteppingRule) {
  const ReferenceDecode reference = referenceDecodeFile(testDataPath(kFile));
  ASSERT_EQ(reference.channels, 2);
  constexpr std::int32_t kTotal = 3 * 4096;
  const std::vector<std::int32_t> uneven = {5, 93, 1, 400, 17, 64, 250};
  struct Case {
    const char* what;
    std::vector<std::int32_t> blocks;  // repeated until kTotal frames are rendered
  };
  const Case cases[] = {{"1", {1}},     {"7", {7}},       {"64", {64}},
                        {"100", {100}}, {"4096", {4096}}, {"uneven", uneven}};
  for (float hostRate : {48000.0f, 44100.0f}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(hostRate));
      LoadedPlayer p;
      ASSERT_TRUE(p.loaded);
      p.player->setSampleRate(hostRate);
      p.player->setPitch(0.9f);
      p.player->setPlaying(true);
      const double ratio =
          static_cast<float>((p.player->getPitch() * 0.01 + 1.0) / hostRate * 44100.0);
      Block all(kTotal);
      std::int32_t done = 0;
      for (std::size_t b = 0; done < kTotal; ++b) {
        const std::int32_t frames = std::min(c.blocks[b % c.blocks.size()], kTotal - done);
        float* outputs[2] = {all.left.data() + done, all.right.data() + done};
        p.player->processReplacing(nullptr, outputs, frames);
        done += frames;
      }
      int wrong = 0;
      for (std::int32_t n = 0; n < kTotal && wrong < 5; ++n) {
        const auto at = static_cast<std::size_t>(std::floor(n * ratio));
        const auto i = static_cast<std::size_t>(n);
        if (all.left[i] != reference.samples[0][at] || all.right[i] != reference.samples[1][at]) {
          ADD_FAILURE() << "output " << n << " should be stored frame " << at;
          ++wrong;
        }
      }
      EXPECT_EQ(p.player->getPosition(), static_cast<std::int32_t>(std::floor(kTotal * ratio)));
    }
  }
}

// Opcode 43 (block size and sample rate together) sets the rate that rendering follows, as
// opcode 10 does.
TEST(PlayerRendering, BothRateOpcodesSetTheRenderingRate) {
  for (std::int32_t opcode : {10, 43}) {
    SCOPED_TRACE(opcode);
    LoadedPlayer p;
    ASSERT_TRUE(p.loaded);
    EffectRecord* record = p.player->getRecord();
    record->dispatcher(record, opcode, 0, 512, nullptr, 48000.0f);
    p.player->setPlaying(true);
    p.render(512, true);
    p.render(512, true);
    EXPECT_EQ(p.player->getPosition(), static_cast<std::int32_t>(std::floor(1024 * 0.91875f)));
  }
}

TEST(PlayerRendering, TheEndOfTheFileStopsOrWraps) {
  struct Case {
    const char* what;
    float start;
    bool loop;
    std::int32_t position;
    bool playing;
  };
  const Case cases[] = {{"stop", 0.8f, false, 0, false},
                        {"wrap", 0.8f, true, 312, true},
                        {"exactly the length goes on", 0.488f, false, 1000, true},
                        {"exactly the length goes on with loop", 0.488f, true, 1000, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoadedPlayer p;
    ASSERT_TRUE(p.loaded);
    p.useLength(1000);
    p.player->setPosition(c.start);
    p.player->setLoop(c.loop);
    p.player->setPlaying(true);
    p.port.clear();
    p.render(512, true);
    EXPECT_EQ(p.player->getPosition(), c.position);
    EXPECT_EQ(p.player->isPlaying(), c.playing);
    if (c.playing) {
      EXPECT_TRUE(p.port.playingShown.empty());
      EXPECT_TRUE(p.port.positions.empty());
    } else {
      ASSERT_EQ(p.port.playingShown.size(), 1u);
      EXPECT_FALSE(p.port.playingShown[0]);
      ASSERT_EQ(p.port.positions.size(), 1u);
      EXPECT_EQ(p.port.positions[0].fraction, 0.0f);
      EXPECT_EQ(p.port.positions[0].seconds, 0);
    }
  }
}

TEST(PlayerRendering, ABlockEndingOnTheLengthEndsThePassWithTheNextBlock) {
  LoadedPlayer p;
  ASSERT_TRUE(p.loaded);
  p.useLength(1000);
  p.player->setPosition(0.488f);
  p.player->setPlaying(true);
  p.render(512, false);
  EXPECT_EQ(p.player->getPosition(), 1000);
  p.render(512, false);
  EXPECT_EQ(p.player->getPosition(), 0);
  EXPECT_FALSE(p.player->isPlaying());
  // Stopped: the next block plays nothing.
  Block block(512);
  p.player->process(nullptr, block.outputs(), 512);
  EXPECT_TRUE(block.allEqual(kUntouched));
  p.player->processReplacing(nullptr, block.outputs(), 512);
  EXPECT_TRUE(block.allEqual(0.0f));
}

// A file shorter than a block wraps modulo its length, block after block, and the position
// parameter stays within 0 to 1.
TEST(PlayerRendering, TheLoopWrapsModuloTheLength) {
  LoadedPlayer p;
  ASSERT_TRUE(p.loaded);
  p.useLength(100);
  p.player->setPosition(0.8f);
  p.player->setLoop(true);
  p.player->setPlaying(true);
  std::int64_t expected = 80;
  for (int block = 0; block < 12; ++block) {
    p.render(512, block % 2 == 0);
    expected = (expected + 512) % 100;
    EXPECT_EQ(p.player->getPosition(), expected);
    const float fraction = p.player->getParameter(2);
    EXPECT_GE(fraction, 0.0f);
    EXPECT_LE(fraction, 1.0f);
  }
  EXPECT_TRUE(p.player->isPlaying());
}

TEST(PlayerRendering, ThePositionParameterStaysWithinOneWhenTheLengthShrinks) {
  LoadedPlayer p;
  ASSERT_TRUE(p.loaded);
  p.useLength(1000);
  p.player->setPosition(1.0f);
  p.useLength(400);  // the exact length came in below the estimate
  EXPECT_EQ(p.player->getParameter(2), 1.0f);
  char text[16] = {};
  p.player->getParameterDisplay(2, text);
  EXPECT_STREQ(text, "1.000000");
  // The next block ends the pass.
  p.player->setPlaying(true);
  p.render(64, true);
  EXPECT_EQ(p.player->getPosition(), 0);
  EXPECT_FALSE(p.player->isPlaying());
}

TEST(PlayerRendering, ThePositionDisplayMovesAfterMoreThan4000Frames) {
  LoadedPlayer p;
  ASSERT_TRUE(p.loaded);
  p.player->setPlaying(true);
  std::vector<int> refreshedAt;
  for (int block = 1; block <= 24; ++block) {
    const std::size_t before = p.port.positions.size();
    p.render(512, true);
    if (p.port.positions.size() != before) refreshedAt.push_back(block);
  }
  // 4096 keeps 96, 4192 keeps 192, 4288 keeps 288.
  EXPECT_EQ(refreshedAt, (std::vector<int>{8, 16, 24}));
  ASSERT_EQ(p.port.positions.size(), 3u);
  EXPECT_FLOAT_EQ(p.port.positions[0].fraction, 4096.0f / static_cast<float>(p.frames));
  EXPECT_EQ(p.port.positions[0].seconds, 0);
  EXPECT_FLOAT_EQ(p.port.positions[2].fraction, 12288.0f / static_cast<float>(p.frames));
}

TEST(PlayerRendering, ThePositionDisplayCountsFileFramesNotOutputFrames) {
  LoadedPlayer p;
  ASSERT_TRUE(p.loaded);
  p.player->setSampleRate(22050.0f);  // 1024 file frames per block of 512
  p.player->setPlaying(true);
  std::vector<int> refreshedAt;
  for (int block = 1; block <= 8; ++block) {
    const std::size_t before = p.port.positions.size();
    p.render(512, true);
    if (p.port.positions.size() != before) refreshedAt.push_back(block);
  }
  // 4096 keeps 96; then 96 + 4 x 1024 = 4192.
  EXPECT_EQ(refreshedAt, (std::vector<int>{4, 8}));
}

// The decoded file played through the player matches a plain decode sample for sample.
class PlayerSamples : public ::testing::Test {
 protected:
  void SetUp() override {
    reference = referenceDecodeFile(testDataPath(kFile));
    ASSERT_TRUE(p.loaded);
    ASSERT_EQ(reference.channels, 2);
    ASSERT_EQ(static_cast<std::int32_t>(reference.samples[0].size()), p.frames);
    p.player->setPlaying(true);
  }

  // Block i reads sample index(i) of the reference; adding mode starts from base.
  template <typename Index>
  void expectBlock(bool replace, float base, Index index) {
    Block block(512, base);
    if (replace) {
      p.player->processReplacing(nullptr, block.outputs(), 512);
    } else {
      p.player->process(nullptr, block.outputs(), 512);
    }
    int wrong = 0;
    for (std::int32_t i = 0; i < 512 && wrong < 5; ++i) {
      const auto at = static_cast<std::size_t>(index(i));
      const float expectedLeft = replace ? reference.samples[0][at] : base + reference.samples[0][at];
      const float expectedRight =
          replace ? reference.samples[1][at] : base + reference.samples[1][at];
      if (block.left[static_cast<std::size_t>(i)] != expectedLeft ||
          block.right[static_cast<std::size_t>(i)] != expectedRight) {
        ADD_FAILURE() << "output " << i << " should be stored frame " << at;
        ++wrong;
      }
    }
  }

  LoadedPlayer p;
  ReferenceDecode reference;
};

TEST_F(PlayerSamples, AtRatioOneEveryFrameInTurnReplacingThenAdding) {
  expectBlock(true, 0.0f, [](std::int32_t i) { return i; });
  expectBlock(false, 0.25f, [](std::int32_t i) { return 512 + i; });
  expectBlock(true, 0.0f, [](std::int32_t i) { return 1024 + i; });
  EXPECT_EQ(p.player->getPosition(), 1536);
}

TEST_F(PlayerSamples, AtPitchPlusTwelveTheNearestLowerSample) {
  p.player->setPitch(1.0f);
  const double ratio = 1.12f;
  expectBlock(true, 0.0f, [&](std::int32_t i) { return static_cast<std::int32_t>(i * ratio); });
  // The fraction of a frame carries into the next block.
  expectBlock(false, -0.5f,
              [&](std::int32_t i) { return static_cast<std::int32_t>((512 + i) * ratio); });
  EXPECT_EQ(p.player->getPosition(), static_cast<std::int32_t>(1024 * ratio));
}

TEST_F(PlayerSamples, OnA48kHzHostTheFileIsStretched) {
  p.player->setSampleRate(48000.0f);
  const double ratio = 0.91875f;
  expectBlock(true, 0.0f, [&](std::int32_t i) { return static_cast<std::int32_t>(i * ratio); });
  expectBlock(true, 0.0f,
              [&](std::int32_t i) { return static_cast<std::int32_t>((512 + i) * ratio); });
}

TEST_F(PlayerSamples, WithLoopABlockRunsOffTheEndIntoTheStart) {
  p.player->setLoop(true);
  p.player->setPosition(static_cast<float>(p.frames - 100) / static_cast<float>(p.frames));
  const std::int32_t start = p.player->getPosition();
  const std::int32_t left = p.frames - start;
  ASSERT_GT(left, 0);
  ASSERT_LT(left, 512);
  expectBlock(true, 0.0f, [&](std::int32_t i) { return i < left ? start + i : i - left; });
  EXPECT_EQ(p.player->getPosition(), 512 - left);
  EXPECT_TRUE(p.player->isPlaying());
  expectBlock(false, 1.0f, [&](std::int32_t i) { return 512 - left + i; });
}

TEST_F(PlayerSamples, WithoutLoopThePartPastTheEndIsSilence) {
  p.player->setPosition(static_cast<float>(p.frames - 100) / static_cast<float>(p.frames));
  const std::int32_t start = p.player->getPosition();
  const std::int32_t left = p.frames - start;
  ASSERT_GT(left, 0);
  ASSERT_LT(left, 512);
  Block block(512, kUntouched);
  p.player->processReplacing(nullptr, block.outputs(), 512);
  for (std::int32_t i = 0; i < 512; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const float expected = i < left ? reference.samples[0][static_cast<std::size_t>(start + i)] : 0.0f;
    ASSERT_EQ(block.left[at], expected) << "output " << i;
  }
  EXPECT_FALSE(p.player->isPlaying());
  EXPECT_EQ(p.player->getPosition(), 0);
}

TEST(PlayerHostInput, UnusableHostRatesRenderNothingUntilAUsableOneArrives) {
  const float rates[] = {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(), 1e-6f};
  for (float rate : rates) {
    SCOPED_TRACE(rate);
    LoadedPlayer p;
    ASSERT_TRUE(p.loaded);
    p.player->setPlaying(true);
    p.player->setSampleRate(rate);
    for (bool replace : {true, false}) {
      Block block(512);
      if (replace) {
        p.player->processReplacing(nullptr, block.outputs(), 512);
      } else {
        p.player->process(nullptr, block.outputs(), 512);
      }
      EXPECT_TRUE(block.allEqual(replace ? 0.0f : kUntouched));
    }
    EXPECT_EQ(p.player->getPosition(), 0);
    EXPECT_TRUE(p.port.positions.empty());
    p.player->setSampleRate(44100.0f);
    p.render(512, true);
    EXPECT_EQ(p.player->getPosition(), 512);
  }
}

TEST(PlayerHostInput, MissingOutputBuffersAreNotTouchedAndThePositionWaits) {
  LoadedPlayer p;
  ASSERT_TRUE(p.loaded);
  p.player->setPlaying(true);
  std::vector<float> right(512, kUntouched);
  float* leftMissing[2] = {nullptr, right.data()};
  float* rightMissing[2] = {right.data(), nullptr};
  for (float** outputs : {static_cast<float**>(nullptr), leftMissing, rightMissing}) {
    p.player->processReplacing(nullptr, outputs, 512);
    p.player->process(nullptr, outputs, 512);
  }
  EXPECT_EQ(p.player->getPosition(), 0);
  for (float value : right) EXPECT_EQ(value, kUntouched);
  EffectRecord* record = p.player->getRecord();
  record->processReplacing(record, nullptr, nullptr, 512);
  EXPECT_EQ(p.player->getPosition(), 0);
}

// The audio thread renders and the GUI thread automates while the decoding thread reports; run
// under ThreadSanitizer this shows the transport values are shared without races.
TEST(PlayerThreads, RenderingAutomationAndDecodingRunTogether) {
  PlaceholderPlayer p;
  p.player->setSampleRate(48000.0f);
  p.player->loadFile(testDataPath(kFile).c_str());
  std::atomic<bool> done{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    Block block(512);
    while (!done.load()) {
      p.player->processReplacing(nullptr, block.outputs(), 512);
      p.player->process(nullptr, block.outputs(), 512);
      blocks.fetch_add(1);
    }
  });
  ClusterSampleLoader& loader = *p.player->getLoader();
  MidiEventList keys({midiEvent(0x90, 10, 100), midiEvent(0x90, 22, 100)});
  for (int i = 0; !loader.isComplete() || i < 200; ++i) {
    p.player->setParameter(1, static_cast<float>(i % 2));
    p.player->setParameter(2, 0.001f * static_cast<float>(i % 1000));
    p.player->processEvents(keys.get());
    p.player->getParameter(2);
    if (i % 50 == 0) p.player->setParameter(0, 1.0f);
    if (!waitUntil([&] { return blocks.load() > i / 4; })) break;
  }
  done.store(true);
  audio.join();
  EXPECT_TRUE(loader.isComplete());
  EXPECT_EQ(p.player->getLength(), loader.getDecodedFrames());
  EXPECT_GE(p.player->getPosition(), 0);
  EXPECT_LE(p.player->getPosition(), p.player->getLength());
}

}  // namespace
}  // namespace vintrove::test
