#include "gui/gui_editor.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "gui/frame.h"
#include "host/extended_effect.h"
#include "platform/clock.h"

namespace vintrove {

namespace {

class SystemClock final : public IdleClock {
 public:
  std::uint32_t now() override { return platform::tickCount(); }
  void sleep(std::uint32_t milliseconds) override { platform::sleepMilliseconds(milliseconds); }
};

SystemClock systemClock;
std::atomic<std::int32_t> lastKnobStyle{0};

constexpr std::uint32_t kEarlySleep = 4;
constexpr std::uint32_t kEarlyAllowance = 50;
constexpr std::uint32_t kIdleInterval = 100;

// Tick times compared across the 2^32 wrap of the tick count: true when a lies before b.
bool isBefore(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(a - b) < 0;
}

}  // namespace

GuiEditor::GuiEditor(ExtendedEffect* owner)
    : EditorBase(owner),
      extendedEffect(owner),
      clock(&systemClock),
      nextIdleTime(clock->now()),
      lifetime(std::make_shared<EditorLifetime>()) {}

GuiEditor::~GuiEditor() {
  endLifetime();
  // A loop may hold the frame past this editor: it must find no editor there.
  if (frame) {
    frame->forgetEditor();
  }
}

void GuiEditor::endLifetime() {
  lifetime->end();
  openEdits.clear();
}

void GuiEditor::beginControlEdit(std::int32_t tag) {
  const std::int32_t index = parameterIndexOfTag(tag);
  if (index < 0 || extendedEffect == nullptr) {
    return;
  }
  openEdits.push_back(index);
  extendedEffect->beginEdit(index);
}

void GuiEditor::endControlEdit(std::int32_t tag) {
  const std::int32_t index = parameterIndexOfTag(tag);
  if (index < 0 || extendedEffect == nullptr) {
    return;
  }
  const auto open = std::find(openEdits.begin(), openEdits.end(), index);
  if (open != openEdits.end()) {
    openEdits.erase(open);
  }
  extendedEffect->endEdit(index);
}

void GuiEditor::endOpenEdits() {
  std::vector<std::int32_t> ending;
  ending.swap(openEdits);
  if (lifetime->isOver() || extendedEffect == nullptr) {
    return;
  }
  for (std::int32_t index : ending) {
    extendedEffect->endEdit(index);
  }
}

std::int32_t GuiEditor::getEditorRect(EditorRect** out) {
  if (out != nullptr) {
    *out = &editorRect;
  }
  return 1;
}

std::int32_t GuiEditor::open(void* parent) {
  requestRefresh();
  parentWindow = parent;
  return 0;
}

void GuiEditor::close() { endOpenEdits(); }

void GuiEditor::idle() {
  // The host may call its editor's idle from inside the idle request pumpIdle makes.
  if (inHostIdle) {
    return;
  }
  if (refreshRequested != 0) {
    refreshRequested = 0;
    refresh();
  }
  if (frame) {
    frame->refreshDirty();
  }
}

void GuiEditor::refresh() {}

void GuiEditor::requestRefresh() { refreshRequested = 1; }

std::int32_t GuiEditor::keyDown(KeyCode& key) { return frame ? frame->keyDown(key) : -1; }

std::int32_t GuiEditor::keyUp(KeyCode& key) { return frame ? frame->keyUp(key) : -1; }

std::int32_t GuiEditor::setKnobStyle(std::int32_t mode) {
  lastKnobStyle.store(mode, std::memory_order_relaxed);
  return 1;
}

std::int32_t GuiEditor::knobStyle() { return lastKnobStyle.load(std::memory_order_relaxed); }

bool GuiEditor::wheelTurned(float distance) {
  return frame ? frame->wheelTurned(nullptr, Point{0, 0}, distance) : false;
}

void GuiEditor::parameterChanged(std::int32_t, float) { requestRefresh(); }

void GuiEditor::redrawAll(const Rect*) {
  if (frame) {
    frame->redrawNow(nullptr);
  }
}

void GuiEditor::pumpIdle() {
  std::uint32_t now = clock->now();
  if (isBefore(now, nextIdleTime)) {
    clock->sleep(kEarlySleep);
    now += kEarlySleep;
    if (isBefore(now, nextIdleTime - kEarlyAllowance)) {
      return;
    }
  }
  idle();
  // One pending paint keeps the window drawn while a control tracks the mouse; other messages
  // stay queued for the host's own loop.
  MSG message;
  if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
  nextIdleTime = now + kIdleInterval;
  if (effect != nullptr) {
    // The host may close the effect in there, this editor with it.
    const std::shared_ptr<const EditorLifetime> watch = lifetime;
    inHostIdle = true;
    effect->hostIdle();
    if (watch->isOver()) {
      return;
    }
    inHostIdle = false;
  }
}

std::int32_t GuiEditor::parameterIndexOfTag(std::int32_t tag) { return tag; }

void GuiEditor::editorMessage(std::uintptr_t) {}

void GuiEditor::timerFired(std::uintptr_t) {}

void GuiEditor::sleep(std::uint32_t milliseconds) { clock->sleep(milliseconds); }

std::uint32_t GuiEditor::getMilliseconds() { return clock->now(); }

void GuiEditor::setIdleClock(IdleClock* replacement) {
  clock = replacement != nullptr ? replacement : &systemClock;
  nextIdleTime = clock->now();
}

}  // namespace vintrove
