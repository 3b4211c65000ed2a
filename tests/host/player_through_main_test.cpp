// The player as a strict host sees it through `main` and the record: a load that does not start
// changes nothing of what plays, host values are values, the MIDI capability, texts within the
// format's sizes, the restored position across the start-up resume, a position near the end of
// a length near 2^31 frames, and an editor factory that throws.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_entry.h"
#include "player/player_effect.h"
#include "player/state_record.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

// 523 Hz and 784 Hz throughout: no block of it is silent.
const char* const kToneFile = "l2_48k_stereo_192k.mp2";

HostInt VINTROVE_HOST_CALL answeringHost(EffectRecord*, std::int32_t opcode, std::int32_t, HostInt, void*, float) {
  return opcode == 1 ? 2400 : 0;
}

// One effect made by `main`, driven through its record only.
class MainEffect {
 public:
  MainEffect() : record(vintroveMain(&answeringHost)) {
    if (record == nullptr) return;
    dispatch(0);
    dispatch(10, 0, 0, nullptr, 48000.0f);
    dispatch(11, 0, 512);
    dispatch(12, 0, 1);
  }
  ~MainEffect() {
    if (record != nullptr) record->dispatcher(record, 1, 0, 0, nullptr, 0.0f);
  }
  MainEffect(const MainEffect&) = delete;
  MainEffect& operator=(const MainEffect&) = delete;

  HostInt dispatch(std::int32_t opcode, std::int32_t index = 0, HostInt value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
    return record->dispatcher(record, opcode, index, value, ptr, opt);
  }
  void set(std::int32_t index, float value) { record->setParameter(record, index, value); }
  float get(std::int32_t index) { return record->getParameter(record, index); }
  // One block; answers whether any sample of it sounds.
  bool renderSounds(std::int32_t frames = 512) {
    left.assign(static_cast<std::size_t>(frames), 1.0f);
    right.assign(static_cast<std::size_t>(frames), 1.0f);
    float* outputs[2] = {left.data(), right.data()};
    record->processReplacing(record, nullptr, outputs, frames);
    return std::any_of(left.begin(), left.end(), [](float v) { return v != 0.0f; });
  }
  std::vector<unsigned char> chunk() {
    void* data = nullptr;
    const auto size = static_cast<std::size_t>(dispatch(23, 0, 0, &data));
    const auto* bytes = static_cast<const unsigned char*>(data);
    return size > 0 && bytes != nullptr ? std::vector<unsigned char>(bytes, bytes + size) : std::vector<unsigned char>{};
  }
  std::string text(std::int32_t opcode, std::int32_t index, std::size_t capacity, bool& overran) {
    std::vector<char> buffer(capacity + 16, '\x7f');
    dispatch(opcode, index, 0, buffer.data());
    overran = std::any_of(buffer.begin() + static_cast<std::ptrdiff_t>(capacity), buffer.end(), [](char c) { return c != '\x7f'; });
    return std::string(buffer.data(), strnlen(buffer.data(), capacity));
  }
  // The user's choice in the editor ends here; the editor is the host's to click, not ours.
  PlayerEffect& player() { return *static_cast<PlayerEffect*>(static_cast<EffectBase*>(record->object)); }

  EffectRecord* record;
  std::vector<float> left, right;
};

