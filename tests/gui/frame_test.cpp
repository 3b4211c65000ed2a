// The frame's view logic on a frame without a window: child list, event routing, focus,
// drawing order and ownership.
#include <gtest/gtest.h>

#include "gui/frame.h"
#include "gui/retained.h"
#include "recording_views.h"

namespace vintrove::test {
namespace {

class FrameLogic : public ::testing::Test {
 protected:
  RecordingView* add(const Rect& rect, const std::string& name) {
    auto* view = new RecordingView(rect, name, log, &destroyed);
    EXPECT_TRUE(frame->addChild(view));
    return view;
  }
  void press(Point where) { frame->mouseDown(context, where); }

  EventLog log;
  int destroyed = 0;
  Retained<Frame> frame{new Frame(Rect{0, 0, 256, 84}, nullptr, nullptr)};
  DrawContext context{nullptr, nullptr, nullptr};
};

TEST_F(FrameLogic, APressGoesToTheTopmostMouseEnabledChildUnderIt) {
  add(Rect{0, 0, 50, 50}, "a");
  RecordingView* b = add(Rect{20, 20, 60, 60}, "b");
  press(Point{30, 30});
  EXPECT_EQ(log, (EventLog{"a.attached", "b.attached", "b.mouseDown 30,30"}));

  log.clear();
  b->enableMouse(false);
  press(Point{30, 30});
  EXPECT_EQ(log, (EventLog{"a.mouseDown 30,30"}));

  log.clear();
  press(Point{60, 60});  // b's bottom-right corner, but b takes no mouse
  press(Point{50, 0});   // a's right edge
  press(Point{200, 70});
  EXPECT_EQ(log, (EventLog{"a.mouseDown 50,0"}));
}

TEST_F(FrameLogic, EveryPressTakesTheFocusAwayFirst) {
  RecordingView* a = add(Rect{0, 0, 50, 50}, "a");
  log.clear();
  frame->setFocus(a);
  press(Point{10, 10});
  EXPECT_EQ(log, (EventLog{"a.focusLost null", "a.mouseDown 10,10"}));
  EXPECT_EQ(frame->getFocus(), nullptr);

  log.clear();
  frame->setFocus(a);
  press(Point{200, 70});  // on no child: only the focus goes
  EXPECT_EQ(log, (EventLog{"a.focusLost null"}));
  EXPECT_EQ(frame->getFocus(), nullptr);
}

TEST_F(FrameLogic, SettingTheSameFocusAgainTellsItThatItLostTheFocus) {
  RecordingView* a = add(Rect{0, 0, 50, 50}, "a");
  RecordingView* b = add(Rect{0, 0, 50, 50}, "b");
  log.clear();
  frame->setFocus(a);
  EXPECT_TRUE(log.empty());
  frame->setFocus(a);
  EXPECT_EQ(frame->getFocus(), a);
  frame->setFocus(b);
  EXPECT_EQ(log, (EventLog{"a.focusLost null", "a.focusLost null"}));
  EXPECT_EQ(frame->getFocus(), b);
}

TEST_F(FrameLogic, KeysGoToTheFocusFirstThenToChildrenFromTheLast) {
  RecordingView* a = add(Rect{0, 0, 10, 10}, "a");
  RecordingView* b = add(Rect{0, 0, 10, 10}, "b");
  b->enableMouse(false);  // keys do not care
  a->keyToTake = 'x';
  a->keyAnswer = 7;
  log.clear();

  KeyCode key{'x', 0, 0};
  EXPECT_EQ(frame->keyDown(key), 7);
  EXPECT_EQ(log, (EventLog{"b.keyDown", "a.keyDown"}));

  log.clear();
  frame->setFocus(a);
  EXPECT_EQ(frame->keyDown(key), 7);
  EXPECT_EQ(log, (EventLog{"a.keyDown"}));

  // A focus view that declines is asked again as a child.
  log.clear();
  KeyCode other{'y', 0, 0};
  EXPECT_EQ(frame->keyDown(other), -1);
  EXPECT_EQ(log, (EventLog{"a.keyDown", "b.keyDown", "a.keyDown"}));

  log.clear();
  EXPECT_EQ(frame->keyUp(other), -1);
  EXPECT_EQ(log, (EventLog{"a.keyUp", "b.keyUp", "a.keyUp"}));
}

TEST_F(FrameLogic, DropsAreOfferedTopDownAndRefusedWhileAViewHasTheFocus) {
  RecordingView* a = add(Rect{0, 0, 100, 50}, "a");
  RecordingView* b = add(Rect{50, 0, 100, 50}, "b");
  RecordingView* c = add(Rect{0, 0, 100, 50}, "c");
  c->enableMouse(false);
  a->takesDrops = true;
  log.clear();
  const char* items[] = {"one", "two"};
  EXPECT_TRUE(frame->dropItems(items, 2, kDropFiles, Point{100, 50}));
  EXPECT_EQ(log, (EventLog{"b.drop 2 0", "a.drop 2 0"}));

  log.clear();
  EXPECT_FALSE(frame->dropItems(items, 1, kDropText, Point{101, 10}));
  EXPECT_TRUE(log.empty());

  frame->setFocus(b);
  log.clear();
  EXPECT_FALSE(frame->dropItems(items, 2, kDropFiles, Point{60, 10}));
  EXPECT_TRUE(log.empty());
}

TEST_F(FrameLogic, TheChildListGrowsByTenAndKeepsItsOrder) {
  for (int i = 0; i < 11; ++i) {
    add(Rect{i, 0, i + 1, 1}, std::string("v").append(std::to_string(i)));
  }
  EXPECT_EQ(frame->getChildCount(), 11);
  EXPECT_EQ(frame->getChildCapacity(), 20);
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(frame->getChildAt(i)->getBounds().left, i);
    EXPECT_EQ(frame->getChildAt(i)->getOwnerFrame(), frame.get());
  }
  EXPECT_EQ(frame->getChildAt(-1), nullptr);
  EXPECT_EQ(frame->getChildAt(11), nullptr);
}

TEST_F(FrameLogic, RemovingAChild) {
  RecordingView* a = add(Rect{}, "a");
  RecordingView* b = add(Rect{}, "b");
  RecordingView* c = add(Rect{}, "c");
  b->retain();
  log.clear();
  EXPECT_TRUE(frame->removeChild(b, true));
  EXPECT_EQ(log, (EventLog{"b.detached"}));
  EXPECT_EQ(frame->getChildCount(), 2);
  EXPECT_EQ(frame->getChildAt(0), a);
  EXPECT_EQ(frame->getChildAt(1), c);
  EXPECT_FALSE(frame->hasChild(b));
  EXPECT_EQ(b->getRetainCount(), 1);
  EXPECT_EQ(b->getOwnerFrame(), frame.get());  // left as it was

  // Not a child (any more): nothing changes.
  EXPECT_TRUE(frame->removeChild(b, true));
  EXPECT_EQ(frame->getChildCount(), 2);
  EXPECT_EQ(b->getRetainCount(), 1);
  b->release();
  EXPECT_EQ(destroyed, 1);

  EXPECT_TRUE(frame->removeChild(c, false));
  EXPECT_EQ(destroyed, 1);
  c->release();
  EXPECT_EQ(destroyed, 2);
}

TEST_F(FrameLogic, RemovingTheFocusViewTakesTheFocusAwayFirst) {
  RecordingView* a = add(Rect{}, "a");
  add(Rect{}, "b");
  frame->setFocus(a);
  log.clear();
  frame->removeChild(a, true);
  EXPECT_EQ(frame->getFocus(), nullptr);
  EXPECT_EQ(log, (EventLog{"a.focusLost null", "a.detached"}));
  EXPECT_EQ(destroyed, 1);
  KeyCode key{'k', 0, 0};
  EXPECT_EQ(frame->keyDown(key), -1);  // reaches only b
}

TEST_F(FrameLogic, RemoveAllChildrenTellsTheFocusAndReleasesEveryChild) {
  RecordingView* a = add(Rect{}, "a");
  add(Rect{}, "b");
  frame->setFocus(a);
  log.clear();
  frame->removeAllChildren(true);
  EXPECT_EQ(log, (EventLog{"a.focusLost null", "a.detached", "b.detached"}));
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(frame->getChildCount(), 0);
  EXPECT_EQ(frame->getChildCapacity(), 0);
  EXPECT_EQ(frame->getFocus(), nullptr);
}

TEST_F(FrameLogic, AChildRetainedOnceMoreOutlivesTheFrame) {
  RecordingView* kept = add(Rect{}, "kept");
  add(Rect{}, "other");
  kept->retain();
  frame.reset();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(kept->getRetainCount(), 1);
  kept->release();
  EXPECT_EQ(destroyed, 2);
}

TEST_F(FrameLogic, DrawsChildrenInListOrderAndOnlyThoseInTheArea) {
  add(Rect{0, 0, 10, 10}, "a");
  add(Rect{100, 0, 110, 10}, "b");
  add(Rect{5, 5, 20, 20}, "c");
  log.clear();
  frame->draw(context);
  EXPECT_EQ(log, (EventLog{"a.draw", "b.draw", "c.draw"}));
  log.clear();
  frame->drawArea(context, Rect{0, 0, 6, 6});
  EXPECT_EQ(log, (EventLog{"a.drawArea", "c.drawArea"}));
}

TEST_F(FrameLogic, RedrawIfNeededDrawsEverythingOnlyWhenTheFrameItselfNeedsIt) {
  RecordingView* a = add(Rect{}, "a");
  RecordingView* b = add(Rect{}, "b");
  log.clear();
  b->setNeedsRedraw(true);
  EXPECT_TRUE(frame->hasPendingRedraw());
  frame->redrawIfNeeded(context);
  EXPECT_EQ(log, (EventLog{"b.draw"}));
  EXPECT_FALSE(frame->hasPendingRedraw());

  log.clear();
  frame->setNeedsRedraw(true);
  a->setNeedsRedraw(true);
  frame->redrawIfNeeded(context);
  EXPECT_EQ(log, (EventLog{"a.draw", "b.draw"}));
  EXPECT_FALSE(frame->needsRedraw());
}

TEST_F(FrameLogic, WithoutAWindowNothingIsDrawnAndDropsCannotBeRegistered) {
  add(Rect{}, "a")->setNeedsRedraw(true);
  log.clear();
  frame->refreshDirty();
  frame->redrawNow(nullptr);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(frame->getWindow(), nullptr);
  EXPECT_FALSE(frame->enableDropTarget(true));
  EXPECT_TRUE(frame->enableDropTarget(false));
  EXPECT_FALSE(frame->buildWindow(nullptr));
}

TEST_F(FrameLogic, EditorServicesAnswerNothingWithoutAnEditor) {
  EXPECT_EQ(frame->getOwnerEditor(), nullptr);
  EXPECT_EQ(frame->getMilliseconds(), 0u);
  frame->pumpIdle();
  frame->beginParameterEdit(3);
  frame->endParameterEdit(3);
  RecordingView* a = add(Rect{}, "a");
  EXPECT_EQ(a->getOwnerEditor(), nullptr);
}

}  // namespace
}  // namespace vintrove::test
