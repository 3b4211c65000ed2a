#include "gui/offscreen_context.h"

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace vintrove {
namespace {

using test::PixelSurface;
using test::pixelsMatch;

class OffscreenFill : public testing::TestWithParam<Color> {};

// The destination starts white, so a surface that was not filled or not copied shows.
TEST_P(OffscreenFill, WholeSurfaceStartsInTheBackgroundColour) {
  const OffscreenContext offscreen(nullptr, 10, 5, GetParam());
  PixelSurface destination(16, 9, kWhite);
  DrawContext target(nullptr, destination.dc(), nullptr);
  offscreen.blitTo(target, Rect{0, 0, 10, 5}, Point{0, 0});
  EXPECT_TRUE(pixelsMatch(destination, [](std::int32_t x, std::int32_t y) {
    return x < 10 && y < 5 ? GetParam() : kWhite;
  }));
}

INSTANTIATE_TEST_SUITE_P(Colours, OffscreenFill,
                         testing::Values(kBlack, kRed, Color{0, 128, 128, 0}));

// Text drawn offscreen must match the context's fields, as on a window context.
TEST(OffscreenContext, TextStartsTransparentInTheContextsTextColour) {
  OffscreenContext offscreen(nullptr, 40, 20, kBlack);
  EXPECT_EQ(GetTextColor(offscreen.getDeviceContext()), nativeColor(offscreen.getTextColor()));
  EXPECT_EQ(GetBkMode(offscreen.getDeviceContext()), TRANSPARENT);
  offscreen.selectFont(0);
  offscreen.drawText("W", Rect{0, 0, 40, 20});
  PixelSurface destination(40, 20, kRed);
  DrawContext target(nullptr, destination.dc(), nullptr);
  offscreen.blitTo(target, Rect{0, 0, 40, 20}, Point{0, 0});
  bool sawWhite = false;
  for (std::int32_t y = 0; y < 20; ++y) {
    for (std::int32_t x = 0; x < 40; ++x) {
      sawWhite = sawWhite || destination.pixel(x, y) == kWhite;
    }
  }
  EXPECT_TRUE(sawWhite);
}

TEST(OffscreenContext, BlitCopiesFromTheSourcePointToTheShiftedDestination) {
  OffscreenContext offscreen(nullptr, 10, 5, kRed);
  offscreen.setPenColor(kYellow);
  offscreen.moveTo(Point{2, 1});
  offscreen.lineTo(Point{6, 1});
  PixelSurface destination(20, 12, kWhite);
  DrawContext target(nullptr, destination.dc(), nullptr);
  target.setDrawOffset(Point{3, 2});
  offscreen.blitTo(target, Rect{4, 3, 8, 6}, Point{2, 1});
  // Rows 1..3 and columns 2..5 of the surface land at (7, 5).
  EXPECT_TRUE(pixelsMatch(destination, [](std::int32_t x, std::int32_t y) {
    const bool copied = x >= 7 && x < 11 && y >= 5 && y < 8;
    return !copied ? kWhite : y == 5 ? kYellow : kRed;
  }));
}

TEST(OffscreenContext, DestructionGivesBackEveryObject) {
  // The first one may make objects that live as long as the process.
  { const OffscreenContext warmUp(nullptr, 8, 8, kRed); }
  const std::int32_t before = test::liveGdiObjects();
  ASSERT_GT(before, 0);
  HDC surfaceDc = nullptr;
  for (int i = 0; i < 20; ++i) {
    OffscreenContext offscreen(nullptr, 30, 20, kYellow);
    offscreen.selectFont(2);
    surfaceDc = offscreen.getDeviceContext();
  }
  EXPECT_EQ(test::liveGdiObjects(), before);
  EXPECT_EQ(GetObjectType(surfaceDc), 0U);
}

}  // namespace
}  // namespace vintrove
