#include "gui/controls/slider.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <thread>
#include <vector>

#include "gui/bitmap.h"
#include "gui/control_listener.h"
#include "gui/frame.h"
#include "gui/gui_editor.h"
#include "gui/retained.h"
#include "gui_test_support.h"
#include "input_script.h"
#include "recording_views.h"

namespace vintrove::test {
namespace {

// The frame window's corner on screen. A horizontal slider spans window x 20..140, y 30..44,
// with 100 pixels of travel from x 24 and its 9 x 12 handle one row down; a vertical one
// x 200..214, y 10..130, with travel from y 14.
constexpr std::int32_t kScreen = 100;
constexpr std::int32_t kTag = 5;

// Keeps each new value once: a drag reports on every pass until the slider is redrawn.
struct Recorder : ControlListener {
  void controlChanged(DrawContext* context, Control* control) override {
    if (onChange) {
      onChange();
    }
    hadContext = context != nullptr;
    if (values.empty() || values.back() != control->getValue()) {
      values.push_back(control->getValue());
    }
  }
  std::vector<float> values;
  bool hadContext = false;
  std::function<void()> onChange;
};

void expectValues(const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size()) << testing::PrintToString(got);
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i], want[i], 1e-6f) << "value " << i;
  }
}

struct RigEditor : GuiEditor {
  using GuiEditor::GuiEditor;
  void adopt(Frame* made) { frame.reset(made); }
};

class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override { editor.adopt(new Frame(Rect{0, 0, 400, 200}, host.get(), &editor)); }
  void TearDown() override { releaseEverything(); }
  Frame* frame() const { return editor.getFrame(); }

  // A fresh slider in the frame in place of the last one, drawn at its start value.
  Slider* add(std::int32_t style, float start, bool vertical = false, std::int32_t last = 124) {
    if (slider != nullptr) {
      frame()->setFocus(nullptr);  // removal leaves the focus as it was
      frame()->removeChild(slider);
    }
    slider = vertical ? new Slider(Rect{200, 10, 214, 130}, &listener, kTag, 14, last,
                                   handle.get(), nullptr, Point{}, style)
                      : new HorizontalSlider(Rect{20, 30, 140, 44}, &listener, kTag, 24, last,
                                             handle.get(), track.get(), Point{}, style);
    slider->setTrackOffset(vertical ? Point{1, 0} : Point{0, 1});
    slider->setValue(start);
    frame()->addChild(slider);
    frame()->redrawNow(slider);
    listener.values.clear();
    effect.edits.clear();
    effect.hostIdles = 0;
    return slider;
  }

  // Holds the keys and the left button at window point `at` and presses there through the
  // frame (or on target). The script starts once the slider tracks, so no step comes early.
  void pressOnce(Point at, InputScript& then, std::initializer_list<WORD> keys, View* target) {
    moveMouse(kScreen + at.h, kScreen + at.v);
    pumpMessages(50);  // Wine resyncs the modifiers as the pointer enters: before the keys
    for (WORD key : keys) {
      pressKey(key);
    }
    pressButton(MOUSEEVENTF_LEFTDOWN);
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    const auto start = [&] {
      if (!started.exchange(true)) {
        then.start();
      }
    };
    effect.duringHostIdle = start;
    listener.onChange = start;
    // The press is handled on a thread of its own while the windows' thread waits: when that
    // thread takes in a pointer move, Wine's X11 driver re-reads the modifier keys from the
    // display, where they were never pressed, and lets them go.
    std::thread tracker([&] {
      WindowDc dc(frame()->getWindow());
      DrawContext context(frame(), dc.get(), frame()->getWindow());
      (target != nullptr ? target : frame())->mouseDown(context, at);
      done = true;
    });
    for (int i = 0; i < 400 && !done; ++i) {
      Sleep(5);
    }
    if (!done) {
      start();  // a drag that neither idles nor reports would wait for ever
    }
    tracker.join();
    then.finish();
    effect.duringHostIdle = nullptr;
    listener.onChange = nullptr;
    releaseEverything();
  }
  // Under load, Wine may still answer a pointer position the script has already moved away
  // from (a late motion event of its X11 driver): the values then go back to one they had left,
  // which no single move of a real pointer gives. Such a gesture is played again from the
  // same start, up to three times; whatever the last one gives is what the test judges.
  void press(Point at, InputScript& then, std::initializer_list<WORD> keys = {},
             View* target = nullptr) {
    Slider* pressed = target != nullptr ? static_cast<Slider*>(target) : slider;
    const float startValue = pressed->getValue();
    for (int attempt = 1;; ++attempt) {
      pressOnce(at, then, keys, target);
      if (attempt == 3 || !wentBack(listener.values)) return;
      pressed->setValue(startValue);
      if (target == nullptr) frame()->redrawNow(slider);
      listener.values.clear();
      effect.edits.clear();
      effect.hostIdles = 0;
    }
  }
  static bool wentBack(const std::vector<float>& values) {
    for (std::size_t i = 2; i < values.size(); ++i) {
      for (std::size_t j = 0; j + 1 < i; ++j) {
        if (values[i] == values[j]) return true;
      }
    }
    return false;
  }
  void drag(Point from, Point to, std::initializer_list<WORD> keys = {}) {
    InputScript script;
    script.wait(100).move(kScreen + to.h, kScreen + to.v).wait(150).release();
    press(from, script, keys);
  }
  void expectTrackedDrag() {
    EXPECT_EQ(effect.edits, (std::vector<std::string>{"begin 5", "end 5"}));
    EXPECT_EQ(frame()->getFocus(), slider);
    EXPECT_GT(effect.hostIdles, 0);  // the drag kept the editor idling
  }

  HostWindow host{400, 200, kScreen, kScreen};
  GuiTestEffect effect;
  Recorder listener;
  Retained<Bitmap> handle{new Bitmap(kHandleBitmap)};
  Retained<Bitmap> track{new Bitmap(kTrackBitmap)};
  RigEditor editor{&effect};  // goes first, with the frame and its slider
  Slider* slider = nullptr;
};

