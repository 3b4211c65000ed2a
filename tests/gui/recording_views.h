// Views and an effect for the frame and editor tests that write what happens to them into one
// shared log, so a test can check both which view was called and in what order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/control.h"
#include "gui/draw_context.h"
#include "gui/view.h"
#include "host/extended_effect.h"

namespace vintrove::test {

using EventLog = std::vector<std::string>;

class RecordingView : public View {
 public:
  RecordingView(const Rect& rect, std::string viewName, EventLog& eventLog, int* destroyed = nullptr)
      : View(rect), name(std::move(viewName)), log(eventLog), destructions(destroyed) {}

  void draw(DrawContext&) override { record("draw"); }
  void drawArea(DrawContext&, const Rect&) override { record("drawArea"); }
  void mouseDown(DrawContext&, Point where) override {
    record("mouseDown", std::to_string(where.h).append(",").append(std::to_string(where.v)));
    if (onMouseDown) {
      onMouseDown();
    }
  }
  std::int32_t keyDown(KeyCode& key) override {
    record("keyDown");
    return key.character == keyToTake ? keyAnswer : -1;
  }
  std::int32_t keyUp(KeyCode&) override {
    record("keyUp");
    return -1;
  }
  bool dropItems(const char* const*, std::int32_t count, std::int32_t kind, Point) override {
    record("drop", std::to_string(count).append(" ").append(std::to_string(kind)));
    return takesDrops;
  }
  bool wheelTurned(DrawContext* context, Point, float distance) override {
    record("wheel", std::to_string(distance).append(context ? " ctx" : " null"));
    return true;
  }
  void focusLost(DrawContext* context) override {
    record("focusLost", context ? "ctx" : "null");
  }
  bool attachedTo(View*) override {
    record("attached");
    return true;
  }
  bool detachedFrom(View*) override {
    record("detached");
    return true;
  }

  // Appends "name.event" or "name.event detail" (built by appending: GCC 12 warns falsely on
  // chains of string +).
  void record(const char* event, const std::string& detail = {}) {
    std::string entry(name);
    entry.append(".").append(event);
    if (!detail.empty()) {
      entry.append(" ").append(detail);
    }
    log.push_back(entry);
  }

  std::string name;
  EventLog& log;
  int* destructions;
  std::int32_t keyToTake = -1000;
  std::int32_t keyAnswer = 1;
  bool takesDrops = false;
  std::function<void()> onMouseDown;

 protected:
  ~RecordingView() override {
    if (destructions != nullptr) {
      ++*destructions;
    }
  }
};

// A control that fills its bounds in one colour, so windows tests can see where it drew.
class SolidControl : public Control {
 public:
  SolidControl(const Rect& rect, Color fillColor, EventLog* eventLog = nullptr,
               std::string controlName = "control", Bitmap* picture = nullptr)
      : Control(rect, nullptr, 0, picture), color(fillColor), log(eventLog),
        name(std::move(controlName)) {}

  void draw(DrawContext& context) override {
    context.setBrushColor(color);
    context.setPenColor(color);
    Rect inside = bounds;
    context.fillRect(inside);
    context.outlineRect(inside);
    if (log != nullptr) {
      log->push_back(std::string(name).append(".draw"));
    }
  }

  Color color;
  EventLog* log;
  std::string name;
};

// An effect that records the host services the GUI asks for.
class GuiTestEffect : public ExtendedEffect {
 public:
  GuiTestEffect() : ExtendedEffect(nullptr, 1, 4) {}
  void process(float**, float**, std::int32_t) override {}
  HostInt hostIdle() override {
    ++hostIdles;
    if (duringHostIdle) {
      duringHostIdle();
    }
    return 1;
  }
  bool beginEdit(std::int32_t index) override {
    edits.push_back(std::string("begin ").append(std::to_string(index)));
    return true;
  }
  bool endEdit(std::int32_t index) override {
    edits.push_back(std::string("end ").append(std::to_string(index)));
    return true;
  }

  int hostIdles = 0;
  std::function<void()> duringHostIdle;
  std::vector<std::string> edits;
};

}  // namespace vintrove::test
