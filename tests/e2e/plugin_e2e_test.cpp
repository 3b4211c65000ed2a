// The whole road from click to sound, through our host loading the DLL as a music host does:
// the editor in a window, real clicks, the real open-file dialog, rendered blocks compared with
// the decoded file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "e2e_support.h"
#include "known_decodes.h"
#include "layer1_writer.h"
#include "png_writer.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

using testhost::RgbImage;
using testhost::StereoBuffer;

struct PlaybackCase {
  const char* file;
  float hostRate;
  float pitchParameter;
};

class PlaybackThroughTheEditor : public ::testing::TestWithParam<PlaybackCase> {};

TEST_P(PlaybackThroughTheEditor, ChosenFileShowsAndSoundsAsDecoded) {
  const PlaybackCase& c = GetParam();
  const ReferenceDecode decoded = gaplessReferenceFile(c.file);
  PluginSession plugin(c.hostRate);
  RgbImage before;
  ASSERT_TRUE(plugin.window().capture(before));

  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile(c.file)));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  // Within a second the file's name, mode, bit rate, total time and overview show.
  const RECT shown[] = {{4, 4, 196, 20}, {200, 4, 216, 20}, {220, 4, 252, 20},
                        {128, 44, 168, 60}, {4, 24, 252, 40}};
  RgbImage after;
  bool allChanged = false;
  plugin.window().idleUntil(
      [&] {
        plugin.window().capture(after);
        allChanged = true;
        for (const RECT& area : shown) {
          allChanged = allChanged && changedPixels(before, after, area) > 10;
        }
        return allChanged;
      },
      1000);
  EXPECT_TRUE(allChanged);
  for (const RECT& area : shown) {
    EXPECT_GT(changedPixels(before, after, area), 10) << area.left << "," << area.top;
  }

  // Hold playback at the start until the file is decoded, then play it at the chosen pitch.
  plugin.clickAt(kPlayToggle);
  ASSERT_EQ(plugin.parameter(0), 0.0f);
  plugin.window().idleFor(300);
  plugin.clickAt(kToStartButton);
  plugin.effect().setParameter(3, c.pitchParameter);
  plugin.clickAt(kPlayToggle);
  ASSERT_EQ(plugin.parameter(0), 1.0f);

  StereoBuffer rendered;
  plugin.effect().render(static_cast<std::int32_t>(c.hostRate), rendered);
  EXPECT_GT(rendered.peak(), 0.1f);
  const float ratio = speedRatio(c.pitchParameter, c.hostRate, decoded.sampleRate);
  EXPECT_EQ(framesNotFromFile(rendered, decoded, 0, ratio), 0);
}

INSTANTIATE_TEST_SUITE_P(
    HostsAndPitches, PlaybackThroughTheEditor,
    ::testing::Values(PlaybackCase{"l3_44k1_stereo_128k.mp3", 44100.0f, 0.5f},
                      PlaybackCase{"l3_44k1_stereo_128k.mp3", 48000.0f, 0.5f},
                      PlaybackCase{"l3_48k_stereo_320k.mp3", 44100.0f, 0.75f},
                      PlaybackCase{"l2_48k_stereo_192k.mp2", 48000.0f, 0.2f}));

class EditorControls : public ::testing::Test {
 protected:
  void SetUp() override {
    decoded = gaplessReferenceFile("l3_44k1_stereo_128k.mp3");
    ASSERT_TRUE(plugin.chooseThroughDialog(dataFile("l3_44k1_stereo_128k.mp3")));
    ASSERT_TRUE(plugin.waitUntilPlaying());
    plugin.window().idleFor(300);
    plugin.clickAt(kPitchResetButton);
    ASSERT_EQ(plugin.parameter(3), 0.5f);
  }
  StereoBuffer render(std::int32_t frames) {
    StereoBuffer out;
    plugin.effect().render(frames, out);
    return out;
  }
  std::int64_t length() const { return static_cast<std::int64_t>(decoded.samples[0].size()); }

  PluginSession plugin;
  ReferenceDecode decoded;
};

TEST_F(EditorControls, PlayToStartAndPitchResetActOnTheSound) {
  render(44100);
  plugin.clickAt(kToStartButton);
  EXPECT_EQ(plugin.parameter(2), 0.0f);
  EXPECT_EQ(framesNotFromFile(render(22050), decoded, 0, 1.0f), 0);

  plugin.clickAt(kPlayToggle);
  EXPECT_EQ(plugin.parameter(0), 0.0f);
  EXPECT_EQ(render(4096).peak(), 0.0f);
  plugin.clickAt(kPlayToggle);
  EXPECT_EQ(plugin.parameter(0), 1.0f);
  EXPECT_GT(render(22050).peak(), 0.0f);

  plugin.effect().setParameter(3, 0.0f);  // -12 per cent
  plugin.clickAt(kPitchResetButton);
  EXPECT_EQ(plugin.parameter(3), 0.5f);
}

TEST_F(EditorControls, TheSlidersMoveThePositionAndThePitch) {
  // A click on the overview at x = 126 puts the handle's centre there: about half the file.
  plugin.clickAt(POINT{126, 32});
  const float position = plugin.parameter(2);
  EXPECT_NEAR(position, 0.5f, 0.02f);
  const auto start = static_cast<std::int64_t>(position * static_cast<float>(length()));
  EXPECT_EQ(framesNotFromFile(render(8192), decoded, start, 1.0f), 0) << start;

  plugin.window().dragFrom(118, 72).to(230, 72);
  EXPECT_GT(plugin.parameter(3), 0.95f);
  plugin.window().dragFrom(230, 72).to(6, 72);
  EXPECT_LT(plugin.parameter(3), 0.05f);
}

