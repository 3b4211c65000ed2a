#include "gui/controls/toggle_button.h"

#include <cmath>

#include "gui/bitmap.h"
#include "gui/control_listener.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/nested_loop_guard.h"

namespace vintrove {

ToggleButton::ToggleButton(const Rect& size, ControlListener* changeListener,
                           std::int32_t controlTag, Bitmap* picture)
    : Control(size, changeListener, controlTag, picture) {}

ToggleButton::~ToggleButton() = default;

void ToggleButton::draw(DrawContext& context) {
  Point source{0, 0};
  if (value != 0.0f && bitmap != nullptr) {
    source.v = bitmap->getHeight() / 2;
  }
  if (bitmap != nullptr) {
    if (transparent) {
      bitmap->drawMasked(context, bounds, source);
    } else {
      bitmap->draw(context, bounds, source);
    }
  }
  setNeedsRedraw(false);
}

void ToggleButton::mouseDown(DrawContext& context, Point) {
  if (!mouseEnabled || (context.getButtonState() & kLeftButton) == 0) {
    return;
  }
  // Only a whole 1 counts as on: anything between 0 and 1 turns on. std::trunc keeps values
  // out of int's range (or NaN) defined.
  value = std::trunc(value) != 0.0f ? 0.0f : 1.0f;
  // The host may close the editor or the whole effect in its idle, and whenever it hears of
  // the edit (its begin, the value, its end).
  const NestedLoopGuard guard(ownerFrame);
  pumpIdle();
  if (guard.editorClosed()) {
    return;
  }
  // The host hears the click as one edit of the parameter the toggle drives.
  Frame* frame = ownerFrame;
  if (frame != nullptr) {
    frame->beginParameterEdit(tag);
    if (guard.editorClosed()) {
      return;  // the close ended the edit
    }
  }
  if (listener != nullptr) {
    listener->controlChanged(&context, this);
    if (guard.editorClosed()) {
      return;
    }
  }
  if (frame != nullptr) {
    frame->endParameterEdit(tag);
  }
}

}  // namespace vintrove
