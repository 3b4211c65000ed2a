#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/retained.h"
#include "gui_test_support.h"
#include "recording_views.h"

namespace vintrove::test {
namespace {

Retained<SolidControl> makeControl() {
  return Retained<SolidControl>(new SolidControl(Rect{0, 0, 10, 10}, kRed));
}

TEST(Control, NeedsDrawingFromConstructionUntilDrawnAndAgainAfterAValueChange) {
  auto control = makeControl();
  EXPECT_TRUE(control->needsRedraw());
  DrawContext context(nullptr, nullptr, nullptr);
  control->redrawIfNeeded(context);
  EXPECT_FALSE(control->needsRedraw());
  EXPECT_EQ(control->getShownValue(), control->getValue());
  control->setValue(0.3f);
  EXPECT_TRUE(control->needsRedraw());
  control->setValue(0.0f);
  EXPECT_FALSE(control->needsRedraw());
}

TEST(Control, SetNeedsRedrawMarksWithAShownValueThatDiffersFromTheValue) {
  auto control = makeControl();
  control->setValue(0.25f);
  control->setNeedsRedraw(true);
  EXPECT_EQ(control->getShownValue(), -1.0f);
  control->setValue(-1.0f);
  control->setNeedsRedraw(true);
  EXPECT_EQ(control->getShownValue(), 0.0f);
  EXPECT_TRUE(control->needsRedraw());

  control->setValue(std::numeric_limits<float>::quiet_NaN());
  control->setNeedsRedraw(true);
  EXPECT_TRUE(control->needsRedraw());

  // Clearing records the value as drawn, even when only the flag was set.
  control->setValue(0.5f);
  control->setNeedsRedraw(false);
  EXPECT_FALSE(control->needsRedraw());
  EXPECT_EQ(control->getShownValue(), 0.5f);
}

TEST(Control, ClampValueKeepsNotANumber) {
  auto control = makeControl();
  control->setValue(1.5f);
  control->clampValue();
  EXPECT_EQ(control->getValue(), 1.0f);
  control->setValue(-0.2f);
  control->clampValue();
  EXPECT_EQ(control->getValue(), 0.0f);
  control->setValue(0.4f);
  control->clampValue();
  EXPECT_EQ(control->getValue(), 0.4f);
  control->setMinimum(0.5f);
  control->setMaximum(0.6f);
  control->clampValue();
  EXPECT_EQ(control->getValue(), 0.5f);
  control->setValue(std::numeric_limits<float>::quiet_NaN());
  control->clampValue();
  EXPECT_TRUE(std::isnan(control->getValue()));
}

TEST(Control, DefaultFields) {
  auto control = makeControl();
  EXPECT_EQ(control->getValue(), 0.0f);
  EXPECT_EQ(control->getResetValue(), 0.5f);
  EXPECT_EQ(control->getWheelStep(), 0.1f);
  EXPECT_EQ(control->getMinimum(), 0.0f);
  EXPECT_EQ(control->getMaximum(), 1.0f);
  EXPECT_TRUE(control->isMouseEnabled());
  EXPECT_FALSE(control->isTransparent());
}

TEST(Control, KeepsItsBitmapAlive) {
  auto* bitmap = new Bitmap(kPatternBitmap);
  {
    Retained<SolidControl> control(new SolidControl(Rect{}, kRed, nullptr, "c", bitmap));
    EXPECT_EQ(bitmap->getRetainCount(), 2);
    // The creator's reference goes; the control's keeps the bitmap usable.
    bitmap->release();
    EXPECT_EQ(bitmap->getRetainCount(), 1);
    EXPECT_EQ(control->getBitmap()->getWidth(), 8);

    // Giving it the bitmap it already holds, as the only holder, keeps it alive.
    control->setBitmap(bitmap);
    EXPECT_EQ(bitmap->getRetainCount(), 1);
    EXPECT_EQ(control->getBitmap()->getHeight(), 6);

    auto* other = new Bitmap(kWhiteDiagonalBitmap);
    bitmap->retain();  // watch the first one go back to the test's reference only
    control->setBitmap(other);
    EXPECT_EQ(bitmap->getRetainCount(), 1);
    EXPECT_EQ(other->getRetainCount(), 2);
    other->release();
  }
  // The control released the second bitmap with itself; the first is ours alone again.
  EXPECT_EQ(bitmap->getRetainCount(), 1);
  bitmap->release();
}

}  // namespace
}  // namespace vintrove::test
