// The state saved with a host's project, through our host and the DLL: a file chosen in the
// editor with loop and pitch set, the chunk taken, and a fresh instance given it (editor open or
// closed, from the GUI thread or another) playing the same samples; a file gone missing; records
// refused; the host driver's own round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "reference_decode.h"
#include "state_round_trip.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

using Bytes = std::vector<unsigned char>;
using testhost::RgbImage;
using testhost::StereoBuffer;

// Without an encoder tag: nothing to trim, so the plain reference decode is what plays.
const char* const kFile = "l3_44k1_stereo_128k_notag.mp3";
constexpr RECT kFileNameDisplay{4, 4, 196, 20};
constexpr RECT kPlayAndLoop{44, 44, 80, 60};
constexpr RECT kPitchSlider{4, 64, 232, 80};

bool contains(const Bytes& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

// Idles the editor while it is open; otherwise just waits.
bool waitFor(PluginSession& plugin, const std::function<bool()>& done, DWORD milliseconds) {
  if (plugin.editorOpen()) return plugin.window().idleUntil(done, milliseconds);
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(10);
  }
  return true;
}

// Gives the record from the test's thread or from another one while this thread idles the editor.
HostInt giveChunk(PluginSession& plugin, const Bytes& record, bool fromAnotherThread) {
  if (!fromAnotherThread) return plugin.effect().setChunk(record);
  std::atomic<bool> done{false};
  HostInt answer = -1;
  std::thread host([&] {
    answer = plugin.effect().setChunk(record);
    done.store(true);
  });
  waitFor(plugin, [&] { return done.load(); }, 10000);
  host.join();
  return answer;
}

struct RecallCase {
  const char* name;
  bool editorOpen;
  bool fromAnotherThread;
};

class StateRecallThroughTheHost : public ::testing::TestWithParam<RecallCase> {};

TEST_P(StateRecallThroughTheHost, AFreshInstanceGivenTheChunkPlaysTheSameSamples) {
  const RecallCase& c = GetParam();
  const ReferenceDecode decoded = referenceDecodeFile(testDataPath(kFile));
  const auto fileFrames = static_cast<std::int64_t>(decoded.samples[0].size());

  PluginSession first;
  ASSERT_TRUE(first.chooseThroughDialog(dataFile(kFile)));
  ASSERT_TRUE(first.waitUntilPlaying());
  first.window().idleFor(500);  // the whole file decoded: the position is a fraction of its length
  first.clickAt(kLoopToggle);
  ASSERT_EQ(first.parameter(1), 1.0f);
  first.window().dragFrom(118, 72).to(170, 72);
  const float pitch = first.parameter(3);
  ASSERT_GT(pitch, 0.55f);
  StereoBuffer played;
  first.effect().render(30000, played);
  const Bytes saved = first.effect().getChunk();
  ASSERT_FALSE(saved.empty());
  EXPECT_TRUE(contains(saved, testhost::windowsPath(dataFile(kFile))));
  RgbImage firstPicture;
  first.window().idleFor(100);
  ASSERT_TRUE(first.window().capture(firstPicture));

  PluginSession second;
  RgbImage fresh;
  ASSERT_TRUE(second.window().capture(fresh));
  if (!c.editorOpen) second.closeEditor();
  ASSERT_EQ(giveChunk(second, saved, c.fromAnotherThread), 1);
  ASSERT_TRUE(waitFor(second, [&] { return second.parameter(0) == 1.0f; }, 3000));
  EXPECT_EQ(second.parameter(1), 1.0f);
  EXPECT_EQ(second.parameter(3), pitch);
  EXPECT_EQ(second.parameter(2), first.parameter(2));
  EXPECT_EQ(second.effect().getChunk(), saved);

  // The editor shows the restored file, loop, play and pitch as the first one does.
  if (!c.editorOpen) second.openEditor();
  second.window().idleFor(200);
  RgbImage restored;
  ASSERT_TRUE(second.window().capture(restored));
  EXPECT_GT(changedPixels(fresh, restored, kFileNameDisplay), 10);
  EXPECT_EQ(changedPixels(firstPicture, restored, kFileNameDisplay), 0);
  EXPECT_EQ(changedPixels(firstPicture, restored, kPlayAndLoop), 0);
  EXPECT_EQ(changedPixels(firstPicture, restored, kPitchSlider), 0);

  const float restoredPosition = second.parameter(2);
  // Four seconds of a three-second file: both play on from the same frame and loop alike.
  StereoBuffer fromFirst, fromSecond;
  first.effect().render(4 * 44100, fromFirst);
  second.effect().render(4 * 44100, fromSecond);
  EXPECT_GT(fromSecond.peak(), 0.1f);
  EXPECT_TRUE(fromFirst.left == fromSecond.left && fromFirst.right == fromSecond.right);
  const auto start = static_cast<std::int64_t>(
      static_cast<double>(restoredPosition) * static_cast<double>(fileFrames) + 0.5);
  EXPECT_EQ(framesNotFromFile(fromSecond, decoded, start, speedRatio(pitch, 44100.0f, decoded.sampleRate)), 0);
  EXPECT_EQ(second.parameter(0), 1.0f);
  EXPECT_EQ(second.parameter(2), first.parameter(2));
}

