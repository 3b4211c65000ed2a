// The player's editor inside a real player effect, with a real window: its layout, the command
// channel open and closed, the reports from other threads, loads from the editor and drops.
#include "editor/player_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/controls/momentary_button.h"
#include "gui/controls/slider.h"
#include "gui/controls/text_entry.h"
#include "gui/controls/toggle_button.h"
#include "gui/frame.h"
#include "gui_test_support.h"
#include "layer1_writer.h"
#include "player/player_effect.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

enum ChildIndex {
  kOpenChild, kToStartChild, kPitchResetChild, kFileNameChild, kElapsedChild, kModeChild,
  kBitRateChild, kTotalChild, kLoopChild, kPlayChild, kPositionChild, kPitchChild,
};

class PlayerEditorTest : public ::testing::Test {
 protected:
  PlayerEditorTest() : effect(nullptr, &PlayerEditor::create) {
    editor = dynamic_cast<PlayerEditor*>(effect.editorPort());
  }

  void openEditor() { ASSERT_EQ(editor->open(host.get()), 1); }

  template <class ControlKind>
  ControlKind* child(ChildIndex index) {
    return dynamic_cast<ControlKind*>(editor->getFrame()->getChildAt(index));
  }
  std::string text(ChildIndex index) {
    char buffer[256] = "";
    child<TextEntry>(index)->getText(buffer);
    return buffer;
  }
  float controlValueAt(ChildIndex index) { return child<Control>(index)->getValue(); }
  float parameter(std::int32_t index) { return effect.getParameter(index); }

  HostWindow host;
  PlayerEffect effect;
  PlayerEditor* editor = nullptr;
};

TEST_F(PlayerEditorTest, OpensWithTwelveControlsInFrameOrderOverTheBackground) {
  openEditor();
  Frame* frame = editor->getFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(editor->isEditorOpen());
  EXPECT_EQ(frame->getBounds().right, 256);
  EXPECT_EQ(frame->getBounds().bottom, 84);
  ASSERT_NE(frame->getBackdrop(), nullptr);
  EXPECT_EQ(frame->getBackdrop()->getWidth(), 256);
  EXPECT_EQ(frame->getBackdrop()->getHeight(), 84);

  const struct {
    std::int32_t tag;
    Rect bounds;
  } expected[] = {
      {1, {4, 44, 20, 60}},   {2, {24, 44, 40, 60}},   {3, {236, 64, 252, 80}},
      {0, {4, 4, 196, 20}},   {0, {84, 44, 124, 60}},  {0, {200, 4, 216, 20}},
      {0, {220, 4, 252, 20}}, {0, {128, 44, 168, 60}}, {5, {64, 44, 80, 60}},
      {4, {44, 44, 60, 60}},  {6, {4, 24, 252, 40}},   {7, {4, 64, 232, 80}},
  };
  ASSERT_EQ(frame->getChildCount(), 12);
  for (int i = 0; i < 12; ++i) {
    auto* control = dynamic_cast<Control*>(frame->getChildAt(i));
    ASSERT_NE(control, nullptr) << i;
    EXPECT_EQ(control->getTag(), expected[i].tag) << i;
    EXPECT_EQ(control->getBounds().left, expected[i].bounds.left) << i;
    EXPECT_EQ(control->getBounds().top, expected[i].bounds.top) << i;
    EXPECT_EQ(control->getBounds().right, expected[i].bounds.right) << i;
    EXPECT_EQ(control->getBounds().bottom, expected[i].bounds.bottom) << i;
  }
  // The displays are read-only and drawn over the panel.
  for (ChildIndex display : {kFileNameChild, kElapsedChild, kModeChild, kBitRateChild,
                             kTotalChild}) {
    EXPECT_FALSE(child<TextEntry>(display)->isMouseEnabled());
    EXPECT_TRUE(child<TextEntry>(display)->isTransparent());
  }
  // The handle is 3 pixels wide: the position slider travels 245 pixels, the pitch slider 225.
  EXPECT_EQ(child<HorizontalSlider>(kPositionChild)->getTravel(), 245);
  EXPECT_EQ(child<HorizontalSlider>(kPitchChild)->getTravel(), 225);
  EXPECT_EQ(text(kElapsedChild), " 0:00");
  EXPECT_EQ(text(kTotalChild), "0:00");
  // The pitch slider shows the player's pitch, which starts one per cent fast.
  EXPECT_FLOAT_EQ(controlValueAt(kPitchChild), parameter(3));
  EXPECT_GT(controlValueAt(kPitchChild), 0.5f);
  editor->close();
  EXPECT_EQ(editor->getFrame(), nullptr);
  EXPECT_FALSE(editor->isEditorOpen());
}

