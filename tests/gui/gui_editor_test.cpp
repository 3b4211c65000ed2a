#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "gui_test_support.h"
#include "test_editor.h"

namespace vintrove::test {
namespace {

// A tick source the test moves by hand; sleeps advance it too and are recorded.
class ManualClock : public IdleClock {
 public:
  std::uint32_t now() override { return time; }
  void sleep(std::uint32_t milliseconds) override {
    sleeps.push_back(milliseconds);
    time += milliseconds;
  }
  std::uint32_t time = 0;
  std::vector<std::uint32_t> sleeps;
};

class Editor : public ::testing::Test {
 protected:
  void SetUp() override { editor.setIdleClock(&clock); }

  // A full pass (idle, paint, host idle) at the current time, to start each timing case from.
  void fullPassAt(std::uint32_t time) {
    clock.time = time;
    const int before = effect.hostIdles;
    editor.pumpIdle();
    ASSERT_EQ(effect.hostIdles, before + 1);
    clock.sleeps.clear();
  }

  EventLog log;  // outlives the editor's views
  GuiTestEffect effect;
  TestEditor editor{&effect};
  ManualClock clock;
};

TEST_F(Editor, PumpIdleWaitsFortySixMillisecondsBetweenFullPasses) {
  fullPassAt(1000);
  editor.requestRefresh();

  clock.time = 1010;
  editor.pumpIdle();
  EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{4}));
  EXPECT_EQ(effect.hostIdles, 1);
  EXPECT_EQ(editor.refreshes, 0);

  clock.time = 1045;  // 4 ms sleep brings it to 1049: still early
  editor.pumpIdle();
  EXPECT_EQ(effect.hostIdles, 1);

  clock.sleeps.clear();
  clock.time = 1047;
  editor.pumpIdle();
  EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{4}));
  EXPECT_EQ(effect.hostIdles, 2);
  EXPECT_EQ(editor.refreshes, 1);

  // The next pass is due 100 ms after the time the pass counted (1051), without sleeping.
  clock.sleeps.clear();
  clock.time = 1151;
  editor.pumpIdle();
  EXPECT_TRUE(clock.sleeps.empty());
  EXPECT_EQ(effect.hostIdles, 3);
}

TEST_F(Editor, PumpIdleKeepsItsRhythmAcrossTheWrapOfTheTickCount) {
  clock.time = 0xFFFFFE00u;
  editor.setIdleClock(&clock);
  fullPassAt(0xFFFFFF00u);  // the next pass is due at 0xFFFFFF64

  clock.time = 0xFFFFFF20u;
  editor.pumpIdle();
  EXPECT_EQ(effect.hostIdles, 1);

  // 272 ms after the last pass, with the count wrapped past zero: due at once.
  clock.sleeps.clear();
  clock.time = 0x10;
  editor.pumpIdle();
  EXPECT_EQ(effect.hostIdles, 2);
  EXPECT_TRUE(clock.sleeps.empty());

  clock.time = 0x20;
  editor.pumpIdle();
  EXPECT_EQ(effect.hostIdles, 2);
}

TEST_F(Editor, HostIdleCannotReenterTheEditorsIdle) {
  fullPassAt(0);
  editor.requestRefresh();
  bool wasInHostIdle = false;
  int refreshesDuring = -1;
  effect.duringHostIdle = [&] {
    wasInHostIdle = editor.isInHostIdle();
    editor.requestRefresh();
    editor.idle();  // the host calling back into its editor
    refreshesDuring = editor.refreshes;
  };
  clock.time = 200;
  editor.pumpIdle();
  EXPECT_TRUE(wasInHostIdle);
  EXPECT_EQ(refreshesDuring, 1);  // the pass's own refresh, nothing nested
  EXPECT_EQ(editor.getRefreshRequested(), 1);
  EXPECT_FALSE(editor.isInHostIdle());
}

TEST_F(Editor, FirstIdleAfterOpenRefreshesOnceThenOnlyTheFrameRedraws) {
  HostWindow host;
  EXPECT_EQ(editor.open(host.get()), 1);
  EXPECT_EQ(editor.getParentWindow(), host.get());
  ASSERT_NE(editor.getFrame(), nullptr);
  editor.idle();
  EXPECT_EQ(editor.refreshes, 1);
  editor.idle();
  EXPECT_EQ(editor.refreshes, 1);
  editor.parameterChanged(2, 0.5f);
  editor.idle();
  EXPECT_EQ(editor.refreshes, 2);
  editor.close();
  EXPECT_EQ(editor.getFrame(), nullptr);
}

