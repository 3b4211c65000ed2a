// The player's state saved with the host's project: the record getChunk hands out, records
// refused without a change, restores that load the file, wait for its exact length and play the
// same samples, a missing file, and restores racing loads, renders and each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "layer1_writer.h"
#include "loader_test_support.h"
#include "player/state_record.h"
#include "player_test_support.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

using Bytes = std::vector<unsigned char>;

const char* const kFile = "l3_44k1_stereo_128k_notag.mp3";
constexpr std::int32_t kGetChunk = 23;
constexpr std::int32_t kSetChunk = 24;
constexpr std::int32_t kBlock = 512;

// The record as the host takes it: through the dispatcher, copied before the next request.
Bytes chunkOf(PlayerEffect& player, std::int32_t isPreset = 0) {
  void* data = nullptr;
  const HostInt size = player.dispatcher(kGetChunk, isPreset, 0, &data, 0.0f);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return Bytes(bytes, bytes + size);
}

HostInt giveChunk(PlayerEffect& player, Bytes bytes) {
  return player.dispatcher(kSetChunk, 0, static_cast<HostInt>(bytes.size()), bytes.data(), 0.0f);
}

PlayerState stateOf(const Bytes& bytes) {
  PlayerState state;
  EXPECT_TRUE(readStateRecord(bytes.data(), bytes.size(), state));
  return state;
}

Bytes recordFor(const std::string& path, bool playing, bool loop, double position, double pitch) {
  PlayerState state;
  state.playing = playing;
  state.loop = loop;
  state.position = position;
  state.pitch = pitch;
  std::memcpy(state.path, path.c_str(), path.size() + 1);
  Bytes bytes;
  writeStateRecord(state, bytes);
  return bytes;
}

bool decoded(PlayerEffect& player) {
  ClusterSampleLoader& loader = *player.getLoader();
  return loader.isComplete() && player.getLength() == loader.getDecodedFrames() && player.getLength() > 0;
}

// processReplacing blocks, both channels one after the other.
std::vector<float> renderBlocks(PlayerEffect& player, int blocks) {
  std::vector<float> out;
  std::vector<float> left(kBlock), right(kBlock);
  float* outputs[2] = {left.data(), right.data()};
  for (int b = 0; b < blocks; ++b) {
    player.processReplacing(nullptr, outputs, kBlock);
    out.insert(out.end(), left.begin(), left.end());
    out.insert(out.end(), right.begin(), right.end());
  }
  return out;
}

TEST(PlayerChunk, AFreshPlayerHandsOutItsStateForBanksAndPrograms) {
  RecordedPlayer p;
  const Bytes bank = chunkOf(*p.player, 0);
  const Bytes program = chunkOf(*p.player, 1);
  EXPECT_EQ(bank, program);
  const PlayerState state = stateOf(bank);
  EXPECT_FALSE(state.playing);
  EXPECT_FALSE(state.loop);
  EXPECT_EQ(state.position, 0.0);
  EXPECT_EQ(state.pitch, 1.0);
  EXPECT_STREQ(state.path, "");
  EXPECT_EQ(p.player->getRecord()->flags & 0x20, 0x20);

  // The record belongs to the effect and stays put until the next request.
  void* first = nullptr;
  const auto size = p.player->getChunk(&first, false);
  p.player->setLoop(true);
  EXPECT_EQ(Bytes(static_cast<unsigned char*>(first), static_cast<unsigned char*>(first) + size), bank);
  EXPECT_TRUE(stateOf(chunkOf(*p.player)).loop);
  EXPECT_EQ(p.player->dispatcher(kGetChunk, 0, 0, nullptr, 0.0f), 0);
}