TEST_F(PlayerEditorTest, CommandsSetToggleOrStepTheControlAndTellThePlayer) {
  openEditor();
  editor->command(kPlayTag, -1.0f);
  EXPECT_EQ(controlValueAt(kPlayChild), 1.0f);
  EXPECT_EQ(parameter(0), 1.0f);
  editor->command(kPlayTag, -1.0f);
  EXPECT_EQ(controlValueAt(kPlayChild), 0.0f);
  EXPECT_EQ(parameter(0), 0.0f);

  editor->command(kPositionTag, 0.25f);
  EXPECT_EQ(controlValueAt(kPositionChild), 0.25f);

  editor->command(kPitchResetTag, 0.0f);
  EXPECT_EQ(controlValueAt(kPitchChild), 0.5f);
  editor->command(kPitchTag, 1.5f);  // down by 0.5 from the middle
  EXPECT_EQ(controlValueAt(kPitchChild), 0.0f);
  EXPECT_FLOAT_EQ(parameter(3), 0.0f);
  editor->command(kPitchTag, 1.5f);  // not below 0
  EXPECT_EQ(controlValueAt(kPitchChild), 0.0f);
  editor->command(kPitchTag, 2.75f);
  EXPECT_FLOAT_EQ(controlValueAt(kPitchChild), 0.75f);
  editor->command(kPitchTag, 2.5f);  // not above 1
  EXPECT_EQ(controlValueAt(kPitchChild), 1.0f);
  editor->command(kPitchTag, 2.0f);  // no change, but the player still hears the value
  EXPECT_EQ(controlValueAt(kPitchChild), 1.0f);
  EXPECT_FLOAT_EQ(parameter(3), 1.0f);
  editor->command(kPitchResetTag, 0.0f);
  EXPECT_EQ(controlValueAt(kPitchChild), 0.5f);
  EXPECT_FLOAT_EQ(parameter(3), 0.5f);

  editor->command(kToStartTag, 0.7f);
  EXPECT_EQ(controlValueAt(kPositionChild), 0.0f);
  editor->command(kLoopTag, 1.0f);
  EXPECT_EQ(controlValueAt(kLoopChild), 1.0f);
  EXPECT_EQ(parameter(1), 1.0f);

  // The open button is never pressed by a command: no dialog, nothing changes.
  editor->command(kOpenTag, 1.0f);
  EXPECT_EQ(controlValueAt(kOpenChild), 0.0f);
}

TEST_F(PlayerEditorTest, CommandsWhileClosedReachThePlayerAndShowWhenTheEditorOpens) {
  editor->command(kLoopTag, 1.0f);
  editor->command(kPitchTag, 0.8f);
  editor->command(kPlayTag, -1.0f);
  EXPECT_EQ(parameter(1), 1.0f);
  EXPECT_FLOAT_EQ(parameter(3), 0.8f);
  EXPECT_EQ(parameter(0), 1.0f);
  EXPECT_FLOAT_EQ(editor->controlValue(kPitchTag), 0.8f);

  openEditor();
  EXPECT_EQ(controlValueAt(kLoopChild), 1.0f);
  EXPECT_EQ(controlValueAt(kPlayChild), 1.0f);
  EXPECT_FLOAT_EQ(controlValueAt(kPitchChild), 0.8f);

  // And back: closed again, the next command starts from what the controls showed.
  editor->close();
  editor->command(kPitchTag, 2.1f);
  EXPECT_FLOAT_EQ(parameter(3), 0.9f);

  // Before any command, a step starts from the player's own pitch (one per cent fast).
  PlayerEffect fresh(nullptr, &PlayerEditor::create);
  const float initial = fresh.getParameter(3);
  fresh.editorPort()->command(kPitchTag, 1.25f);
  EXPECT_FLOAT_EQ(fresh.getParameter(3), initial - 0.25f);
}

