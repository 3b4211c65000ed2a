#include "gui/controls/momentary_button.h"

#include "gui/bitmap.h"
#include "gui/control_listener.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/nested_loop_guard.h"

namespace vintrove {

MomentaryButton::MomentaryButton(const Rect& size, ControlListener* changeListener,
                                 std::int32_t controlTag, std::int32_t step, Bitmap* picture,
                                 Point origin)
    : Control(size, changeListener, controlTag, picture), bitmapOrigin(origin), imageStep(step) {}

MomentaryButton::~MomentaryButton() = default;

void MomentaryButton::draw(DrawContext& context) {
  Point source = bitmapOrigin;
  clampValue();
  if (value != 0.0f) {
    source.v += imageStep;
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

void MomentaryButton::mouseDown(DrawContext& context, Point where) {
  if (!mouseEnabled || (context.getButtonState() & kLeftButton) == 0) {
    return;
  }
  const float entry = value;
  // The host runs at each pass (its idle) and whenever it hears of the edit (its begin, the
  // value, its end); in any of them it may close the editor or the whole effect.
  const NestedLoopGuard guard(ownerFrame);
  if (context.getButtonState() == kLeftButton) {
    if (ownerFrame != nullptr) {
      ownerFrame->beginParameterEdit(tag);
      if (guard.editorClosed()) {
        return;  // the close ended the edit
      }
    }
    do {
      if (isInside(where, bounds)) {
        value = entry == 0.0f ? 1.0f : 0.0f;
      } else {
        value = entry;
      }
      // Only what has not been drawn yet is news to the listener.
      if (needsRedraw() && listener != nullptr) {
        listener->controlChanged(&context, this);
        if (guard.editorClosed()) {
          return;
        }
      }
      context.getMousePosition(where);
      pumpIdle();
      if (guard.editorClosed()) {
        return;  // the close ended the edit; the listener and the frame's editor are gone
      }
    } while (context.getButtonState() == kLeftButton);
    if (ownerFrame != nullptr) {
      ownerFrame->endParameterEdit(tag);
      if (guard.editorClosed()) {
        return;
      }
    }
  } else {
    value = value == 0.0f ? 1.0f : 0.0f;
    if (listener != nullptr) {
      listener->controlChanged(&context, this);
      if (guard.editorClosed()) {
        return;
      }
    }
  }
  value = 0.0f;
  if (listener != nullptr) {
    listener->controlChanged(&context, this);
  }
}

}  // namespace vintrove