TEST(PlayerChunk, BadRecordsAreRefusedAndChangeNothing) {
  RecordedPlayer p;
  p.player->setLength(1000);
  p.player->setPosition(0.25f);
  p.player->setLoop(true);
  p.player->setPlaying(true);
  p.player->setPitch(0.8f);
  const Bytes before = chunkOf(*p.player);
  const Bytes good = recordFor(testDataPath(kFile), true, false, 0.5, 2.0);
  Bytes garbage(200);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<unsigned char>(i * 37 + 11);
  Bytes oversized = good;
  oversized.resize(good.size() + 4096, 0xee);
  Bytes wrongMagic = good;
  wrongMagic[0] = 'v';
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"garbage", garbage},
      {"truncated", Bytes(good.begin(), good.end() - 1)},
      {"header only", Bytes(good.begin(), good.begin() + 12)},
      {"oversized", oversized},
      {"wrong magic", wrongMagic},
  };
  p.port.clear();
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(giveChunk(*p.player, bytes), 0);
  }
  Bytes someBytes = good;
  EXPECT_EQ(p.player->setChunk(someBytes.data(), -1, false), 0);
  EXPECT_EQ(p.player->setChunk(nullptr, static_cast<std::int32_t>(good.size()), false), 0);
  EXPECT_EQ(p.player->dispatcher(kSetChunk, 0, 49, nullptr, 0.0f), 0);

  EXPECT_EQ(chunkOf(*p.player), before);
  EXPECT_TRUE(p.player->isPlaying());
  EXPECT_TRUE(p.player->isLooping());
  EXPECT_EQ(p.player->getPosition(), 250);
  EXPECT_EQ(p.player->getLength(), 1000);
  std::lock_guard<std::mutex> guard(p.port.mutex);
  EXPECT_TRUE(p.port.commands.empty());
  EXPECT_TRUE(p.port.playingShown.empty());
  EXPECT_TRUE(p.port.fileNames.empty());
  EXPECT_EQ(p.port.notFound, 0);
}

// The acceptance round trip in the native build: a fresh player given the chunk plays the same
// samples from the same position, with the same loop and pitch, and hands out the same chunk.
// With Smooth off, saved and restored with the rest: the nearest lower sample, block for block.
TEST(PlayerChunk, AFreshPlayerGivenTheChunkPlaysTheSameSamples) {
  PlaceholderPlayer first;
  first.player->setSmooth(false);
  first.player->loadFile(testDataPath(kFile).c_str());
  ASSERT_TRUE(waitUntil([&] { return decoded(*first.player); }));
  first.player->setLoop(true);
  first.player->setPitch(0.7f);
  first.player->setPosition(0.37f);
  renderBlocks(*first.player, 3);
  const Bytes saved = chunkOf(*first.player);
  const PlayerState state = stateOf(saved);
  EXPECT_TRUE(state.playing);
  EXPECT_TRUE(state.loop);
  EXPECT_EQ(state.pitch, static_cast<double>(first.player->getPitch()));
  EXPECT_STREQ(state.path, testDataPath(kFile).c_str());

  PlaceholderPlayer second;
  ASSERT_EQ(giveChunk(*second.player, saved), 1);
  // Waiting for the exact length, the record still says what was saved.
  EXPECT_EQ(chunkOf(*second.player), saved);
  // Playing comes back with the exact length, which the loader reports just before it ends.
  ASSERT_TRUE(waitUntil([&] { return second.player->isPlaying() && decoded(*second.player); }));
  EXPECT_EQ(second.player->getLength(), first.player->getLength());
  EXPECT_EQ(second.player->getPosition(), first.player->getPosition());
  EXPECT_EQ(second.player->getPitch(), first.player->getPitch());
  EXPECT_TRUE(second.player->isLooping());
  EXPECT_FALSE(second.player->isSmooth());
  EXPECT_EQ(chunkOf(*second.player), saved);
  // The editor's controls show the restored state.
  EXPECT_EQ(second.editor.controlValue(kPlayTag), 1.0f);
  EXPECT_EQ(second.editor.controlValue(kLoopTag), 1.0f);
  EXPECT_EQ(second.editor.controlValue(kPitchTag), first.player->getParameter(3));
  EXPECT_FLOAT_EQ(second.editor.controlValue(kPositionTag), first.player->getParameter(2));

  // Far enough to pass the end and loop.
  const int blocks = first.player->getLength() / kBlock;
  const std::vector<float> expected = renderBlocks(*first.player, blocks);
  const std::vector<float> got = renderBlocks(*second.player, blocks);
  EXPECT_GT(*std::max_element(expected.begin(), expected.end()), 0.1f);
  EXPECT_TRUE(expected == got);
  EXPECT_TRUE(second.player->isPlaying());
  EXPECT_EQ(second.player->getPosition(), first.player->getPosition());
}