bool waitFor(const std::function<bool()>& done, int milliseconds = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool loadWhole(MainEffect& effect, const std::string& path) {
  effect.player().loadFile(path.c_str());
  ClusterSampleLoader* loader = effect.player().getLoader();
  return loader != nullptr && waitFor([&] { return loader->isComplete() && effect.player().getLength() > 0; });
}

bool contains(const std::vector<unsigned char>& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

TEST(PlayerThroughMain, ALoadThatDoesNotStartChangesNothingOfWhatPlays) {
  MainEffect effect;
  ASSERT_NE(effect.record, nullptr);
  const std::string good = testDataPath(kToneFile);
  ASSERT_TRUE(loadWhole(effect, good));
  effect.set(1, 1.0f);  // loop

  const TempFile empty(std::vector<unsigned char>{}, ".mp3");
  const std::filesystem::path folderPath = std::filesystem::temp_directory_path() / "vintrove-a-folder.mp3";
  std::filesystem::create_directories(folderPath);
  const std::string folder = folderPath.string();
  const std::string tooLong = good.substr(0, good.size() - 4) + std::string(1100, 'x') + ".mp3";
  const std::string missing = good + ".missing.mp3";
  for (const std::string& bad : {missing, empty.path(), folder, tooLong}) {
    SCOPED_TRACE(bad.substr(0, 80));
    effect.set(2, 0.97f);  // close to the end: the next blocks cross it
    const float before = effect.get(2);
    effect.player().loadFile(bad.c_str());
    EXPECT_EQ(effect.get(2), before) << "the position moved";
    EXPECT_EQ(effect.get(0), 1.0f) << "playing stopped";
    EXPECT_TRUE(effect.player().getLoader()->isComplete()) << "the playing file counts as incomplete";
    const std::vector<unsigned char> saved = effect.chunk();
    EXPECT_TRUE(contains(saved, kToneFile)) << "the saved path is not the playing file's";
    EXPECT_FALSE(contains(saved, bad.substr(bad.size() - 12))) << "the saved path is the refused one";
    int silent = 0;
    for (int block = 0; block < 400; ++block) silent += effect.renderSounds() ? 0 : 1;
    EXPECT_EQ(silent, 0) << "blocks across the end of the looping file were silent";
  }
}

// A choice refused while the playing file still decodes leaves that decode running to its end.
TEST(PlayerThroughMain, ALoadThatDoesNotStartLetsThePlayingFileDecodeToTheEnd) {
  const std::string longer = testDataPath("l3_44k1_stereo_128k.mp3");
  std::int32_t whole = 0;
  {
    MainEffect clean;
    ASSERT_NE(clean.record, nullptr);
    ASSERT_TRUE(loadWhole(clean, longer));
    whole = clean.player().getLoader()->getDecodedFrames();
  }
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    MainEffect effect;
    ASSERT_NE(effect.record, nullptr);
    effect.player().loadFile(longer.c_str());
    effect.player().loadFile((longer + ".missing.mp3").c_str());
    ClusterSampleLoader* loader = effect.player().getLoader();
    ASSERT_TRUE(waitFor([&] { return loader->isComplete(); }));
    EXPECT_EQ(loader->getDecodedFrames(), whole) << "the decode was cut short";
    EXPECT_EQ(effect.player().getLength(), whole);
  }
}

TEST(PlayerThroughMain, HostValuesAreClampedValuesAndNanOrInfinityChangesNothing) {
  MainEffect effect;
  ASSERT_NE(effect.record, nullptr);
  ASSERT_TRUE(loadWhole(effect, testDataPath(kToneFile)));
  effect.set(0, 0.0f);
  struct Case {
    std::int32_t index;
    float first, then, expected;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {2, 0.5f, 1.05f, 1.0f}, {2, 0.5f, 2.5f, 1.0f}, {2, 0.5f, -0.5f, 0.0f}, {2, 0.5f, nan, 0.5f},
      {2, 0.5f, inf, 0.5f},   {2, 0.5f, -inf, 0.5f}, {3, 0.25f, 1.5f, 1.0f}, {3, 0.25f, 2.02f, 1.0f},
      {3, 0.25f, -3.0f, 0.0f}, {3, 0.25f, nan, 0.25f}, {3, 0.25f, inf, 0.25f}, {1, 0.0f, 7.0f, 1.0f},
      {1, 1.0f, nan, 1.0f},   {1, 1.0f, -1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "parameter " << c.index << ": " << c.first << " then " << c.then);
    effect.set(c.index, c.first);
    effect.set(c.index, c.then);
    EXPECT_NEAR(effect.get(c.index), c.expected, 1e-4f);
  }
  effect.set(3, 0.0f);
  EXPECT_FLOAT_EQ(effect.player().getPitch(), -12.0f);
}

// Two hosts' threads (automation and the GUI) setting Playing = 1 at once: it ends on, every
// round. A toggle from a stale read turned it off again now and then.
TEST(PlayerThroughMain, PlayingSetToOneFromTwoThreadsIsAlwaysOn) {
  MainEffect effect;
  ASSERT_NE(effect.record, nullptr);
  constexpr int kRounds = 500000;  // two threads: a million settings
  std::atomic<int> round{0};
  std::atomic<int> arrived{0};
  int offs = 0;
  auto setter = [&] {
    for (int r = 1; r <= kRounds; ++r) {
      while (round.load() < r) std::this_thread::yield();
      effect.set(0, 1.0f);
      arrived.fetch_add(1);
    }
  };
  std::thread first(setter), second(setter);
  for (int r = 1; r <= kRounds; ++r) {
    effect.set(0, 0.0f);
    round.store(r);
    while (arrived.load() < 2 * r) std::this_thread::yield();
    if (effect.get(0) != 1.0f) ++offs;
  }
  first.join();
  second.join();
  EXPECT_EQ(offs, 0) << "Playing was off after both threads set it to 1";
}

TEST(PlayerThroughMain, TakesMidiEventsAndSendsNone) {
  MainEffect effect;
  ASSERT_NE(effect.record, nullptr);
  auto canDo = [&](const char* text) { return effect.dispatch(51, 0, 0, const_cast<char*>(text)); };
  EXPECT_EQ(canDo("receiveVstEvents"), 1);
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("sendVstEvents"), -1);
  EXPECT_EQ(canDo("sendVstMidiEvent"), -1);
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 0);
  EXPECT_EQ(canDo("receiveVstEventsX"), 0);
}