INSTANTIATE_TEST_SUITE_P(
    EditorAndThreads, StateRecallThroughTheHost,
    ::testing::Values(RecallCase{"EditorOpenGuiThread", true, false},
                      RecallCase{"EditorOpenOtherThread", true, true},
                      RecallCase{"EditorClosedOtherThread", false, true}),
    [](const ::testing::TestParamInfo<RecallCase>& named) { return std::string(named.param.name); });

TEST(StateRecallFailures, AMissingFileShowsNotFoundPlaysNothingAndIsKeptInTheChunk) {
  Bytes saved;
  {
    TempFile copy(readFileBytes(testDataPath(kFile)), ".mp3");
    PluginSession first;
    ASSERT_TRUE(first.chooseThroughDialog(copy.path()));
    ASSERT_TRUE(first.waitUntilPlaying());
    first.window().idleFor(300);
    saved = first.effect().getChunk();
  }  // the file is gone

  PluginSession second;
  RgbImage fresh;
  ASSERT_TRUE(second.window().capture(fresh));
  ASSERT_EQ(second.effect().setChunk(saved), 1);
  second.window().idleFor(300);
  RgbImage notFound;
  ASSERT_TRUE(second.window().capture(notFound));
  EXPECT_GT(changedPixels(fresh, notFound, kFileNameDisplay), 10);
  EXPECT_EQ(second.parameter(0), 0.0f);
  StereoBuffer silent;
  second.effect().render(8192, silent);
  EXPECT_EQ(silent.peak(), 0.0f);
  // Saved again on this machine, the project still names the file.
  EXPECT_EQ(second.effect().getChunk(), saved);
}

TEST(StateRecallFailures, DamagedRecordsAreRefusedAndChangeNothing) {
  PluginSession plugin;
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile("l2_32k_mono_64k.mp2")));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  plugin.window().idleFor(300);
  plugin.clickAt(kPlayToggle);
  const Bytes before = plugin.effect().getChunk();
  Bytes oversized = before;
  oversized.resize(before.size() + 100000, 0x41);
  Bytes garbage(300);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<unsigned char>(i * 91 + 7);
  const std::vector<Bytes> records = {{}, garbage, Bytes(before.begin(), before.end() - 1), oversized};
  for (const Bytes& record : records) {
    SCOPED_TRACE(record.size());
    EXPECT_EQ(plugin.effect().setChunk(record), 0);
    EXPECT_EQ(plugin.effect().setChunk(record, true), 0);
  }
  plugin.window().idleFor(100);
  EXPECT_EQ(plugin.effect().getChunk(), before);
  EXPECT_EQ(plugin.parameter(0), 0.0f);
}

TEST(StateRecallFailures, TheHostDriversRoundTripPassesFreshAndWithAFile) {
  PluginSession plugin;
  testhost::ChunkRoundTrip fresh = testhost::checkChunkRoundTrip(plugin.effect());
  EXPECT_TRUE(fresh.passed) << fresh.problem;
  EXPECT_GT(fresh.bytes, 0u);
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile(kFile)));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  plugin.window().idleFor(300);
  testhost::ChunkRoundTrip loaded = testhost::checkChunkRoundTrip(plugin.effect());
  EXPECT_TRUE(loaded.passed) << loaded.problem;
  EXPECT_GT(loaded.bytes, fresh.bytes);
}

}  // namespace
}  // namespace vintrove::test
