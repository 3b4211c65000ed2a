// The frame with a real child window inside a host window: class, painting, presses, refreshes,
// the edit field's colours, the cursor and the window going away before the frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "gui/frame.h"
#include "gui/native_edit_colors.h"
#include "gui/retained.h"
#include "gui_test_support.h"
#include "host/module_handle.h"
#include "recording_views.h"

namespace vintrove::test {
namespace {

class FrameWindow : public ::testing::Test {
 protected:
  Retained<Frame> openFrame() {
    return Retained<Frame>(new Frame(Rect{0, 0, 256, 84}, host.get(), nullptr));
  }
  bool classRegistered() {
    WNDCLASSA info{};
    return GetClassInfoA(static_cast<HINSTANCE>(moduleHandle()), Frame::windowClassName(),
                         &info) != 0;
  }

  HostWindow host;
  EventLog log;
};

TEST_F(FrameWindow, ClassNameIsPluginAndTheModuleHandleInEightHexDigits) {
  // All of a 64-bit handle's digits count: modules that differ only above 32 bits must not
  // share a class.
  char expected[32];
  std::snprintf(expected, sizeof expected, "Plugin%08llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(moduleHandle())));
  if (sizeof(void*) == 4) {
    EXPECT_EQ(std::strlen(expected), 14u);
  }
  EXPECT_STREQ(Frame::windowClassName(), expected);
  auto frame = openFrame();
  char actual[64] = "";
  GetClassNameA(frame->getWindow(), actual, sizeof actual);
  EXPECT_STREQ(actual, expected);
  EXPECT_EQ(GetParent(frame->getWindow()), host.get());
  RECT client{};
  GetClientRect(frame->getWindow(), &client);
  EXPECT_EQ(client.right, 256);
  EXPECT_EQ(client.bottom, 84);
}

TEST_F(FrameWindow, TwoFramesShareTheClassUntilTheLastGoes) {
  ASSERT_FALSE(classRegistered());
  auto first = openFrame();
  auto second = openFrame();
  EXPECT_TRUE(classRegistered());
  first.reset();
  EXPECT_TRUE(classRegistered());
  second.reset();
  EXPECT_FALSE(classRegistered());
  // And it comes back for the next editor.
  auto third = openFrame();
  EXPECT_TRUE(classRegistered());
  EXPECT_NE(third->getWindow(), nullptr);
}

TEST_F(FrameWindow, PaintingDrawsTheChildrenIntoTheWindow) {
  auto frame = openFrame();
  frame->addChild(new SolidControl(Rect{10, 10, 40, 30}, kRed, &log, "red"));
  frame->addChild(new SolidControl(Rect{30, 20, 60, 50}, kYellow, &log, "yellow"));
  EXPECT_TRUE(frame->isFirstPaintPending());
  InvalidateRect(frame->getWindow(), nullptr, FALSE);
  pumpMessages(50);
  EXPECT_FALSE(frame->isFirstPaintPending());
  EXPECT_EQ(windowPixel(frame->getWindow(), 15, 15), kRed);
  EXPECT_EQ(windowPixel(frame->getWindow(), 35, 25), kYellow);  // the later child on top
  EXPECT_EQ(windowPixel(frame->getWindow(), 60, 50), kYellow);
  EXPECT_NE(windowPixel(frame->getWindow(), 61, 51), kYellow);
}

TEST_F(FrameWindow, RefreshDrawsNothingBeforeTheFirstPaintAndThenOnlyWhatChanged) {
  auto frame = openFrame();
  auto* red = new SolidControl(Rect{10, 10, 40, 30}, kRed, &log, "red");
  auto* white = new SolidControl(Rect{50, 10, 80, 30}, kWhite, &log, "white");
  frame->addChild(red);
  frame->addChild(white);
  ASSERT_TRUE(frame->hasPendingRedraw());
  frame->refreshDirty();
  EXPECT_TRUE(log.empty());

  InvalidateRect(frame->getWindow(), nullptr, FALSE);
  pumpMessages(50);
  ASSERT_FALSE(frame->isFirstPaintPending());
  // The paint drew both without recording them as drawn; the first refresh catches up.
  frame->refreshDirty();
  log.clear();
  frame->refreshDirty();
  EXPECT_TRUE(log.empty());

  white->setValue(0.5f);
  white->color = kYellow;
  frame->refreshDirty();
  EXPECT_EQ(log, (EventLog{"white.draw"}));
  EXPECT_EQ(windowPixel(frame->getWindow(), 60, 20), kYellow);
}

TEST_F(FrameWindow, APressMessageReachesTheChildWithWindowCoordinates) {
  auto frame = openFrame();
  frame->addChild(new RecordingView(Rect{100, 20, 140, 60}, "v", log));
  log.clear();
  SendMessageA(frame->getWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(140, 60));
  SendMessageA(frame->getWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 20));
  SendMessageA(frame->getWindow(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(141, 60));
  EXPECT_EQ(log, (EventLog{"v.mouseDown 140,60", "v.mouseDown 100,20"}));
}

TEST_F(FrameWindow, AChildThatClosesTheEditorDuringItsPressIsNotUsedAfterwards) {
  auto frame = openFrame();
  int destroyed = 0;
  auto* view = new RecordingView(Rect{0, 0, 50, 50}, "v", log, &destroyed);
  view->onMouseDown = [&] { frame.reset(); };
  frame->addChild(view);
  SendMessageA(frame.get() ? frame->getWindow() : nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(frame.get(), nullptr);
  EXPECT_EQ(destroyed, 1);
}

TEST_F(FrameWindow, MousePositionIsRelativeToTheFrameWindow) {
  auto frame = openFrame();
  RECT placement{};
  GetWindowRect(frame->getWindow(), &placement);
  SetCursorPos(placement.left + 17, placement.top + 9);
  Point where;
  EXPECT_TRUE(frame->getMousePosition(where));
  EXPECT_EQ(where.h, 17);
  EXPECT_EQ(where.v, 9);

  auto* under = new RecordingView(Rect{10, 0, 20, 10}, "under", log);
  frame->addChild(under);
  frame->addChild(new RecordingView(Rect{30, 0, 40, 10}, "elsewhere", log));
  EXPECT_EQ(frame->getChildUnderMouse(), under);
  under->enableMouse(false);  // not considered here
  EXPECT_EQ(frame->getChildUnderMouse(), under);

  log.clear();
  EXPECT_TRUE(frame->wheelTurned(nullptr, Point{0, 0}, 2.0f));
  EXPECT_EQ(log, (EventLog{"under.wheel 2.000000 ctx"}));
  SetCursorPos(placement.left + 25, placement.top + 5);
  EXPECT_FALSE(frame->wheelTurned(nullptr, Point{15, 5}, 1.0f));
}

TEST_F(FrameWindow, RedrawNowDrawsOneChildOrEverything) {
  auto frame = openFrame();
  auto* a = new SolidControl(Rect{0, 0, 10, 10}, kRed, &log, "a");
  frame->addChild(a);
  frame->addChild(new SolidControl(Rect{20, 0, 30, 10}, kRed, &log, "b"));
  log.clear();
  frame->redrawNow(a);
  EXPECT_EQ(log, (EventLog{"a.draw"}));
  log.clear();
  frame->redrawNow(nullptr);
  EXPECT_EQ(log, (EventLog{"a.draw", "b.draw"}));
  EXPECT_FALSE(frame->isFirstPaintPending());
}

class EditColorsView : public RecordingView, public NativeEditColors {
 public:
  using RecordingView::RecordingView;
  Color getTextColor() const override { return Color{10, 20, 30, 99}; }
  Color getBoxColor() const override { return Color{40, 50, 60, 99}; }
  GdiBrush& editBrush() override { return brush; }
  GdiBrush brush;
};

TEST_F(FrameWindow, TheFocusViewColoursTheEditField) {
  auto frame = openFrame();
  auto* view = new EditColorsView(Rect{}, "edit", log);
  frame->addChild(view);
  WindowDc dc(frame->getWindow());

  // Without a focus view the default answer comes back, and nothing is made.
  SendMessageA(frame->getWindow(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.get()), 0);
  EXPECT_FALSE(view->brush);

  frame->setFocus(view);
  auto answer = SendMessageA(frame->getWindow(), WM_CTLCOLOREDIT,
                             reinterpret_cast<WPARAM>(dc.get()), 0);
  ASSERT_TRUE(view->brush);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(answer), view->brush.get());
  EXPECT_EQ(GetTextColor(dc.get()), RGB(10, 20, 30));
  EXPECT_EQ(GetBkColor(dc.get()), RGB(40, 50, 60));
  LOGBRUSH description{};
  GetObjectA(view->brush.get(), sizeof description, &description);
  EXPECT_EQ(description.lbColor, RGB(40, 50, 60));

  // Each request replaces the brush; the old one is deleted.
  HBRUSH first = view->brush.get();
  SendMessageA(frame->getWindow(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.get()), 0);
  EXPECT_NE(view->brush.get(), first);
  EXPECT_EQ(GetObjectType(first), 0u);
}

TEST_F(FrameWindow, CursorShapesAndTheSavedCursor) {
  auto frame = openFrame();
  HCURSOR before = GetCursor();
  frame->setCursorShape(kCursorWait);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
  frame->setCursorShape(kCursorSizeWestEast);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEWE));
  frame->setCursorShape(42);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEWE));
  frame->setCursorShape(kCursorSaved);
  EXPECT_EQ(GetCursor(), before);
  frame->setCursorShape(kCursorMove);
  frame.reset();  // the destructor puts the saved cursor back
  EXPECT_EQ(GetCursor(), before);
}

TEST_F(FrameWindow, AWindowDestroyedByTheHostStopsAllDrawing) {
  auto frame = openFrame();
  EXPECT_TRUE(frame->isDropTargetRegistered());
  frame->addChild(new SolidControl(Rect{0, 0, 10, 10}, kRed, &log, "a"));
  frame->redrawNow(nullptr);  // counts as the first paint
  log.clear();
  DestroyWindow(frame->getWindow());
  EXPECT_FALSE(frame->isWindowAlive());
  EXPECT_EQ(frame->getParentWindow(), nullptr);
  EXPECT_FALSE(frame->isDropTargetRegistered());
  frame->getChildAt(0)->setNeedsRedraw(true);
  frame->refreshDirty();
  DrawContext context(nullptr, nullptr, nullptr);
  frame->redrawIfNeeded(context);
  frame->redrawNow(nullptr);
  EXPECT_TRUE(log.empty());
  frame.reset();
  EXPECT_FALSE(classRegistered());
}

}  // namespace
}  // namespace vintrove::test
