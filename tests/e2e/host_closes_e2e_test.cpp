// Hosts closing the plug-in where it does not expect it, and opening and closing its editor
// again and again with drags.
//
// Hosts close editors and whole effects from their idle callback, and a control that tracks the
// mouse asks for idle on every pass of its loop: the host here closes the editor, the effect
// (with or without closing the editor first) or the effect and the library from inside the
// pitch slider's drag, the to-start button's hold and the play toggle's click, and from its
// timer while the file dialog is up. The plug-in is the build that overwrites what it frees, so
// a loop that went on with the freed editor would fault on 0x41414141. The host must live on, and an editor closed mid-drag must stop
// driving the player and still end the edit it began.
//
// A host may also close the effect on another thread than the editor's without closing the
// editor first; only the window's own thread can destroy it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dialog_answerer.h"
#include "e2e_support.h"
#include "file_drag.h"
#include "gui_census.h"

namespace vintrove::test {
namespace {

using testhost::EditorWindow;
using testhost::EffectSession;
using testhost::PluginLibrary;
using testhost::RecordingHost;

enum class Loop { kSliderDrag, kButtonHold, kToggleClick };
enum class Closing { kEditor, kEffect, kEffectLeavingTheEditor, kEffectAndLibrary };

struct LoopCase {
  const char* name;
  Loop loop;
  Closing closing;
};

// The parameter each loop's control edits: pitch, position (to start), playing.
std::int32_t editedParameter(Loop loop) {
  switch (loop) {
    case Loop::kSliderDrag: return 3;
    case Loop::kButtonHold: return 2;
    case Loop::kToggleClick: break;
  }
  return 0;
}

void playGesture(EditorWindow& window, Loop loop) {
  switch (loop) {
    case Loop::kSliderDrag: window.dragFrom(40, 72).to(220, 72, 12); break;
    case Loop::kButtonHold: window.clickAt(kToStartButton.x, kToStartButton.y, 300); break;
    case Loop::kToggleClick: window.clickAt(kPlayToggle.x, kPlayToggle.y); break;
  }
}

// Begin (43) and end (44) edit requests for one parameter.
std::vector<std::string> bracketsOf(const RecordingHost& host, std::int32_t index) {
  std::vector<std::string> brackets;
  for (const testhost::HostRequest& request : host.requests()) {
    if ((request.opcode == 43 || request.opcode == 44) && request.index == index) {
      brackets.push_back(request.opcode == 43 ? "begin" : "end");
    }
  }
  return brackets;
}

class HostClosesInsideALoop : public ::testing::TestWithParam<LoopCase> {};

TEST_P(HostClosesInsideALoop, TheHostLivesOnAndNothingOfTheEditorRunsAfterward) {
  const LoopCase& c = GetParam();
  auto library = std::make_unique<PluginLibrary>(VINTROVE_POISONED_DLL_PATH);
  ASSERT_TRUE(library->loaded()) << library->error();
  RecordingHost host;
  auto session = std::make_unique<EffectSession>(*library);
  ASSERT_TRUE(session->valid());
  session->open();
  session->setSampleRate(44100.0f);
  session->setBlockSize(kBlockSize);
  session->resume();
  session->setParameter(2, 0.75f);
  auto window = std::make_unique<EditorWindow>(*session);
  ASSERT_TRUE(window->isOpen());
  const HWND view = window->view();
  window->idleFor(100);

  std::atomic<bool> closedInside{false};
  const float playingBefore = session->getParameter(0);
  float atTheClose[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
  host.atNextIdle([&] {
    closedInside.store(true);
    for (std::int32_t index = 0; index < 4; ++index) atTheClose[index] = session->getParameter(index);
    switch (c.closing) {
      case Closing::kEditor: session->closeEditor(); break;
      case Closing::kEffect: session->close(); break;
      case Closing::kEffectLeavingTheEditor: session->closeLeavingTheEditor(); break;
      case Closing::kEffectAndLibrary:
        session->close();
        library.reset();
        break;
    }
  });
  playGesture(*window, c.loop);
  window->idleFor(200);
  ASSERT_TRUE(closedInside.load()) << "the loop asked for no idle";
  EXPECT_FALSE(IsWindow(view)) << "the editor's window outlived its close";
  EXPECT_TRUE(IsWindow(window->window()));

  if (c.closing == Closing::kEditor) {
    // The effect lives on: the edit the control began is ended (the toggle idles before it
    // begins one), and nothing after the close reached the player.
    const std::int32_t index = editedParameter(c.loop);
    const std::vector<std::string> expected =
        c.loop == Loop::kToggleClick ? std::vector<std::string>{} : std::vector<std::string>{"begin", "end"};
    EXPECT_EQ(bracketsOf(host, index), expected) << "parameter " << index;
    for (std::int32_t parameter : {0, 2, 3}) {
      EXPECT_EQ(session->getParameter(parameter), atTheClose[parameter]) << "parameter " << parameter;
    }
    if (c.loop == Loop::kToggleClick) {
      EXPECT_EQ(session->getParameter(0), playingBefore);
    }
    // And a new editor works.
    window.reset();
    window = std::make_unique<EditorWindow>(*session);
    EXPECT_TRUE(window->isOpen());
    window->clickAt(kPlayToggle.x, kPlayToggle.y);
    EXPECT_NE(session->getParameter(0), playingBefore);
  }
  window.reset();
  session.reset();
}

INSTANTIATE_TEST_SUITE_P(
    DragsHoldsAndClicks, HostClosesInsideALoop,
    ::testing::Values(LoopCase{"SliderEditor", Loop::kSliderDrag, Closing::kEditor},
                      LoopCase{"SliderEffect", Loop::kSliderDrag, Closing::kEffect},
                      LoopCase{"SliderEffectLeavingTheEditor", Loop::kSliderDrag, Closing::kEffectLeavingTheEditor},
                      LoopCase{"SliderEffectAndLibrary", Loop::kSliderDrag, Closing::kEffectAndLibrary},
                      LoopCase{"ButtonEditor", Loop::kButtonHold, Closing::kEditor},
                      LoopCase{"ButtonEffect", Loop::kButtonHold, Closing::kEffect},
                      LoopCase{"ButtonEffectLeavingTheEditor", Loop::kButtonHold, Closing::kEffectLeavingTheEditor},
                      LoopCase{"ButtonEffectAndLibrary", Loop::kButtonHold, Closing::kEffectAndLibrary},
                      LoopCase{"ToggleEditor", Loop::kToggleClick, Closing::kEditor},
                      LoopCase{"ToggleEffect", Loop::kToggleClick, Closing::kEffect},
                      LoopCase{"ToggleEffectLeavingTheEditor", Loop::kToggleClick, Closing::kEffectLeavingTheEditor},
                      LoopCase{"ToggleEffectAndLibrary", Loop::kToggleClick, Closing::kEffectAndLibrary}),
    [](const ::testing::TestParamInfo<LoopCase>& param) { return std::string(param.param.name); });

// A host may also act at once on what a control tells it of its edit: the begin, each new value
// (automate) or the end. Closing the editor or the whole effect there must leave the press's
// way back out touching nothing of what went (the poisoned build faults on it), and an editor
// closed there drives the player no more and ends the edit once.
struct EditRequestCase {
  std::string name;
  Loop loop;
  std::int32_t opcode;  // 43 begin edit, 0 automate, 44 end edit
  Closing closing;
};

class HostClosesWhenToldOfAnEdit : public ::testing::TestWithParam<EditRequestCase> {};

TEST_P(HostClosesWhenToldOfAnEdit, TheHostLivesOnAndNothingOfTheEditorRunsAfterward) {
  const EditRequestCase& c = GetParam();
  auto library = std::make_unique<PluginLibrary>(VINTROVE_POISONED_DLL_PATH);
  ASSERT_TRUE(library->loaded()) << library->error();
  RecordingHost host;
  auto session = std::make_unique<EffectSession>(*library);
  ASSERT_TRUE(session->valid());
  session->open();
  session->setSampleRate(44100.0f);
  session->setBlockSize(kBlockSize);
  session->resume();
  session->setParameter(2, 0.75f);
  auto window = std::make_unique<EditorWindow>(*session);
  ASSERT_TRUE(window->isOpen());
  const HWND view = window->view();
  window->idleFor(100);

  const std::int32_t index = editedParameter(c.loop);
  std::atomic<bool> closedInside{false};
  float atTheClose = -1.0f;
  host.atNextRequest(c.opcode, [&] {
    closedInside.store(true);
    atTheClose = session->getParameter(index);
    switch (c.closing) {
      case Closing::kEditor: session->closeEditor(); break;
      case Closing::kEffect: session->close(); break;
      case Closing::kEffectLeavingTheEditor: session->closeLeavingTheEditor(); break;
      case Closing::kEffectAndLibrary:
        session->close();
        library.reset();
        break;
    }
  });
  playGesture(*window, c.loop);
  window->idleFor(200);
  ASSERT_TRUE(closedInside.load()) << "no request " << c.opcode << " came";
  EXPECT_FALSE(IsWindow(view)) << "the editor's window outlived its close";
  EXPECT_TRUE(IsWindow(window->window()));
  if (c.closing == Closing::kEditor) {
    EXPECT_EQ(session->getParameter(index), atTheClose) << "the closed editor went on driving parameter " << index;
    EXPECT_EQ(bracketsOf(host, index), (std::vector<std::string>{"begin", "end"})) << "parameter " << index;
  }
  window.reset();
  session.reset();
}

std::vector<EditRequestCase> editRequestCases() {
  const struct {
    const char* name;
    Loop loop;
  } loops[] = {{"Slider", Loop::kSliderDrag}, {"Button", Loop::kButtonHold}, {"Toggle", Loop::kToggleClick}};
  const struct {
    const char* name;
    std::int32_t opcode;
  } requests[] = {{"BeginEdit", 43}, {"Automate", 0}, {"EndEdit", 44}};
  const struct {
    const char* name;
    Closing closing;
  } closings[] = {{"Editor", Closing::kEditor}, {"Effect", Closing::kEffect}, {"EffectAndLibrary", Closing::kEffectAndLibrary}};
  std::vector<EditRequestCase> cases;
  for (const auto& loop : loops) {
    for (const auto& request : requests) {
      for (const auto& closing : closings) {
        cases.push_back(EditRequestCase{std::string(loop.name) + request.name + closing.name, loop.loop,
                                        request.opcode, closing.closing});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(
    BeginValueAndEnd, HostClosesWhenToldOfAnEdit, ::testing::ValuesIn(editRequestCases()),
    [](const ::testing::TestParamInfo<EditRequestCase>& param) { return param.param.name; });

// The file dialog's loop: the host's timer (from which hosts send idle) closes the editor, the
// effect, or the effect and the library while the dialog is up; then the user cancels it.
class HostClosesDuringTheDialogOnAPoisonedBuild : public ::testing::TestWithParam<Closing> {};

TEST_P(HostClosesDuringTheDialogOnAPoisonedBuild, TheDialogsReturnTouchesNothingOfWhatWent) {
  auto library = std::make_unique<PluginLibrary>(VINTROVE_POISONED_DLL_PATH);
  ASSERT_TRUE(library->loaded());
  RecordingHost host;
  auto session = std::make_unique<EffectSession>(*library);
  session->open();
  session->resume();
  EditorWindow window(*session);
  ASSERT_TRUE(window.isOpen());
  const HWND view = window.view();
  std::atomic<bool> closedDuringDialog{false};
  window.runOnTimer(20, [&] {
    if (testhost::visibleFileDialogs() == 0) return false;
    closedDuringDialog.store(true);
    switch (GetParam()) {
      case Closing::kEditor: session->closeEditor(); break;
      case Closing::kEffect: session->close(); break;
      case Closing::kEffectLeavingTheEditor: session->closeLeavingTheEditor(); break;
      case Closing::kEffectAndLibrary:
        session->close();
        library.reset();
        break;
    }
    return true;
  });
  testhost::DialogAnswerer answerer(testhost::DialogAnswer::cancelAfter(600));
  window.clickAt(kOpenButton.x, kOpenButton.y);
  EXPECT_TRUE(answerer.wait());
  window.idleFor(200);
  EXPECT_TRUE(closedDuringDialog.load());
  EXPECT_EQ(testhost::visibleFileDialogs(), 0);
  EXPECT_FALSE(IsWindow(view));
  if (GetParam() == Closing::kEditor) {
    EXPECT_EQ(session->getParameter(0), 0.0f);  // cancelled: nothing loaded, nothing plays
  }
}

INSTANTIATE_TEST_SUITE_P(EditorEffectAndLibrary, HostClosesDuringTheDialogOnAPoisonedBuild,
                         ::testing::Values(Closing::kEditor, Closing::kEffect, Closing::kEffectLeavingTheEditor,
                                           Closing::kEffectAndLibrary));

// The effect closed on a thread of the host's while the editor's thread waits for that thread
// without taking messages (as a host's GUI thread waits for its worker): the close must not
// need the editor's thread, the editor's window must go once its thread takes messages again,
// and nothing of the unloaded library may be called for that window afterwards.
TEST(EffectClosedOnAnotherThread, TheEditorsWindowGoesOnItsOwnThreadAfterTheUnload) {
  auto library = std::make_unique<PluginLibrary>(VINTROVE_DLL_PATH);
  ASSERT_TRUE(library->loaded());
  RecordingHost host;
  EffectSession session(*library);
  session.open();
  session.setSampleRate(44100.0f);
  session.setBlockSize(kBlockSize);
  session.resume();
  EditorWindow window(session);
  ASSERT_TRUE(window.isOpen());
  const HWND view = window.view();
  window.clickAt(kLoopToggle.x, kLoopToggle.y);  // the refresh timer runs, the window is drawn
  ASSERT_EQ(session.getParameter(1), 1.0f);

  std::atomic<bool> closed{false};
  std::thread closer([&] {
    session.closeLeavingTheEditor();
    closed.store(true);
  });
  for (int waited = 0; !closed.load() && waited < 5000; waited += 10) Sleep(10);
  const bool closedWithoutThisThread = closed.load();
  while (!closed.load()) window.idleFor(10);  // a close that needs this thread ends now
  closer.join();
  EXPECT_TRUE(closedWithoutThisThread) << "closing on another thread waited for the editor's thread";

  library.reset();  // the host's last reference: the code is gone
  RedrawWindow(window.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  window.idleFor(300);
  EXPECT_FALSE(IsWindow(view)) << "the editor's window was left behind";
  EXPECT_TRUE(IsWindow(window.window()));

  // Loaded again, the library makes its window class afresh and its editor works.
  PluginLibrary again(VINTROVE_DLL_PATH);
  EffectSession second(again);
  second.open();
  second.resume();
  {
    EditorWindow secondWindow(second);
    ASSERT_TRUE(secondWindow.isOpen());
    secondWindow.clickAt(kPlayToggle.x, kPlayToggle.y);
    EXPECT_EQ(second.getParameter(0), 1.0f);
  }
}

// A hundred openings and closings of the editor, each with file drags over it (one it takes
// now and then, which loads) and slider drags: the GDI objects and windows are where they were.
TEST(EditorCycles, AHundredOpeningsWithDragsLeaveGdiObjectsAndWindowsWhereTheyWere) {
  PluginSession plugin;
  const std::string song = testhost::windowsPath(dataFile("l2_32k_mono_64k.mp2"));
  const std::string text = testhost::windowsPath(dataFile("not_mpeg.txt"));
  auto cycle = [&](int turn) {
    plugin.openEditor();
    const POINT over = plugin.window().toScreen(120, 60);
    const testhost::FileDrag refused = testhost::dragFilesOnto(over, {text, text + ".lnk"});
    EXPECT_EQ(refused.effect, DWORD{DROPEFFECT_NONE}) << turn;
    if (turn % 10 == 0) {
      EXPECT_EQ(testhost::dragFilesOnto(over, {text, song}).effect, DWORD{DROPEFFECT_COPY}) << turn;
    }
    if (turn % 4 == 0) plugin.window().dragFrom(40, 32).to(200, 32, 3);
    plugin.closeEditor();
  };
  cycle(0);  // what the first opening makes for the process (fonts, OLE's windows) stays
  Sleep(300);
  const testhost::GuiCounts before = testhost::countGui();
  for (int turn = 1; turn <= 100; ++turn) cycle(turn);
  Sleep(300);  // the last load's decode ends
  const testhost::GuiCounts after = testhost::countGui();
  EXPECT_EQ(after.gdiObjects, before.gdiObjects);
  EXPECT_EQ(after.windows, before.windows);
}

}  // namespace
}  // namespace vintrove::test