TEST_F(PlayerEditorTest, ReportsFromAnotherThreadReachTheControlsOnlyAtTheGuiThreadsIdle) {
  openEditor();
  std::thread reporter([this] {
    editor->showFileInfo(127999, 61.0f, true);
    editor->showPosition(0.5f, 30);
    editor->showPlaying(true);
    editor->command(kLoopTag, -1.0f);
  });
  reporter.join();
  EXPECT_EQ(text(kTotalChild), "0:00");
  EXPECT_EQ(text(kElapsedChild), " 0:00");
  EXPECT_EQ(controlValueAt(kPositionChild), 0.0f);
  EXPECT_EQ(controlValueAt(kLoopChild), 0.0f);
  EXPECT_EQ(parameter(1), 1.0f);  // the player acted at once

  editor->idle();
  EXPECT_EQ(text(kTotalChild), " 1:01");
  EXPECT_EQ(text(kBitRateChild), "127");
  EXPECT_EQ(text(kModeChild), "S");
  EXPECT_EQ(text(kElapsedChild), " 0:30");
  EXPECT_EQ(controlValueAt(kPositionChild), 0.5f);
  EXPECT_EQ(controlValueAt(kPlayChild), 1.0f);
  EXPECT_EQ(controlValueAt(kLoopChild), 1.0f);

  // On the GUI thread the file information shows at once.
  editor->showFileInfo(64000, 605.0f, false);
  EXPECT_EQ(text(kTotalChild), "10:05");
  EXPECT_EQ(text(kModeChild), "M");
}

TEST_F(PlayerEditorTest, ReportsWhileClosedShowWhenTheEditorOpens) {
  editor->showFileInfo(192000, 59.9f, true);
  editor->showPosition(0.0f, 12);
  openEditor();
  EXPECT_EQ(text(kTotalChild), " 0:59");
  EXPECT_EQ(text(kBitRateChild), "192");
  EXPECT_EQ(text(kElapsedChild), " 0:12");
}

TEST_F(PlayerEditorTest, ADroppedMpegFileLoadsAndPlaysAndOtherDropsChangeNothing) {
  openEditor();
  const std::string song = testDataPath("l3_44k1_stereo_128k.mp3");
  const std::string text1 = testDataPath("not_mpeg.txt");
  const char* nothingToPlay[] = {text1.c_str(), "C:\\music\\song.wav"};
  EXPECT_FALSE(editor->getFrame()->dropItems(nothingToPlay, 2, kDropFiles, Point{10, 10}));
  EXPECT_EQ(parameter(0), 0.0f);
  const char* words[] = {"some words.mp3"};
  EXPECT_FALSE(editor->getFrame()->dropItems(words, 15, kDropText, Point{10, 10}));

  // The slider keeps the focus after a drag; drops still load.
  editor->getFrame()->setFocus(child<HorizontalSlider>(kPositionChild));
  const char* mixed[] = {text1.c_str(), song.c_str()};
  EXPECT_TRUE(editor->getFrame()->dropItems(mixed, 2, kDropFiles, Point{100, 30}));
  char loaded[1024];
  effect.getFileName(loaded);
  EXPECT_EQ(std::string(loaded), song);
  EXPECT_EQ(parameter(0), 1.0f);
  editor->idle();
  EXPECT_EQ(text(kFileNameChild), "l3_44k1_stereo_128k");
  EXPECT_EQ(controlValueAt(kPlayChild), 1.0f);
}

TEST_F(PlayerEditorTest, AFileThatCannotBeOpenedKeepsNotFoundInView) {
  openEditor();
  const std::string missing = testDataPath("no_such_file.mp3");
  const char* drop[] = {missing.c_str()};
  EXPECT_TRUE(editor->loadDroppedFiles(drop, 1));
  editor->idle();
  EXPECT_EQ(text(kFileNameChild), "Not Found");
  EXPECT_EQ(parameter(0), 0.0f);
}