TEST(PlayerThroughMain, TextsFitTheFormatsSizes) {
  MainEffect effect;
  ASSERT_NE(effect.record, nullptr);
  bool overran = false;
  effect.set(3, 0.0f);  // -12 %
  EXPECT_EQ(effect.text(7, 3, 9, overran), "-12.0000");
  EXPECT_FALSE(overran) << "the pitch display wrote past 8 characters and the terminator";
  for (std::int32_t index = 0; index < 4; ++index) {
    for (std::int32_t opcode : {6, 7, 8}) {
      EXPECT_LE(effect.text(opcode, index, 9, overran).size(), 8u);
      EXPECT_FALSE(overran) << "opcode " << opcode << ", parameter " << index;
    }
  }
  std::string longName(40, 'n');
  effect.dispatch(4, 0, 0, longName.data());
  EXPECT_EQ(effect.text(5, 0, 25, overran), std::string(24, 'n'));
  EXPECT_FALSE(overran) << "the program name wrote past 24 characters and the terminator";
  EXPECT_LT(effect.text(45, 0, 32, overran).size(), 32u);
  EXPECT_FALSE(overran);
  EXPECT_LT(effect.text(47, 0, 64, overran).size(), 64u);
  EXPECT_LT(effect.text(48, 0, 64, overran).size(), 64u);

  for (HostInt program : {HostInt{-1}, HostInt{1}, HostInt{7}, HostInt{-2147483647 - 1}}) {
    effect.dispatch(2, 0, program);
    EXPECT_EQ(effect.dispatch(3), 0) << "setProgram " << program << " was taken";
  }
}

std::vector<unsigned char> stateRecord(const std::string& path, double position, bool playing) {
  PlayerState state;
  state.playing = playing;
  state.position = position;
  state.pitch = 0.0;
  std::snprintf(state.path, sizeof state.path, "%s", path.c_str());
  std::vector<unsigned char> bytes;
  writeStateRecord(state, bytes);
  return bytes;
}

// Hosts opening a project give the state, then resume: that resume keeps the restored position.
// A resume after a block has been rendered rewinds as before.
TEST(PlayerThroughMain, TheResumeAfterARestoreKeepsThePositionLaterOnesRewind) {
  for (const bool withFile : {true, false}) {
    SCOPED_TRACE(withFile ? "the state names a file" : "the state names none; the file was loaded");
    MainEffect effect;
    ASSERT_NE(effect.record, nullptr);
    if (!withFile) {
      ASSERT_TRUE(loadWhole(effect, testDataPath(kToneFile)));
    }
    effect.dispatch(12, 0, 0);  // the host suspends while it opens the project
    std::vector<unsigned char> record = stateRecord(withFile ? testDataPath(kToneFile) : "", 0.5, false);
    ASSERT_EQ(effect.dispatch(24, 0, static_cast<HostInt>(record.size()), record.data()), 1);
    ASSERT_TRUE(waitFor([&] { return std::fabs(effect.get(2) - 0.5f) < 1e-3f; })) << "the position was never restored";
    effect.dispatch(12, 0, 1);
    EXPECT_NEAR(effect.get(2), 0.5f, 1e-3f) << "the start-up resume lost the restored position";
    effect.dispatch(12, 0, 0);  // some hosts suspend and resume once more before they play
    effect.dispatch(12, 0, 1);
    EXPECT_NEAR(effect.get(2), 0.5f, 1e-3f) << "a second resume before any block lost it";
    effect.renderSounds();
    effect.dispatch(12, 0, 0);
    effect.dispatch(12, 0, 1);
    EXPECT_EQ(effect.get(2), 0.0f) << "a resume after rendering no longer rewinds";
  }
}

// A lying frame count makes the length close to 2^31 frames; a position at its end and a large
// advance (a low host rate, +12 %, 8192-frame blocks) pass 2^63 in 32.32 fixed point. Without
// loop the file ends there.
TEST(PlayerThroughMain, AtTheEndOfALengthNear2To31FramesTheFileEndsWithoutOverflow) {
  MainEffect effect;
  ASSERT_NE(effect.record, nullptr);
  ASSERT_TRUE(loadWhole(effect, testDataPath(kToneFile)));
  effect.dispatch(10, 0, 0, nullptr, 8000.0f);
  effect.dispatch(11, 0, 8192);
  effect.set(3, 1.0f);
  effect.set(1, 0.0f);
  effect.player().setLength(std::numeric_limits<std::int32_t>::max() - 10);
  effect.set(2, 1.0f);
  ASSERT_EQ(effect.get(0), 1.0f);
  effect.renderSounds(8192);
  EXPECT_EQ(effect.get(0), 0.0f) << "the file did not end";
  EXPECT_EQ(effect.player().getExactPosition(), 0) << "the position did not go back to the start";
}

PlayerEditorHandle throwingEditor(PlayerEffect&) { throw std::bad_alloc(); }

std::unique_ptr<EffectBase> playerWithThrowingEditor(HostCallback callback) {
  return std::make_unique<PlayerEffect>(callback, &throwingEditor);
}

// Without its editor the player would ignore host parameters and MIDI: main answers null.
TEST(PlayerThroughMain, AnEditorFactoryThatThrowsFailsTheCreation) {
  EXPECT_EQ(createEffectRecord(&answeringHost, &playerWithThrowingEditor), nullptr);
}

}  // namespace
}  // namespace vintrove::test
