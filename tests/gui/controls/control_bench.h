// What the button, display and text entry tests share: an editor whose frame starts empty and
// records the messages it receives, a listener that records what it hears, real clicks, and
// pixel comparisons.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gui/control.h"
#include "gui/control_listener.h"
#include "gui/controls/value_display.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/gui_editor.h"
#include "gui_test_support.h"
#include "input_script.h"
#include "recording_views.h"

namespace vintrove::test {

using Messages = std::vector<std::pair<View*, std::string>>;

// The view classes' receiveMessage does nothing; these record it.
template <typename Base>
class MessageRecorder : public Base {
 public:
  using Base::Base;
  void receiveMessage(View* sender, const char* message) override {
    messages.emplace_back(sender, message);
  }
  Messages messages;

 protected:
  ~MessageRecorder() override = default;
};
using MessageFrame = MessageRecorder<Frame>;
using MessageView = MessageRecorder<View>;

class BareEditor : public GuiEditor {
 public:
  using GuiEditor::GuiEditor;
  ~BareEditor() override { close(); }
  std::int32_t open(void* parent) override {
    GuiEditor::open(parent);
    frame.reset(new MessageFrame(Rect{0, 0, 256, 84}, static_cast<HWND>(parent), this));
    return 1;
  }
  void close() override { frame.reset(); }
  MessageFrame* messageFrame() const { return static_cast<MessageFrame*>(frame.get()); }
};

class ManualClock : public IdleClock {
 public:
  std::uint32_t now() override { return time; }
  void sleep(std::uint32_t milliseconds) override { time += milliseconds; }
  std::uint32_t time = 1000;
};

class RecordingListener : public ControlListener {
 public:
  void controlChanged(DrawContext* context, Control* control) override {
    values.push_back(control->getValue());
    withContext.push_back(context != nullptr);
    if (redraw && context != nullptr) {
      control->draw(*context);  // as an editor that shows each change at once
    }
    if (onChange) {
      onChange(context, control);
    }
  }
  std::vector<float> values;
  std::vector<bool> withContext;
  bool redraw = false;
  std::function<void(DrawContext*, Control*)> onChange;
};

inline POINT onScreen(HWND window, Point where) {
  RECT placement{};
  GetWindowRect(window, &placement);
  return POINT{placement.left + where.h, placement.top + where.v};
}

// A real click: the press is dispatched while the button is still down.
inline void clickAt(HWND window, Point where, DWORD down = MOUSEEVENTF_LEFTDOWN,
                    DWORD up = MOUSEEVENTF_LEFTUP) {
  const POINT at = onScreen(window, where);
  moveMouse(at.x, at.y);
  pressButton(down);
  pumpMessages(40);
  releaseButton(up);
  pumpMessages(20);
}

// Wine brings the modifier keys in line with X's when our window gains the focus, which can
// undo a fresh press; so the key is pressed until it reads as held.
inline void holdKey(WORD key) {
  for (int attempt = 0; attempt < 20 && (GetAsyncKeyState(key) & 0x8000) == 0; ++attempt) {
    pressKey(key);
    pumpMessages(20);
  }
}

// A host window with an open editor whose frame the test fills. The listener outlives the
// editor: closing it may still commit an edit.
class ControlBench : public ::testing::Test {
 protected:
  ControlBench() { editor.open(host.get()); }
  ~ControlBench() override {
    releaseEverything();
    pumpMessages(20);
    editor.close();
  }

  MessageFrame* frame() const { return editor.messageFrame(); }
  HWND frameWindow() const { return frame()->getWindow(); }
  // Takes over the creator's reference, then paints, so that controls start drawn.
  template <typename ViewType>
  ViewType* add(ViewType* view) {
    frame()->addChild(view);
    InvalidateRect(frameWindow(), nullptr, FALSE);
    pumpMessages(30);
    return view;
  }
  void click(Point where, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP) {
    clickAt(frameWindow(), where, down, up);
  }
  // Calls mouseDown directly while the left button is held where no window of ours takes it.
  void pressDirectly(Control& control, Point where) {
    const POINT aside = onScreen(frameWindow(), Point{300, 150});  // host, outside the frame
    moveMouse(aside.x, aside.y);
    pressButton(MOUSEEVENTF_LEFTDOWN);
    pumpMessages(20);
    {
      WindowDc dc(frameWindow());
      DrawContext context(frame(), dc.get(), frameWindow());
      control.mouseDown(context, where);
    }
    releaseButton(MOUSEEVENTF_LEFTUP);
    pumpMessages(20);
  }

  HostWindow host;
  GuiTestEffect effect;
  RecordingListener listener;
  BareEditor editor{&effect};
};

inline testing::AssertionResult sameSurface(const PixelSurface& got, const PixelSurface& want) {
  return pixelsMatch(got, [&](std::int32_t x, std::int32_t y) { return want.pixel(x, y); });
}

inline std::int32_t pixelsOf(const PixelSurface& surface, Color color) {
  std::int32_t count = 0;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      count += surface.pixel(x, y) == color ? 1 : 0;
    }
  }
  return count;
}

// One line of text as a display draws it with its default font (3) and font style.
inline void drawTextLine(PixelSurface& surface, const char* text, const Rect& rect, Color color,
                         std::int32_t align = kAlignCenter) {
  DrawContext context(nullptr, surface.dc(), nullptr);
  context.selectFont(3, 12, 0);
  context.setTextColor(color);
  context.drawText(text, rect, false, align);
}

inline constexpr Color kGround{90, 90, 90, 0};
inline constexpr Rect kTextRect{2, 2, 78, 18};

// Transparent without a bitmap a display draws only its text (placed in kTextRect), so the
// surface must equal the expected text drawn on the bare ground, shadowed when asked for.
inline testing::AssertionResult showsText(ValueDisplay& display, const char* text,
                                          std::int32_t align = kAlignCenter, bool shadow = false) {
  display.setTransparent(true);
  PixelSurface got(80, 22, kGround);
  PixelSurface want(80, 22, kGround);
  DrawContext context(nullptr, got.dc(), nullptr);
  display.draw(context);
  if (shadow) {
    drawTextLine(want, text, Rect{3, 3, 79, 19}, kRed, align);
  }
  drawTextLine(want, text, kTextRect, kWhite, align);
  return sameSurface(got, want) << " for " << text;
}

}  // namespace vintrove::test
