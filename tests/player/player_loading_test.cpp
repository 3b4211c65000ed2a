// Choosing files while the host renders: after loadFile returns nothing of the previous file is
// heard and the new one starts at frame 0; a load whose warning box is up refuses the next file
// within about a second instead of blocking the GUI thread; and loading, rendering and
// destroying the effect at once (run under ThreadSanitizer as well) share nothing unguarded.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "layer1_writer.h"
#include "loader_test_support.h"
#include "platform/message_box.h"
#include "player_test_support.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

constexpr std::int32_t kBlock = 256;
const char* const kFirstFile = "l3_48k_stereo_320k.mp3";   // 1 kHz and pink noise
const char* const kSecondFile = "l2_48k_stereo_192k.mp2";  // 523 Hz and 784 Hz

bool silent(const std::vector<float>& block) {
  return std::all_of(block.begin(), block.end(), [](float v) { return v == 0.0f; });
}

// The left channel in blocks of kBlock frames, all-silent blocks dropped.
std::vector<std::vector<float>> soundingBlocks(const std::vector<float>& samples) {
  std::vector<std::vector<float>> blocks;
  for (std::size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
    std::vector<float> block(samples.begin() + static_cast<std::ptrdiff_t>(at),
                             samples.begin() + static_cast<std::ptrdiff_t>(at + kBlock));
    if (!silent(block)) blocks.push_back(std::move(block));
  }
  return blocks;
}

// The audio thread renders blocks without pause while the GUI thread chooses another file.
TEST(PlayerLoading, AfterLoadFileReturnsOnlyTheNewFileIsHeardFromItsFirstFrame) {
  std::mt19937 random(13);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    RecordedPlayer p;
    // Smooth off: the old file is cut, not faded out over the first frames of the new one.
    p.player->setSmooth(false);
    p.player->setSampleRate(48000.0f);
    p.player->setPitch(0.5f);  // ratio 1: blocks of the store in order
    p.player->loadFile(testDataPath(kFirstFile).c_str());
    ClusterSampleLoader& loader = *p.player->getLoader();
    ASSERT_TRUE(waitForLoad(loader));
    p.player->setLoop(true);

    // The audio thread keeps the last kKept sounding blocks it rendered (silent ones, while the
    // new file is not decoded that far, say nothing) and marks those that began after loadFile
    // returned; it stops keeping once kCompared of those are in. The new file's first block may
    // sound before loadFile returns.
    constexpr std::size_t kCompared = 50;
    constexpr std::size_t kKept = 4096;
    std::atomic<bool> returned{false};
    std::atomic<bool> done{false};
    std::atomic<std::size_t> keptAfter{0};
    std::vector<std::vector<float>> ring(kKept);
    std::vector<char> ringAfter(kKept);
    std::size_t total = 0;
    std::thread audio([&] {
      std::vector<float> left(kBlock), right(kBlock);
      float* outputs[2] = {left.data(), right.data()};
      while (!done.load()) {
        const bool late = returned.load();
        p.player->processReplacing(nullptr, outputs, kBlock);
        if (keptAfter.load() < kCompared && !silent(left)) {
          ring[total % kKept] = left;
          ringAfter[total % kKept] = late;
          ++total;
          if (late) keptAfter.fetch_add(1);
        }
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 20)(random)));
    p.player->loadFile(testDataPath(kSecondFile).c_str());
    returned.store(true);
    const bool loadEnded = waitForLoad(loader);
    const bool rendered = waitUntil([&] { return keptAfter.load() >= kCompared; });
    done.store(true);
    audio.join();
    ASSERT_TRUE(loadEnded);
    ASSERT_TRUE(rendered);

    const std::vector<std::vector<float>> stored = readEverything(loader);
    ASSERT_FALSE(stored.empty());
    const std::vector<std::vector<float>> expected = soundingBlocks(stored[0]);
    std::vector<std::vector<float>> got;
    std::vector<bool> after;
    for (std::size_t i = total > kKept ? total - kKept : 0; i < total; ++i) {
      got.push_back(ring[i % kKept]);
      after.push_back(ringAfter[i % kKept] != 0);
    }
    // From the new file's first block on, its blocks in order, and every block after the
    // return among them.
    const auto first = std::find(got.begin(), got.end(), expected.front()) - got.begin();
    const auto returnedAt = std::find(after.begin(), after.end(), true) - after.begin();
    ASSERT_LE(first, returnedAt) << "a block after loadFile returned was not the new file's first";
    for (std::size_t b = static_cast<std::size_t>(first); b < got.size(); ++b) {
      const std::size_t index = b - static_cast<std::size_t>(first);
      ASSERT_LT(index, expected.size());
      ASSERT_EQ(got[b], expected[index]) << "sounding block " << index << " of the new file";
    }
  }
}