// Smooth is saved with the project; a version 1 record, from before Smooth, restores it off, and
// the record handed out afterwards is a version 2 one.
TEST(PlayerChunk, SmoothComesBackAndVersion1RecordsRestoreItOff) {
  RecordedPlayer p;
  EXPECT_TRUE(stateOf(chunkOf(*p.player)).smooth);
  for (bool smooth : {false, true}) {
    Bytes record = recordFor("", false, true, 0.0, 2.0);
    PlayerState state = stateOf(record);
    state.smooth = smooth;
    writeStateRecord(state, record);
    p.player->setSmooth(!smooth);
    ASSERT_EQ(giveChunk(*p.player, record), 1);
    EXPECT_EQ(p.player->isSmooth(), smooth);
    EXPECT_EQ(stateOf(chunkOf(*p.player)).smooth, smooth);
  }
  // The version 1 layout: the first four values, the path, nothing else.
  Bytes v1 = recordFor("", true, false, 0.0, -1.0);
  v1.erase(v1.begin() + 44, v1.begin() + 52);
  v1[4] = 1;
  v1[8] = 32;
  ASSERT_EQ(giveChunk(*p.player, v1), 1);
  EXPECT_FALSE(p.player->isSmooth());
  EXPECT_EQ(p.player->getPitch(), -1.0f);
  const Bytes after = chunkOf(*p.player);
  ASSERT_GE(after.size(), 12u);
  EXPECT_EQ(after[4], 2);
  EXPECT_FALSE(stateOf(after).smooth);
}

TEST(PlayerChunk, ARestoreLoadsWithoutStartingPlaybackAndKeepsItStoppedWhenSaved) {
  RecordedPlayer p;
  ASSERT_EQ(giveChunk(*p.player, recordFor(testDataPath(kFile), false, false, 0.5, -4.0)), 1);
  ASSERT_TRUE(waitUntil([&] { return decoded(*p.player) && p.player->getPosition() > 0; }));
  EXPECT_FALSE(p.player->isPlaying());
  EXPECT_EQ(p.player->getPosition(), p.player->getLength() / 2);
  EXPECT_EQ(p.player->getPitch(), -4.0f);
  std::lock_guard<std::mutex> guard(p.port.mutex);
  EXPECT_EQ(p.port.notFound, 0);
  EXPECT_EQ(p.port.fileNames, std::vector<std::string>{testDataPath(kFile)});
  for (bool shown : p.port.playingShown) EXPECT_FALSE(shown);
  // Loop and the pitch slider are set through the command channel.
  ASSERT_EQ(p.port.commands.size(), 2u);
  EXPECT_EQ(p.port.commands[0], (SentCommand{kLoopTag, 0.0f}));
  EXPECT_EQ(p.port.commands[1].tag, kPitchTag);
  EXPECT_FLOAT_EQ(p.port.commands[1].value, -4.0f / 24.0f + 0.5f);
}