// Memory for four clusters of each channel of a 20-second file: the name display says why the
// file stops at 0:09, also when the decode ends before the editor shows the file's name, and
// the next load shows its name again.
TEST_F(PlayerEditorTest, ADecodeOutOfMemorySaysSoInTheNameDisplayUntilTheNextLoad) {
  openEditor();
  TempFile twentySeconds(writeLayer1(44100, 128, 2, 2297), ".mp1");
  const std::string next = testDataPath("l2_32k_mono_64k.mp2");
  ClusterSampleLoader& loader = *effect.getLoader();
  const struct {
    std::int32_t budget;
    const char* shown;
  } cases[] = {{8, "Out of memory at 0:09"}, {0, "Out of memory at 0:00"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.budget);
    loader.setClusterBudget(c.budget);
    const char* drop[] = {twentySeconds.path().c_str()};
    ASSERT_TRUE(editor->loadDroppedFiles(drop, 1));
    for (int i = 0; i < 2000 && !loader.isComplete(); ++i) pumpMessages(5);
    ASSERT_TRUE(loader.isComplete());
    editor->idle();
    EXPECT_EQ(text(kFileNameChild), c.shown);

    loader.setClusterBudget(-1);
    const char* nextDrop[] = {next.c_str()};
    ASSERT_TRUE(editor->loadDroppedFiles(nextDrop, 1));
    editor->idle();
    EXPECT_EQ(text(kFileNameChild), "l2_32k_mono_64k");
    for (int i = 0; i < 2000 && !loader.isComplete(); ++i) pumpMessages(5);
    editor->idle();
    EXPECT_EQ(text(kFileNameChild), "l2_32k_mono_64k");
  }
}

// The decoding thread can report before the GUI thread shows the name of the file it chose.
TEST_F(PlayerEditorTest, AnEarlyEndReportedBeforeTheNameIsShownStaysInView) {
  openEditor();
  const std::string song = testDataPath("l2_32k_mono_64k.mp2");
  effect.loadFile(song.c_str());
  editor->showOutOfMemory(3);
  editor->showFileName(song.c_str());
  editor->idle();
  EXPECT_EQ(text(kFileNameChild), "Out of memory at 0:03");
  effect.loadFile(song.c_str());
  editor->showFileName(song.c_str());
  editor->idle();
  EXPECT_EQ(text(kFileNameChild), "l2_32k_mono_64k") << "a new load shows its name";
}

TEST_F(PlayerEditorTest, ReopeningDuringPlaybackShowsTheRealState) {
  openEditor();
  const std::string song = testDataPath("l2_48k_stereo_192k.mp2");
  const char* drop[] = {song.c_str()};
  ASSERT_TRUE(editor->loadDroppedFiles(drop, 1));
  editor->command(kLoopTag, 1.0f);
  editor->command(kPitchTag, 0.3f);
  // Wait for the decoding thread's length report.
  for (int i = 0; i < 200 && effect.getLength() == 0; ++i) {
    pumpMessages(10);
  }
  ASSERT_GT(effect.getLength(), 0);
  editor->close();
  editor->open(host.get());
  EXPECT_EQ(controlValueAt(kPlayChild), 1.0f);
  EXPECT_EQ(controlValueAt(kLoopChild), 1.0f);
  EXPECT_FLOAT_EQ(controlValueAt(kPitchChild), 0.3f);
  EXPECT_EQ(text(kFileNameChild), "l2_48k_stereo_192k");
  EXPECT_EQ(text(kModeChild), "S");
  EXPECT_EQ(text(kBitRateChild), "192");
  EXPECT_NE(text(kTotalChild), " 0:00");
}

