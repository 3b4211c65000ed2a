#include <gtest/gtest.h>

#include "gui/retained.h"
#include "recording_views.h"

namespace vintrove::test {
namespace {

TEST(View, ContainsPointIncludesAllFourEdges) {
  EventLog log;
  Retained<RecordingView> view(new RecordingView(Rect{10, 20, 30, 40}, "v", log));
  EXPECT_TRUE(view->containsPoint(Point{10, 20}));
  EXPECT_TRUE(view->containsPoint(Point{30, 40}));
  EXPECT_TRUE(view->containsPoint(Point{30, 20}));
  EXPECT_TRUE(view->containsPoint(Point{10, 40}));
  EXPECT_FALSE(view->containsPoint(Point{9, 30}));
  EXPECT_FALSE(view->containsPoint(Point{31, 30}));
  EXPECT_FALSE(view->containsPoint(Point{20, 19}));
  EXPECT_FALSE(view->containsPoint(Point{20, 41}));
}

TEST(View, OverlapsAnAreaThatOnlyTouchesAnEdge) {
  EventLog log;
  Retained<RecordingView> view(new RecordingView(Rect{10, 10, 20, 20}, "v", log));
  EXPECT_TRUE(view->overlapsArea(Rect{20, 20, 30, 30}));
  EXPECT_TRUE(view->overlapsArea(Rect{0, 0, 10, 10}));
  EXPECT_TRUE(view->overlapsArea(Rect{12, 12, 14, 14}));
  EXPECT_FALSE(view->overlapsArea(Rect{21, 10, 30, 20}));
  EXPECT_FALSE(view->overlapsArea(Rect{10, 0, 20, 9}));
}

TEST(View, SetBoundsAsksForDrawingAndKeepsTheClickArea) {
  EventLog log;
  Retained<RecordingView> view(new RecordingView(Rect{1, 2, 3, 4}, "v", log));
  EXPECT_FALSE(view->needsRedraw());
  view->setBounds(Rect{5, 6, 7, 8});
  EXPECT_TRUE(view->needsRedraw());
  Rect area;
  view->getClickArea(area);
  EXPECT_EQ(area.left, 1);
  EXPECT_EQ(area.bottom, 4);
  EXPECT_EQ(view->getBounds().left, 5);
}

TEST(View, ReleaseDestroysOnceAndIgnoresFurtherReleases) {
  EventLog log;
  int destroyed = 0;
  auto* view = new RecordingView(Rect{}, "v", log, &destroyed);
  view->retain();
  EXPECT_EQ(view->getRetainCount(), 2);
  view->release();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(view->getRetainCount(), 1);
  view->release();
  EXPECT_EQ(destroyed, 1);
}

TEST(View, ReleaseAtZeroOrBelowDoesNothing) {
  // A view whose count was driven to 0 by a caller that never destroys it: a further release
  // must not destroy it a first (or second) time.
  class UncountedView : public RecordingView {
   public:
    using RecordingView::RecordingView;
    void zeroCount() { retainCount = 0; }
    ~UncountedView() override = default;
  };
  EventLog log;
  int destroyed = 0;
  auto* view = new UncountedView(Rect{}, "v", log, &destroyed);
  view->zeroCount();
  view->release();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(view->getRetainCount(), 0);
  view->retain();
  view->release();
  EXPECT_EQ(destroyed, 1);
}

TEST(View, RedrawIfNeededDrawsOnlyWhenAsked) {
  EventLog log;
  Retained<RecordingView> view(new RecordingView(Rect{}, "v", log));
  DrawContext context(nullptr, nullptr, nullptr);
  view->redrawIfNeeded(context);
  EXPECT_TRUE(log.empty());
  view->setNeedsRedraw(true);
  view->redrawIfNeeded(context);
  view->redrawIfNeeded(context);
  EXPECT_EQ(log, (EventLog{"v.draw"}));
  EXPECT_FALSE(view->needsRedraw());
}

TEST(View, OwnerEditorComesFromTheOwnerFrame) {
  EventLog log;
  Retained<RecordingView> view(new RecordingView(Rect{}, "v", log));
  EXPECT_EQ(view->getOwnerEditor(), nullptr);
}

}  // namespace
}  // namespace vintrove::test