// A file that cannot be opened shows "Not Found" and leaves the file that plays at its own speed.
TEST(PlayerLoading, AMissingFileLeavesThePlayingFileAtItsRate) {
  RecordedPlayer p;
  p.player->setSampleRate(48000.0f);
  p.player->setPitch(0.5f);
  p.player->loadFile(testDataPath(kFirstFile).c_str());  // 48 kHz: ratio 1
  ASSERT_TRUE(waitForLoad(*p.player->getLoader()));
  p.player->loadFile(testDataPath("no such file.mp3").c_str());
  EXPECT_EQ(p.port.notFound, 1);
  ASSERT_TRUE(p.player->isPlaying());
  std::vector<float> left(512), right(512);
  float* outputs[2] = {left.data(), right.data()};
  p.player->processReplacing(nullptr, outputs, 512);
  EXPECT_EQ(p.player->getPosition(), 512);
}

// More frames than the store limit the test sets (1,000,000 frames; a 32-bit build's own is
// 100,000,000): 3000 layer I frames of 384 samples. The load shows its box once the store is
// full, after a moment of decoding.
constexpr std::int32_t kTestStoreLimit = 1000000;
std::vector<unsigned char> fileTooBigForTheStore() { return writeLayer1(48000, 32, 1, 3000); }

struct HeldBox {
  static inline std::atomic<int> shown{0};
  static inline std::atomic<bool> clicked{false};
  static void show(const char*, const char*) {
    ++shown;
    while (!clicked.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST(PlayerLoading, WhileTheBoxIsUpANewFileIsRefusedWithinASecond) {
  HeldBox::shown = 0;
  HeldBox::clicked = false;
  platform::setWarningHandler(&HeldBox::show);
  TempFile tooBig(fileTooBigForTheStore());
  {
    RecordedPlayer p;
    p.player->getLoader()->limitStore(kTestStoreLimit);
    p.player->loadFile(tooBig.path().c_str());
    ASSERT_TRUE(waitUntil([] { return HeldBox::shown.load() == 1; }));
    p.player->setPlaying(false);
    p.port.clear();

    // On another thread, so that a load that blocks until the click fails instead of hanging.
    std::atomic<bool> loadReturned{false};
    const auto began = std::chrono::steady_clock::now();
    std::thread gui([&] {
      p.player->loadFile(testDataPath(kSecondFile).c_str());
      loadReturned.store(true);
    });
    const bool withinBound = waitUntil([&] { return loadReturned.load(); }, std::chrono::seconds(3));
    const auto waited = std::chrono::steady_clock::now() - began;
    HeldBox::clicked = true;
    gui.join();
    ASSERT_TRUE(withinBound) << "loadFile blocked until the box was clicked away";
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_EQ(p.port.notFound, 1);
    EXPECT_FALSE(p.player->isPlaying());

    // Once the box is gone the next choice loads.
    ASSERT_TRUE(waitForLoad(*p.player->getLoader()));
    p.player->loadFile(testDataPath(kSecondFile).c_str());
    EXPECT_EQ(p.port.notFound, 1);
    EXPECT_TRUE(p.player->isPlaying());
    EXPECT_TRUE(waitForLoad(*p.player->getLoader()));
  }
  platform::setWarningHandler(nullptr);
}

// The GUI thread loads file after file and then destroys the effect while the decoding thread
// is still reporting; the audio thread renders until just before the destruction, as a host
// stops processing before it closes an effect.
TEST(PlayerThreads, LoadingRenderingAndDestroyingTogether) {
  const std::string files[] = {testDataPath(kFirstFile), testDataPath(kSecondFile),
                               testDataPath("l3_22k05_mono_64k.mp3")};
  std::mt19937 random(7);
  for (int round = 0; round < 30; ++round) {
    auto p = std::make_unique<RecordedPlayer>();
    p->player->setSampleRate(44100.0f);
    std::atomic<bool> done{false};
    std::thread audio([&] {
      std::vector<float> left(64), right(64);
      float* outputs[2] = {left.data(), right.data()};
      while (!done.load()) {
        p->player->processReplacing(nullptr, outputs, 64);
        p->player->process(nullptr, outputs, 64);
        p->player->getParameter(2);
      }
    });
    const int loads = std::uniform_int_distribution<int>(1, 3)(random);
    for (int i = 0; i < loads; ++i) {
      p->player->loadFile(files[static_cast<std::size_t>(round + i) % 3].c_str());
      std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
    }
    done.store(true);
    audio.join();
    p.reset();
  }
}

}  // namespace
}  // namespace vintrove::test
