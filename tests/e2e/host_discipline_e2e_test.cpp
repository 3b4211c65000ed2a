// What a host sees of the editor through the DLL: an edit reaches it as begin, value, end; the
// open dialog asks for an MPEG audio file; a refused
// choice leaves the playing file playing, across its end, and saved with the project.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "temp_file.h"

namespace vintrove::test {
namespace {

using testhost::HostRequest;
using testhost::StereoBuffer;

// 523 Hz and 784 Hz throughout: no block of it is silent.
const char* const kToneFile = "l2_48k_stereo_192k.mp2";

TEST(HostDiscipline, AClickOnTheLoopToggleReachesTheHostAsBeginValueEnd) {
  PluginSession plugin;
  for (int click = 0; click < 2; ++click) {
    SCOPED_TRACE(click);
    plugin.host().clear();
    plugin.clickAt(kLoopToggle);
    plugin.window().idleFor(50);
    const float now = plugin.parameter(1);
    EXPECT_EQ(now, click == 0 ? 1.0f : 0.0f);
    std::vector<std::int32_t> seen;
    float reported = -1.0f;
    for (const HostRequest& r : plugin.host().requests()) {
      if (r.opcode == 43 || r.opcode == 44 || r.opcode == 0) seen.push_back(r.opcode * 10 + r.index);
      if (r.opcode == 0) reported = r.opt;
    }
    EXPECT_EQ(seen, (std::vector<std::int32_t>{431, 1, 441})) << "begin edit, automate and end edit for parameter 1";
    EXPECT_EQ(reported, now);
  }
  // A host's own change is not echoed back.
  plugin.host().clear();
  plugin.effect().setParameter(1, 1.0f);
  plugin.window().idleFor(100);
  EXPECT_EQ(plugin.host().countOf(0), 0u);
}

// The to-start and pitch-reset buttons edit Position and Pitch with their press: the host hears
// one begin, one value and one end per press, the value the parameter then has.
TEST(HostDiscipline, APressOfToStartOrPitchResetIsOneValueBetweenBeginAndEnd) {
  PluginSession plugin;
  plugin.effect().setParameter(2, 0.5f);
  plugin.effect().setParameter(3, 0.9f);
  plugin.window().idleFor(50);
  const struct {
    POINT button;
    std::int32_t parameter;
    float after;
  } presses[] = {{kToStartButton, 2, 0.0f}, {kPitchResetButton, 3, 0.5f}};
  for (const auto& press : presses) {
    SCOPED_TRACE(press.parameter);
    plugin.host().clear();
    plugin.clickAt(press.button);
    plugin.window().idleFor(50);
    EXPECT_EQ(plugin.parameter(press.parameter), press.after);
    std::vector<std::int32_t> seen;
    std::vector<float> reported;
    for (const HostRequest& r : plugin.host().requests()) {
      if (r.opcode == 43 || r.opcode == 44 || r.opcode == 0) seen.push_back(r.opcode * 10 + r.index);
      if (r.opcode == 0) reported.push_back(r.opt);
    }
    const std::int32_t p = press.parameter;
    EXPECT_EQ(seen, (std::vector<std::int32_t>{430 + p, p, 440 + p})) << "begin edit, automate and end edit";
    EXPECT_EQ(reported, (std::vector<float>{press.after}));
  }
}

// The title the user reads. (Wine's dialog checks that a typed name exists before it adds the
// default extension, so the "mp3" default cannot be shown here.)
TEST(HostDiscipline, TheDialogAsksForAnMpegAudioFile) {
  PluginSession plugin;
  std::string title;
  plugin.window().runOnTimer(20, [&] {
    HWND dialog = FindWindowA("#32770", nullptr);
    if (dialog == nullptr) return false;
    char text[128] = {};
    GetWindowTextA(dialog, text, sizeof text);
    title = text;
    return true;
  });
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile(kToneFile)));
  EXPECT_EQ(title, "Choose an MPEG audio file");
  EXPECT_TRUE(plugin.waitUntilPlaying());
}

TEST(HostDiscipline, ARefusedChoiceLeavesTheLoopingFilePlayingAndSaved) {
  PluginSession plugin;
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile(kToneFile)));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  plugin.window().idleFor(500);  // decoded whole
  plugin.clickAt(kLoopToggle);
  ASSERT_EQ(plugin.parameter(1), 1.0f);
  const TempFile empty(std::vector<unsigned char>{}, ".mp3");
  plugin.effect().setParameter(2, 0.97f);
  const float before = plugin.parameter(2);
  ASSERT_TRUE(plugin.chooseThroughDialog(empty.path()));
  plugin.window().idleFor(100);
  EXPECT_EQ(plugin.parameter(0), 1.0f) << "playing stopped";
  EXPECT_NEAR(plugin.parameter(2), before, 1e-6f) << "the position moved";
  int silent = 0;
  StereoBuffer block;
  for (int i = 0; i < 400; ++i) {
    plugin.effect().render(kBlockSize, block);
    if (block.peak() == 0.0f) ++silent;
  }
  EXPECT_EQ(silent, 0) << "blocks across the end of the looping file were silent";
  const std::vector<unsigned char> saved = plugin.effect().getChunk();
  const std::string bytes(saved.begin(), saved.end());
  EXPECT_NE(bytes.find(kToneFile), std::string::npos) << "the project does not name the playing file";
  EXPECT_EQ(bytes.find("vintrove-test-"), std::string::npos) << "the project names the refused file";
}

}  // namespace
}  // namespace vintrove::test