TEST(PlayerChunk, AMissingFileShowsNotFoundPlaysNothingAndKeepsItsPath) {
  RecordedPlayer p;
  p.player->loadFile(testDataPath(kFile).c_str());
  ASSERT_TRUE(waitUntil([&] { return decoded(*p.player); }));
  ASSERT_TRUE(p.player->isPlaying());
  p.port.clear();

  const Bytes saved = recordFor(testDataPath("moved_away.mp3"), true, true, 0.6, 5.0);
  ASSERT_EQ(giveChunk(*p.player, saved), 1);
  EXPECT_EQ(p.port.notFound, 1);
  EXPECT_TRUE(p.port.fileNames.empty());
  EXPECT_FALSE(p.player->isPlaying());
  EXPECT_TRUE(p.player->isLooping());
  EXPECT_EQ(p.player->getPitch(), 5.0f);
  // Saving the project again keeps the path and the saved transport.
  EXPECT_EQ(chunkOf(*p.player), saved);

  // Nothing plays, not even when the user presses play.
  p.player->setPlaying(true);
  std::vector<float> left(kBlock, 3.0f), right(kBlock, 3.0f);
  float* outputs[2] = {left.data(), right.data()};
  p.player->process(nullptr, outputs, kBlock);
  EXPECT_EQ(left, std::vector<float>(kBlock, 3.0f));
  EXPECT_EQ(right, std::vector<float>(kBlock, 3.0f));

  // The user's own choice then replaces the waiting restore.
  p.player->loadFile(testDataPath(kFile).c_str());
  ASSERT_TRUE(waitUntil([&] { return decoded(*p.player); }));
  const PlayerState state = stateOf(chunkOf(*p.player));
  EXPECT_STREQ(state.path, testDataPath(kFile).c_str());
  EXPECT_TRUE(state.playing);
}

TEST(PlayerChunk, ARecordWithoutAFileKeepsTheLoadedOne) {
  RecordedPlayer p;
  p.player->loadFile(testDataPath(kFile).c_str());
  ASSERT_TRUE(waitUntil([&] { return decoded(*p.player); }));
  ASSERT_EQ(giveChunk(*p.player, recordFor("", false, true, 0.5, 0.0)), 1);
  EXPECT_FALSE(p.player->isPlaying());
  EXPECT_TRUE(p.player->isLooping());
  EXPECT_EQ(p.player->getPitch(), 0.0f);
  EXPECT_EQ(p.player->getPosition(), p.player->getLength() / 2);
  EXPECT_STREQ(stateOf(chunkOf(*p.player)).path, testDataPath(kFile).c_str());
}

// position / length, saved as a float64 and multiplied back, can land just below the frame
// (1 / 49 x 49 is 0.99999999999999989): the saved frame must come back, not the one before.
TEST(PlayerChunk, ASavedPositionComesBackToTheSameFrame) {
  RecordedPlayer p;
  int checked = 0;
  for (std::int32_t length : {49, 98, 133632, 1000003, 99999989}) {
    p.player->setLength(length);
    for (std::int32_t frame = 0; frame <= length; frame += std::max(1, length / 97)) {
      SCOPED_TRACE(std::to_string(frame) + " of " + std::to_string(length));
      p.player->setPosition(0.0f);
      // Rendering is what moves the position frame by frame; a restore puts it at a given one.
      const Bytes at = recordFor("", false, false, static_cast<double>(frame) / length, 1.0);
      ASSERT_EQ(giveChunk(*p.player, at), 1);
      ASSERT_EQ(p.player->getPosition(), frame);
      ASSERT_EQ(chunkOf(*p.player), at);
      ++checked;
    }
  }
  EXPECT_GT(checked, 400);
}

TEST(PlayerChunk, APitchSavedFinerThanTheFloatIsRoundedToIt) {
  RecordedPlayer p;
  const double fine = 1.0 / 3.0;
  ASSERT_EQ(giveChunk(*p.player, recordFor("", false, false, 0.0, fine)), 1);
  EXPECT_EQ(p.player->getPitch(), static_cast<float>(fine));
  EXPECT_EQ(stateOf(chunkOf(*p.player)).pitch, static_cast<double>(static_cast<float>(fine)));
}

