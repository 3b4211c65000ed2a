// The momentary and toggle buttons under real mouse input: a press loop polls the real button
// state and cursor while a script moves and releases from another thread.
#include <gtest/gtest.h>

#include "control_bench.h"
#include "gui/bitmap.h"
#include "gui/controls/momentary_button.h"
#include "gui/controls/toggle_button.h"
#include "gui/retained.h"

namespace vintrove::test {
namespace {

constexpr Rect kButtonRect{20, 20, 36, 36};
constexpr Point kOnButton{28, 28};

// The two images, with their yellow corners keyed out when drawn masked.
Bitmap* keyedTwoImages() {
  auto* picture = new Bitmap(kTwoImagesBitmap);
  picture->setKeyColor(kYellow);
  return picture;
}

class Buttons : public ControlBench {
 protected:
  MomentaryButton* addMomentary() {
    return add(new MomentaryButton(kButtonRect, &listener, 7, 16, picture.get(), Point{0, 0}));
  }
  ToggleButton* addToggle() {
    return add(new ToggleButton(kButtonRect, &listener, 4, picture.get()));
  }

  Retained<Bitmap> picture{keyedTwoImages()};
};

// Press on the button, leave it, come back, release inside or outside. The listener draws
// each change, so it hears each one once, and then always a last 0.
TEST_F(Buttons, AMomentaryPressIsOneWhileOverZeroWhileAwayAndEndsWithZero) {
  auto* button = addMomentary();
  listener.redraw = true;
  const POINT on = onScreen(frameWindow(), kOnButton);
  const POINT off = onScreen(frameWindow(), Point{70, 60});
  for (const bool releaseOutside : {false, true}) {
    listener.values.clear();
    effect.edits.clear();
    InputScript script;
    script.wait(150).move(off.x, off.y).wait(150).move(on.x, on.y).wait(150);
    if (releaseOutside) {
      script.move(off.x, off.y).wait(150);
    }
    script.release();
    moveMouse(on.x, on.y);
    pressButton(MOUSEEVENTF_LEFTDOWN);
    script.start();
    pumpMessages(100);  // dispatches the press; the button tracks it until the release
    script.finish();
    const std::vector<float> heard =
        releaseOutside ? std::vector<float>{1, 0, 1, 0, 0} : std::vector<float>{1, 0, 1, 0};
    EXPECT_EQ(listener.values, heard);
    EXPECT_EQ(effect.edits, (std::vector<std::string>{"begin 7", "end 7"}));
    EXPECT_EQ(button->getValue(), 0.0f);
  }
}

// With a modifier key or another button the press is one flip and back, heard at once while
// the button is still down, without a parameter edit.
TEST_F(Buttons, AMomentaryPressWithAModifierFlipsOnceWithoutTracking) {
  addMomentary();
  const struct {
    WORD key;
    DWORD otherButton;
  } modifiers[] = {{VK_SHIFT, 0}, {VK_CONTROL, 0}, {0, MOUSEEVENTF_RIGHTDOWN}};
  for (const auto& modifier : modifiers) {
    listener.values.clear();
    InputScript safety;  // ends a tracking loop, should there be one, instead of hanging
    safety.wait(500).release();
    moveMouse(onScreen(frameWindow(), kOnButton).x, onScreen(frameWindow(), kOnButton).y);
    if (modifier.key != 0) {
      holdKey(modifier.key);
    } else {
      pressButton(modifier.otherButton);
    }
    pumpMessages(20);  // the other button alone: nothing happens
    pressButton(MOUSEEVENTF_LEFTDOWN);
    safety.start();
    pumpMessages(60);
    EXPECT_EQ(listener.values, (std::vector<float>{1, 0})) << modifier.key;
    EXPECT_TRUE(effect.edits.empty());
    safety.finish();
    releaseEverything();
    pumpMessages(20);
  }
}

TEST_F(Buttons, OnlyALeftPressOnAMouseEnabledButtonCounts) {
  auto* momentary = addMomentary();
  auto* toggle = add(new ToggleButton(Rect{50, 20, 66, 36}, &listener, 5, picture.get()));
  for (const Point where : {kOnButton, Point{58, 28}}) {
    click(where, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    click(where, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP);
  }
  momentary->enableMouse(false);
  toggle->enableMouse(false);
  pressDirectly(*momentary, kOnButton);
  pressDirectly(*toggle, Point{58, 28});
  EXPECT_TRUE(listener.values.empty());
  EXPECT_TRUE(effect.edits.empty());
  EXPECT_EQ(toggle->getValue(), 0.0f);
}

// Draws a button on a grey ground; the row of the bitmap its image starts at, or -1 when the
// surface shows no image of the bitmap.
std::int32_t imageRowShown(Control& button, bool keyed) {
  PixelSurface surface(40, 40, kGround);
  DrawContext context(nullptr, surface.dc(), nullptr);
  button.draw(context);
  EXPECT_FALSE(button.needsRedraw());
  for (const std::int32_t top : {0, 16}) {
    if (pixelsMatch(surface, [&](std::int32_t x, std::int32_t y) {
          const bool inside = x >= 20 && x < 36 && y >= 20 && y < 36;
          const Color pixel = inside ? twoImagesPixel(x - 20, y - 20 + top) : kGround;
          return keyed && pixel == kYellow ? kGround : pixel;
        })) {
      return top;
    }
  }
  return -1;
}

// Any value other than 0 after clamping selects the image one step away from the origin.
TEST(MomentaryPicture, TheValueSelectsTheImageOneStepFromTheOrigin) {
  Retained<Bitmap> picture(keyedTwoImages());
  const struct {
    float value;
    bool transparent;
    Point origin;
    std::int32_t step, row;
  } cases[] = {{0.0f, false, {0, 0}, 16, 0},   {0.5f, false, {0, 0}, 16, 16},
               {1.5f, false, {0, 0}, 16, 16},  {-0.3f, false, {0, 0}, 16, 0},
               {0.0f, false, {0, 16}, -16, 16}, {1.0f, false, {0, 16}, -16, 0},
               {1.0f, true, {0, 0}, 16, 16}};
  for (const auto& c : cases) {
    Retained<MomentaryButton> button(
        new MomentaryButton(kButtonRect, nullptr, 1, c.step, picture.get(), c.origin));
    button->setValue(c.value);
    button->setTransparent(c.transparent);
    EXPECT_EQ(imageRowShown(*button, c.transparent), c.row) << c.value << " from " << c.origin.v;
  }
  Retained<MomentaryButton> bare(new MomentaryButton(kButtonRect, nullptr, 1, 16, nullptr, {}));
  EXPECT_EQ(imageRowShown(*bare, false), -1);
}

TEST_F(Buttons, AToggleAtHalfTurnsOnAndShowsTheOnImageBeforeAndAfter) {
  auto* toggle = addToggle();
  toggle->setValue(0.5f);
  EXPECT_EQ(imageRowShown(*toggle, false), 16);
  const int idlesBefore = effect.hostIdles;
  holdKey(VK_SHIFT);  // modifiers do not matter to a toggle
  click(kOnButton);
  releaseKey(VK_SHIFT);
  EXPECT_EQ(toggle->getValue(), 1.0f);
  EXPECT_EQ(listener.values, (std::vector<float>{1.0f}));
  EXPECT_GT(effect.hostIdles, idlesBefore);
  // The click is one edit of the toggle's parameter, around the listener's call.
  EXPECT_EQ(effect.edits, (std::vector<std::string>{"begin 4", "end 4"}));
  EXPECT_EQ(imageRowShown(*toggle, false), 16);
  toggle->setTransparent(true);
  click(kOnButton);
  EXPECT_EQ(imageRowShown(*toggle, true), 0);
}

// Only a non-zero integer part counts as on.
TEST_F(Buttons, AToggleFlipsByTheIntegerPartOfItsValue) {
  auto* toggle = addToggle();
  const float cases[][2] = {{0.0f, 1.0f},  {1.0f, 0.0f}, {0.999f, 1.0f}, {1.5f, 0.0f},
                            {-0.5f, 1.0f}, {2.0f, 0.0f}, {-1.0f, 0.0f}};
  for (const auto& c : cases) {
    toggle->setValue(c[0]);
    pressDirectly(*toggle, kOnButton);
    EXPECT_EQ(toggle->getValue(), c[1]) << "from " << c[0];
  }
  EXPECT_EQ(listener.values.size(), std::size(cases));
}

}  // namespace
}  // namespace vintrove::test