// The decoding thread only leaves a mark; the GUI thread redraws the overview for it at most
// every 100 ms, and a mark it passes over is drawn at a later turn.
TEST_F(PlayerEditorTest, LoadingProgressRedrawsTheOverviewAtMostEveryHundredMilliseconds) {
  openEditor();
  auto* slider = child<HorizontalSlider>(kPositionChild);
  // Before the first paint nothing is drawn, so a mark for drawing stays visible.
  ASSERT_TRUE(editor->getFrame()->isFirstPaintPending());
  editor->idle();
  slider->setNeedsRedraw(false);
  std::thread([&] { editor->showLoadingProgress(); }).join();
  EXPECT_FALSE(slider->needsRedraw()) << "the decoding thread's report drew";
  editor->idle();
  EXPECT_TRUE(slider->needsRedraw());
  slider->setNeedsRedraw(false);
  std::thread([&] { editor->showLoadingProgress(); }).join();
  editor->idle();
  EXPECT_FALSE(slider->needsRedraw()) << "redrawn again within 100 ms";
  Sleep(120);
  editor->idle();
  EXPECT_TRUE(slider->needsRedraw()) << "the report passed over was never drawn";
}

// The audio thread's and the decoding thread's reports write memory only: nothing is posted to
// the editor's window, whether its refresh has been quiet for long or not.
TEST_F(PlayerEditorTest, ReportsFromOtherThreadsPostNothingToTheWindow) {
  openEditor();
  const HWND window = static_cast<HWND>(editor->getFrame()->getWindow());
  for (int round = 0; round < 3; ++round) {
    pumpMessages(300);  // long enough for a refresh that stops when quiet to stop
    std::thread([&] {
      editor->showPosition(0.5f, 3);
      editor->showPlaying(true);
      editor->showLoadingProgress();
      editor->showFileInfo(128000, 10.0f, true);
      effect.setParameter(2, 0.25f);
    }).join();
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, window, Frame::kEditorMessage, Frame::kEditorMessage, PM_NOREMOVE))
        << "a report posted a message to the editor's window";
  }
  pumpMessages(100);
  EXPECT_EQ(text(kElapsedChild), " 0:03") << "the refresh timer did not pick the reports up";
}

TEST_F(PlayerEditorTest, ASecondOpenWithoutCloseReplacesTheWindow) {
  const std::int32_t windowsBefore = threadWindowCount();
  openEditor();
  openEditor();
  EXPECT_EQ(threadWindowCount(), windowsBefore + 1);
  EXPECT_EQ(editor->getFrame()->getChildCount(), 12);
  editor->close();
  EXPECT_EQ(threadWindowCount(), windowsBefore);
}

TEST_F(PlayerEditorTest, TheOverviewImageOutlivesTheWindow) {
  unsigned char* bits = editor->overviewBits();
  ASSERT_NE(bits, nullptr);
  openEditor();
  EXPECT_EQ(editor->overviewBits(), bits);
  editor->close();
  bits[0] = 0x5a;  // the loader may paint into it while the editor is closed
  openEditor();
  EXPECT_EQ(editor->overviewBits(), bits);
}

// A decoding thread may outlive its player (here it sits in the "file too big" box past the
// 1000 ms the player waits): the overview image it draws into lives until that thread ends.
TEST(PlayerEditorLifetime, TheOverviewImageOutlivesADecodingThreadThatOutlivesThePlayer) {
  // More than the 32-bit store's 100,000,000 frames: 261,000 frames of 384 samples.
  TempFile huge(writeLayer1(48000, 32, 1, 261000), ".mp1");
  auto player = std::make_unique<PlayerEffect>(nullptr, &PlayerEditor::create);
  player->getLoader()->limitStore(kNarrowMaxFrames);
  auto* editor = dynamic_cast<PlayerEditor*>(player->editorPort());
  ASSERT_NE(editor, nullptr);
  const std::weak_ptr<const void> image = editor->overviewOwner();
  ASSERT_FALSE(image.expired());
  player->loadFile(huge.path().c_str());
  HWND box = nullptr;
  for (int waited = 0; box == nullptr && waited < 60000; waited += 20) {
    Sleep(20);
    box = FindWindowA("#32770", "Vintrove");
  }
  ASSERT_NE(box, nullptr) << "no warning box";
  player.reset();  // waits 1000 ms, then leaves the loader to its thread
  EXPECT_FALSE(image.expired()) << "freed while the decoding thread still runs";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  for (int waited = 0; !image.expired() && waited < 3000; waited += 20) {
    Sleep(20);
  }
  EXPECT_TRUE(image.expired()) << "kept after the decoding thread ended";
}

}  // namespace
}  // namespace vintrove::test