// A restore given while a long file still decodes: the position is the fraction of the restored
// file's exact length, never of the stopped load's count.
TEST(PlayerChunk, ARestoreDuringARunningLoadWaitsForItsOwnFile) {
  TempFile longFile(writeLayer1(48000, 32, 1, 30000), ".mp1");
  PlaceholderPlayer reference;
  reference.player->loadFile(testDataPath(kFile).c_str());
  ASSERT_TRUE(waitUntil([&] { return decoded(*reference.player); }));
  const std::int32_t fileFrames = reference.player->getLength();

  for (double fraction : {0.5, 0.9}) {
    SCOPED_TRACE(fraction);
    PlaceholderPlayer p;
    p.player->loadFile(longFile.path().c_str());
    ClusterSampleLoader& loader = *p.player->getLoader();
    ASSERT_TRUE(waitUntil([&] { return loader.getDecodedFrames() > 0; }));
    ASSERT_EQ(giveChunk(*p.player, recordFor(testDataPath(kFile), true, false, fraction, 1.0)), 1);
    ASSERT_TRUE(waitUntil([&] { return p.player->isPlaying(); }));
    EXPECT_EQ(p.player->getLength(), fileFrames);
    EXPECT_EQ(p.player->getPosition(), static_cast<std::int32_t>(fileFrames * fraction));
  }
}

// Restores from two threads, chunks taken on a third and blocks rendered on a fourth, with a
// user's load in between: nothing breaks, and the last restore decides what plays.
TEST(PlayerThreads, RestoresRaceLoadsChunksAndRendering) {
  PlaceholderPlayer p;
  const Bytes records[] = {
      recordFor(testDataPath(kFile), true, true, 0.25, 3.0),
      recordFor(testDataPath("l2_32k_mono_64k.mp2"), false, false, 0.75, -2.0),
      recordFor(testDataPath("missing.mp3"), true, false, 0.1, 0.0),
  };
  std::atomic<bool> stop{false};
  std::atomic<int> badChunks{0};
  std::thread chunks([&] {
    while (!stop.load()) {
      PlayerState state;
      const Bytes bytes = chunkOf(*p.player);
      if (!readStateRecord(bytes.data(), bytes.size(), state)) ++badChunks;
    }
  });
  std::thread audio([&] {
    while (!stop.load()) renderBlocks(*p.player, 1);
  });
  auto restore = [&](int first) {
    for (int i = 0; i < 12; ++i) {
      Bytes bytes = records[(first + i) % 3];
      EXPECT_EQ(p.player->setChunk(bytes.data(), static_cast<std::int32_t>(bytes.size()), false), 1);
    }
  };
  std::thread one(restore, 0);
  std::thread two(restore, 1);
  p.player->loadFile(testDataPath(kFile).c_str());
  one.join();
  two.join();
  Bytes last = records[0];
  ASSERT_EQ(giveChunk(*p.player, last), 1);
  ASSERT_TRUE(waitUntil([&] { return p.player->isPlaying(); }));
  stop.store(true);
  chunks.join();
  audio.join();
  EXPECT_EQ(badChunks.load(), 0);
  EXPECT_TRUE(p.player->isLooping());
  EXPECT_EQ(p.player->getPitch(), 3.0f);
  EXPECT_STREQ(stateOf(chunkOf(*p.player)).path, testDataPath(kFile).c_str());
}

// A player closed while its loader reports: the report in progress still reads the loader, so
// the loader must stay reachable until its deleter has waited for that report. A stress case for
// the sanitizers (the fault it guards against was found by the state fuzzer); the check says that
// the closes really came while loads ran.
TEST(PlayerThreads, ClosingWhileTheLoaderReportsLeavesNoReportOnAReleasedLoader) {
  const std::string path = testDataPath(kFile);
  int closedWhileLoading = 0;
  constexpr int kCloses = 150;
  for (int i = 0; i < kCloses; ++i) {
    auto p = std::make_unique<RecordedPlayer>();
    p->player->loadFile(path.c_str());
    // Spread over the first length report and the first decoded blocks.
    std::this_thread::sleep_for(std::chrono::microseconds((i % 15) * 40));
    closedWhileLoading += p->player->getLoader()->isComplete() ? 0 : 1;
    p.reset();
  }
  EXPECT_GT(closedWhileLoading, kCloses / 2);
}

}  // namespace
}  // namespace vintrove::test