TEST_F(Editor, PumpIdleDispatchesAPendingPaint) {
  HostWindow host;
  editor.open(host.get());
  InvalidateRect(editor.getFrame()->getWindow(), nullptr, FALSE);
  ASSERT_TRUE(editor.getFrame()->isFirstPaintPending());
  clock.time = 500;
  editor.pumpIdle();
  EXPECT_FALSE(editor.getFrame()->isFirstPaintPending());
}

TEST_F(Editor, ControlsReachTheEditorAndTheEffectThroughTheFrame) {
  HostWindow host;
  editor.open(host.get());
  Frame* frame = editor.getFrame();
  EXPECT_EQ(frame->getOwnerEditor(), &editor);
  auto* control = static_cast<Control*>(frame->getChildAt(0));
  EXPECT_EQ(control->getOwnerEditor(), &editor);
  clock.time = 700;
  control->pumpIdle();
  EXPECT_EQ(effect.hostIdles, 1);
  EXPECT_EQ(frame->getMilliseconds(), 700u);
  frame->beginParameterEdit(6);
  frame->endParameterEdit(6);
  EXPECT_EQ(effect.edits, (std::vector<std::string>{"begin 6", "end 6"}));
}

TEST_F(Editor, AnswersForTheHostWithAndWithoutAFrame) {
  EditorRect* rect = nullptr;
  EXPECT_EQ(editor.getEditorRect(&rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 256);
  EXPECT_EQ(rect->bottom, 84);
  EXPECT_EQ(editor.getEditorRect(&rect), 1);

  EditorBase bare(nullptr);
  EditorRect* bareRect = rect;
  EXPECT_EQ(bare.getEditorRect(&bareRect), 0);
  EXPECT_EQ(bareRect, nullptr);

  EXPECT_EQ(editor.setKnobStyle(2), 1);
  EXPECT_EQ(GuiEditor::knobStyle(), 2);
  EXPECT_EQ(editor.setKnobStyle(-5), 1);

  KeyCode key{'a', 0, 0};
  EXPECT_EQ(editor.keyDown(key), -1);
  EXPECT_EQ(editor.keyUp(key), -1);
  EXPECT_FALSE(editor.wheelTurned(1.0f));
  editor.redrawAll(nullptr);  // nothing to draw on; must simply return
}

TEST_F(Editor, KeysReachTheFramesViews) {
  HostWindow host;
  editor.open(host.get());
  auto* view = new RecordingView(Rect{}, "v", log);
  view->keyToTake = 'q';
  view->keyAnswer = 1;
  editor.getFrame()->addChild(view);
  KeyCode key{'q', 0, 0};
  EXPECT_EQ(editor.keyDown(key), 1);
  KeyCode other{'w', 0, 0};
  EXPECT_EQ(editor.keyDown(other), -1);
}

// A host creates the effect on one thread and opens, closes and destroys it on its GUI thread,
// which runs OLE for itself: the editor must leave both threads' OLE as it found them.
TEST(EditorOle, InitialisationIsBalancedOnEachThreadThatDoesIt) {
  GuiTestEffect effect;
  std::unique_ptr<TestEditor> editor;
  HRESULT creatorLeftOle = E_FAIL;
  std::thread creator([&] {
    editor = std::make_unique<TestEditor>(&effect);
    creatorLeftOle = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(creatorLeftOle)) {
      CoUninitialize();
    }
  });
  creator.join();
  EXPECT_EQ(creatorLeftOle, S_OK) << "the creating thread was left with OLE started";

  HRESULT hostsOwn = E_FAIL;
  HRESULT afterClose = E_FAIL;
  std::thread gui([&] {
    hostsOwn = OleInitialize(nullptr);
    {
      HostWindow host;
      editor->open(host.get());
      editor->close();
    }
    editor.reset();
    afterClose = OleInitialize(nullptr);  // S_FALSE: the host's OLE is still there
    if (SUCCEEDED(afterClose)) {
      OleUninitialize();
    }
    if (SUCCEEDED(hostsOwn)) {
      OleUninitialize();
    }
  });
  gui.join();
  EXPECT_EQ(hostsOwn, S_OK);
  EXPECT_EQ(afterClose, S_FALSE) << "the host's own OLE was undone";
}

}  // namespace
}  // namespace vintrove::test