TEST_F(EditorControls, LoopKeepsPlayingPastTheEndAndWithoutLoopPlaybackStops) {
  plugin.clickAt(kLoopToggle);
  ASSERT_EQ(plugin.parameter(1), 1.0f);
  render(static_cast<std::int32_t>(length()) + 44100);
  EXPECT_EQ(plugin.parameter(0), 1.0f);
  plugin.clickAt(kLoopToggle);
  ASSERT_EQ(plugin.parameter(1), 0.0f);
  render(static_cast<std::int32_t>(length()));
  EXPECT_EQ(plugin.parameter(0), 0.0f);
  EXPECT_EQ(plugin.parameter(2), 0.0f);
}

TEST_F(EditorControls, MidiKeysActWithTheEditorOpenAndClosed) {
  plugin.effect().noteOn(49);  // toggle playing
  EXPECT_EQ(plugin.parameter(0), 0.0f);
  plugin.effect().noteOn(60);  // cue 7: the middle of the file
  EXPECT_NEAR(plugin.parameter(2), 0.5f, 0.001f);

  plugin.closeEditor();
  plugin.effect().noteOn(49);
  EXPECT_EQ(plugin.parameter(0), 1.0f);
  plugin.effect().noteOn(48);  // cue 0
  EXPECT_EQ(plugin.parameter(2), 0.0f);
  plugin.effect().noteOn(70);  // pitch up by 0.02
  EXPECT_NEAR(plugin.parameter(3), 0.52f, 0.0001f);
  plugin.effect().noteOn(68);  // pitch back to the middle
  EXPECT_EQ(plugin.parameter(3), 0.5f);
  EXPECT_EQ(framesNotFromFile(render(8192), decoded, 0, 1.0f), 0);
}

TEST_F(EditorControls, ReopeningDuringPlaybackShowsTheRealState) {
  plugin.clickAt(kLoopToggle);
  RgbImage playing;
  ASSERT_TRUE(plugin.window().capture(playing));
  plugin.closeEditor();
  render(4096);
  plugin.openEditor();
  plugin.window().idleFor(100);
  RgbImage reopened;
  ASSERT_TRUE(plugin.window().capture(reopened));
  // Play and loop buttons look as they did before closing: on.
  EXPECT_EQ(changedPixels(playing, reopened, RECT{44, 44, 80, 60}), 0);
  EXPECT_EQ(plugin.parameter(0), 1.0f);
}

TEST(PluginFailures, MissingNonMpegAndTooBigFilesLeaveTheHostRunning) {
  PluginSession plugin;
  RgbImage fresh;
  ASSERT_TRUE(plugin.window().capture(fresh));

  // A name the dialog refuses (the file must exist): nothing is loaded.
  EXPECT_FALSE(plugin.chooseThroughDialog(dataFile("no_such_file.mp3")));
  EXPECT_EQ(plugin.parameter(0), 0.0f);

  // Not MPEG audio: the load runs and finds nothing to play.
  TempFile notMpeg(readFileBytes(testDataPath("not_mpeg.wav")), ".mp3");
  ASSERT_TRUE(plugin.chooseThroughDialog(notMpeg.path()));
  plugin.window().idleFor(300);
  StereoBuffer silent;
  plugin.effect().render(8192, silent);
  EXPECT_EQ(silent.peak(), 0.0f);

  // Longer than a 32-bit store holds (100,000,000 frames): 261,000 frames of 384 samples, 8.4 MB
  // of 32 kbit/s layer I. On 32 bits the warning box once the store is full, then nothing to
  // play; on 64 bits it loads and plays to its very end.
  MessageBoxWatcher warnings("Vintrove");
  const std::vector<unsigned char> hugeBytes = writeLayer1(48000, 32, 1, 261000);
  TempFile huge(hugeBytes, ".mp1");
  ASSERT_TRUE(plugin.chooseThroughDialog(huge.path()));
  if constexpr (sizeof(void*) == 8) {
    ASSERT_TRUE(plugin.waitUntilDecoded(huge.path(), 120000));
    EXPECT_EQ(warnings.seen(), 0);
    expectPlaybackEndsAtExactly(plugin, hugeBytes, 261000 * 384, 48000);
  } else {
    plugin.window().idleUntil([&] { return warnings.seen() > 0; }, 60000);
    EXPECT_EQ(warnings.seen(), 1);
    EXPECT_EQ(warnings.lastText(), "Loading canceled, file too big");
    StereoBuffer afterWarning;
    plugin.effect().render(8192, afterWarning);
    EXPECT_EQ(afterWarning.peak(), 0.0f);
  }

  // And the host goes on: a good file still plays.
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile("l2_32k_mono_64k.mp2")));
  EXPECT_TRUE(plugin.waitUntilPlaying());
}

TEST(PluginShutdown, ClosingWhileALongFileDecodesNeitherHangsNorCrashes) {
  // Long enough that it is still decoding when the host closes the plug-in.
  TempFile longFile(writeLayer1(48000, 32, 1, 60000), ".mp1");
  for (bool editorOpenAtClose : {true, false}) {
    auto plugin = std::make_unique<PluginSession>();
    ASSERT_TRUE(plugin->chooseThroughDialog(longFile.path()));
    ASSERT_TRUE(plugin->waitUntilPlaying());
    if (!editorOpenAtClose) {
      plugin->closeEditor();
    }
    StereoBuffer some;
    plugin->effect().render(2048, some);
    const DWORD start = GetTickCount();
    plugin.reset();  // closes the editor (if open) and the effect, and frees the library
    // The decoding thread is told to stop; closing waits at most a second for it.
    EXPECT_LT(GetTickCount() - start, 2000u);
  }
}

}  // namespace
}  // namespace vintrove::test
