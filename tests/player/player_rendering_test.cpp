// Rendering blocks of a decoded file: speed ratio, position advance, end of file with and
// without loop, the position display cadence, the samples themselves, and bad host input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <atomic>
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

// A player with the whole test file decoded, stopped, at position 0 and with a clean port.
struct LoadedPlayer : RecordedPlayer {
  LoadedPlayer() {
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

TEST(PlayerRendering, BlocksThatProduceNothingLeaveTheBuffersAndPosition) {
  struct Case {
    const char* what;
    std::int32_t length;  // 0: none
    bool playing;
    std::int32_t frames;
  };
  const Case cases[] = {{"no length", 0, true, 512},
                        {"zero frames", 1000, true, 0},
                        {"negative frames", 1000, true, -5},
                        {"not playing", 1000, false, 512}};
  for (const Case& c : cases) {
    for (bool replace : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (replace ? " replacing" : " adding"));
      LoadedPlayer p;
      ASSERT_TRUE(p.loaded);
      p.useLength(c.length);
      if (c.length > 0) p.player->setPosition(0.5f);
      p.port.clear();
      const std::int32_t before = p.player->getPosition();
      p.player->setPlaying(c.playing);
      Block block(512);
      if (replace) {
        p.player->processReplacing(nullptr, block.outputs(), c.frames);
      } else {
        p.player->process(nullptr, block.outputs(), c.frames);
      }
      EXPECT_TRUE(block.allEqual(kUntouched));
      EXPECT_EQ(p.player->getPosition(), before);
      EXPECT_TRUE(p.port.positions.empty());
      EXPECT_TRUE(p.port.playingShown.empty());
    }
  }
}

TEST(PlayerRendering, PositionAdvancesByTheTruncatedSpeedRatio) {
  struct Case {
    const char* what;
    float hostRate;
    float pitchSlider;  // 0.5 is 0 per cent
    std::int32_t frames;
    std::int32_t advance;
  };
  const Case cases[] = {
      {"same rates", 44100.0f, 0.5f, 512, 512},
      {"48 kHz host", 48000.0f, 0.5f, 512, 470},
      {"pitch -12", 44100.0f, 0.0f, 512, 450},
      {"pitch +12", 44100.0f, 1.0f, 512, 573},
      {"22.05 kHz host", 22050.0f, 0.5f, 100, 200},
      {"odd block at 48 kHz", 48000.0f, 0.5f, 333, 305},
  };
  for (const Case& c : cases) {
    for (bool replace : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (replace ? " replacing" : " adding"));
      LoadedPlayer p;
      ASSERT_TRUE(p.loaded);
      p.player->setSampleRate(c.hostRate);
      p.player->setPitch(c.pitchSlider);
      p.player->setPlaying(true);
      for (int block = 1; block <= 3; ++block) {
        p.render(c.frames, replace);
        EXPECT_EQ(p.player->getPosition(), block * c.advance);
      }
      EXPECT_TRUE(p.player->isPlaying());
    }
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
  p.player->processReplacing(nullptr, block.outputs(), 512);
  EXPECT_TRUE(block.allEqual(kUntouched));
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
  // The fraction of a frame is dropped at each block: the next starts at 573.
  expectBlock(false, -0.5f,
              [&](std::int32_t i) { return static_cast<std::int32_t>(573 + i * ratio); });
  EXPECT_EQ(p.player->getPosition(), 1146);
}

TEST_F(PlayerSamples, OnA48kHzHostTheFileIsStretched) {
  p.player->setSampleRate(48000.0f);
  const double ratio = 0.91875f;
  expectBlock(true, 0.0f, [&](std::int32_t i) { return static_cast<std::int32_t>(i * ratio); });
  expectBlock(true, 0.0f,
              [&](std::int32_t i) { return static_cast<std::int32_t>(470 + i * ratio); });
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
      EXPECT_TRUE(block.allEqual(kUntouched));
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