TEST_F(SliderTest, ClickAnywhereCentresTheHandleOnThePointerAndFollowsIt) {
  // Horizontal ones are HorizontalSliders, which must set the horizontal bit themselves.
  struct {
    const char* name;
    std::int32_t style;
    bool vertical;
    std::int32_t last;
    Point from, to;
    std::vector<float> values;
  } cases[] = {
      {"direct", 8, false, 124, {48, 37}, {98, 37}, {0.25f, 0.75f}},
      {"inverted by 16", 16, false, 124, {48, 37}, {98, 37}, {0.75f, 0.25f}},
      {"inverted by 64, held at 0", 64, false, 124, {48, 37}, {160, 37}, {0.75f, 0.0f}},
      {"held at 0 before the start", 8, false, 124, {48, 37}, {5, 37}, {0.25f, 0.0f}},
      {"vertical", 8, true, 114, {207, 40}, {207, 90}, {0.25f, 0.75f}},
      {"no travel leaves the value", 8, false, 24, {48, 37}, {98, 37}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    add(c.style, 0.4f, c.vertical, c.last);
    drag(c.from, c.to);
    expectValues(listener.values, c.values);
    EXPECT_NEAR(slider->getValue(), c.values.empty() ? 0.4f : c.values.back(), 1e-6f);
    expectTrackedDrag();
  }
}

TEST_F(SliderTest, GrabModeTakesOnlyTheHandleAndKeepsItsValueAtThePress) {
  // Value 0.3 puts the handle at window x 50..59, y 31..43.
  struct {
    Point from, to;
    std::vector<float> values;
  } cases[] = {{{65, 37}, {98, 37}, {}},
               {{54, 30}, {98, 37}, {}},
               {{50, 37}, {75, 37}, {0.55f}},
               {{59, 43}, {84, 37}, {0.55f}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from.h << "," << c.from.v);
    add(9, 0.3f)->setClickAnywhere(false);
    drag(c.from, c.to);
    expectValues(listener.values, c.values);
    if (c.values.empty()) {
      EXPECT_FLOAT_EQ(slider->getValue(), 0.3f);
      EXPECT_TRUE(effect.edits.empty());
      EXPECT_EQ(frame()->getFocus(), nullptr);
    } else {
      expectTrackedDrag();
    }
  }
}

TEST_F(SliderTest, ShiftMovesATenthAsFastFromTheValueAtItsPress) {
  add(9, 0.4f);
  InputScript script;
  script.wait(100).move(kScreen + 73, 137).wait(150).keyDown(VK_SHIFT).wait(150);
  script.move(kScreen + 123, 137).wait(150).keyUp(VK_SHIFT).wait(150).release();
  press(Point{43, 37}, script);
  expectValues(listener.values, {0.2f, 0.5f, 0.55f, 1.0f});  // shift up: back to the pointer
  expectTrackedDrag();

  // Control with shift is no reset but a fine drag from the start value; letting control go
  // (a new state, shift still down) starts the fine movement again from the value then.
  add(9, 0.5f);
  InputScript fine;
  fine.wait(100).move(kScreen + 93, 137).wait(150).keyUp(VK_CONTROL).wait(150).release();
  press(Point{43, 37}, fine, {VK_CONTROL, VK_SHIFT});
  expectValues(listener.values, {0.47f, 0.52f, 0.538f});
  expectTrackedDrag();
}

TEST_F(SliderTest, ControlClickResetsAndReportsOnlyAChange) {
  struct {
    float start, reset;
    std::vector<float> values;
  } cases[] = {{0.2f, 0.5f, {0.5f}}, {0.5f, 0.5f, {}}, {0.2f, 0.8f, {0.8f}}};
  for (const auto& c : cases) {
    add(9, c.start)->setResetValue(c.reset);
    drag(Point{100, 37}, Point{100, 37}, {VK_CONTROL});
    EXPECT_FLOAT_EQ(slider->getValue(), c.reset);
    expectValues(listener.values, c.values);
    EXPECT_TRUE(listener.values.empty() || listener.hadContext);
    EXPECT_TRUE(effect.edits.empty());
    EXPECT_EQ(effect.hostIdles, 0);
  }
}

TEST_F(SliderTest, WithoutAFrameADragStillFollowsThePointer) {
  Retained<Slider> lone(new HorizontalSlider(Rect{20, 30, 140, 44}, &listener, kTag, 24, 124,
                                             handle.get(), nullptr, Point{}, 9));
  InputScript script;
  script.wait(100).move(kScreen + 98, 137).wait(150).release();
  press(Point{48, 37}, script, {}, lone.get());
  expectValues(listener.values, {0.25f, 0.75f});
  EXPECT_TRUE(effect.edits.empty());
}

TEST_F(SliderTest, WheelAndArrowsStepByTheWheelStepOrATenthWithShift) {
  add(17, 0.5f);  // the pointer inversion must not turn the wheel or the keys round
  moveMouse(kScreen + 200, kScreen + 100);
  pumpMessages(50);
  WindowDc dc(frame()->getWindow());
  DrawContext context(frame(), dc.get(), frame()->getWindow());
  struct {
    float start, distance;
    bool shift, withContext;
    float end;
  } turns[] = {{0.5f, 1, false, true, 0.6f}, {0.5f, 1, true, true, 0.51f},
               {0.5f, -2, false, false, 0.3f}, {0.5f, -1, true, false, 0.49f},
               {0.95f, 1, false, true, 1.0f}, {0.005f, -1, true, true, 0.0f}};
  for (const auto& t : turns) {
    SCOPED_TRACE(testing::Message() << t.start << " " << t.distance << " " << t.shift);
    slider->setValue(t.start);
    if (t.shift) {
      pressKey(VK_SHIFT);
    }
    EXPECT_TRUE(slider->wheelTurned(t.withContext ? &context : nullptr, Point{}, t.distance));
    releaseEverything();
    EXPECT_NEAR(slider->getValue(), t.end, 1e-6f);
    EXPECT_NEAR(listener.values.back(), t.end, 1e-6f);
  }
  slider->enableMouse(false);
  EXPECT_FALSE(slider->wheelTurned(&context, Point{}, 1));

  struct {
    std::uint8_t key, modifiers;
    float start, end;
    std::int32_t answer;
  } keys[] = {{11, 0, 0.5f, 0.4f, 1},  {12, 0, 0.5f, 0.6f, 1},  {13, 0, 0.5f, 0.6f, 1},
              {14, 0, 0.5f, 0.4f, 1},  {12, 1, 0.5f, 0.51f, 1}, {11, 1, 0.5f, 0.49f, 1},
              {13, 2, 0.5f, 0.6f, 1},  {13, 0, 0.95f, 1.0f, 1}, {14, 0, 0.02f, 0.0f, 1},
              {15, 0, 0.5f, 0.5f, -1}, {0, 1, 0.5f, 0.5f, -1}};
  for (const auto& k : keys) {
    SCOPED_TRACE(testing::Message() << int{k.key} << " " << int{k.modifiers});
    slider->setValue(k.start);
    KeyCode code{0, k.key, k.modifiers};
    EXPECT_EQ(slider->keyDown(code), k.answer);
    EXPECT_NEAR(slider->getValue(), k.end, 1e-6f);
    EXPECT_FALSE(listener.hadContext);
  }
}

// Read back from a pixel surface: 115 x 14 at (20, 30) over the track from (5, 0), travel 90
// from x 24, track offset (3, 1); or 14 x 120 vertical without background, travel from y 34.
TEST(SliderDrawing, HandleFollowsTheStyleAndStaysWithinItsTravelLimits) {
  const Color outside{1, 2, 3, 0};
  struct {
    std::int32_t style;
    float value;
    bool masked;
    Rect drawn;  // the handle, slider-local; empty when none shows
  } cases[] = {
      {9, 0.0f, true, {7, 1, 16, 13}},    {9, 1.0f, true, {93, 1, 102, 13}},
      {9, 0.5f, false, {48, 1, 57, 13}},  {1, 0.25f, true, {70, 1, 79, 13}},
      {9, 1.1f, true, {102, 1, 106, 13}}, {9, -0.2f, true, {7, 1, 16, 13}},
      {9, 1.5f, false, {}},               {8, 0.5f, true, {1, 48, 10, 60}},
  };
  Retained<Frame> frame(new Frame(Rect{0, 0, 200, 200}, nullptr, nullptr));
  Retained<Bitmap> handle(new Bitmap(kHandleBitmap));
  handle->setKeyColor(kYellow);
  Retained<Bitmap> track(new Bitmap(kTrackBitmap));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << c.style << " value " << c.value);
    const bool vertical = (c.style & 1) == 0;
    const Rect bounds = vertical ? Rect{20, 30, 34, 150} : Rect{20, 30, 135, 44};
    const std::int32_t first = vertical ? 34 : 24;
    Retained<Slider> slider(new Slider(bounds, nullptr, kTag, first, first + 90, handle.get(),
                                       vertical ? nullptr : track.get(), Point{5, 0}, c.style));
    slider->setTrackOffset(vertical ? Point{1, 3} : Point{3, 1});
    slider->setHandleMasked(c.masked);
    slider->setValue(c.value);
    PixelSurface surface(160, 160, outside);
    DrawContext context(nullptr, surface.dc(), nullptr);
    slider->draw(context);  // no surface to compose in before it joins a frame
    EXPECT_TRUE(pixelsMatch(surface, [&](std::int32_t, std::int32_t) { return outside; }));

    slider->retain();  // the frame's reference
    frame->addChild(slider.get());
    slider->draw(context);
    EXPECT_FALSE(slider->needsRedraw());
    frame->removeChild(slider.get());
    EXPECT_FALSE(slider->hasOffscreen());
    EXPECT_TRUE(pixelsMatch(surface, [&](std::int32_t x, std::int32_t y) {
      if (x < bounds.left || x >= bounds.right || y < bounds.top || y >= bounds.bottom) {
        return outside;
      }
      const std::int32_t lx = x - bounds.left;
      const std::int32_t ly = y - bounds.top;
      if (lx >= c.drawn.left && lx < c.drawn.right && ly >= c.drawn.top && ly < c.drawn.bottom) {
        const Color pixel = handlePixel(lx - c.drawn.left, ly - c.drawn.top);
        if (!c.masked || !(pixel == kYellow)) {
          return pixel;
        }
      }
      return vertical ? kBlack : trackPixel(lx + 5, ly);
    }));
  }
}

TEST(SliderHandle, GivenAgainItStaysTakenAwayItLeavesItsSizeToTheTravelLimits) {
  Retained<Bitmap> handle(new Bitmap(kHandleBitmap));
  Retained<Slider> slider(new HorizontalSlider(Rect{20, 30, 140, 44}, nullptr, kTag, 24, 124,
                                               handle.get(), nullptr, Point{}, 8));
  EXPECT_EQ(slider->getStyle(), 9);
  slider->setHandleBitmap(handle.get());
  EXPECT_EQ(handle->getRetainCount(), 2);
  slider->setHandleBitmap(nullptr);
  EXPECT_EQ(handle->getRetainCount(), 1);
  slider->setTrackOffset(Point{3, 1});
  EXPECT_EQ(slider->getTravelStart(), 7);
  EXPECT_EQ(slider->getTravelEnd(), 116);  // still 9 pixels of handle
}

}  // namespace
}  // namespace vintrove::test
