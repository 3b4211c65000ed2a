#include "gui/controls/slider.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "gui/bitmap.h"
#include "gui/control_listener.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/nested_loop_guard.h"

namespace vintrove {

namespace {

constexpr std::int32_t kDrawDirect = kSliderDrawDirect | kSliderDrawDirectAlt;
constexpr std::int32_t kPointerInverted = kSliderPointerInverted | kSliderPointerInvertedAlt;

// Host key numbers of the arrow keys.
constexpr std::uint8_t kKeyLeft = 11;
constexpr std::uint8_t kKeyUp = 12;
constexpr std::uint8_t kKeyRight = 13;
constexpr std::uint8_t kKeyDown = 14;
constexpr std::uint8_t kKeyModifierShift = 1;

constexpr float kFineStep = 0.1f;

// Truncates toward zero. A value set from outside may be anything, so out-of-range products
// and NaN are held to a range in which the pixel sums below cannot overflow.
std::int32_t truncatedPixels(float product) {
  constexpr float kLimit = 1 << 28;
  if (std::isnan(product)) {
    return 0;
  }
  if (product > kLimit) {
    return static_cast<std::int32_t>(kLimit);
  }
  if (product < -kLimit) {
    return -static_cast<std::int32_t>(kLimit);
  }
  return static_cast<std::int32_t>(product);
}

}  // namespace

Slider::Slider(const Rect& size, ControlListener* changeListener, std::int32_t controlTag,
               std::int32_t firstPosition, std::int32_t lastPosition, Bitmap* handle,
               Bitmap* background, Point origin, std::int32_t styleBits)
    : Control(size, changeListener, controlTag, background),
      bitmapOrigin(origin),
      style(styleBits),
      width(size.right - size.left),
      height(size.bottom - size.top) {
  if (handle != nullptr) {
    handle->retain();
    handleBitmap = handle;
    handleWidth = handle->getWidth();
    handleHeight = handle->getHeight();
  }
  startInset = isHorizontal() ? firstPosition - size.left : firstPosition - size.top;
  travel = lastPosition - firstPosition;
  setTrackOffset(Point{0, 0});
}

Slider::~Slider() {
  if (handleBitmap != nullptr) {
    handleBitmap->release();
  }
}

std::int32_t Slider::handleDisplacement() const {
  const float fraction = (style & kDrawDirect) != 0 ? value : 1.0f - value;
  return truncatedPixels(static_cast<float>(travel) * fraction);
}

Rect Slider::drawnHandle() const {
  const std::int32_t along = handleDisplacement();
  Rect handle;
  if (isHorizontal()) {
    handle.top = trackOffset.v;
    handle.bottom = handle.top + handleHeight;
    handle.left = std::max(along + trackOffset.h, travelStart);
    handle.right = std::min(handle.left + handleWidth, travelEnd);
  } else {
    handle.left = trackOffset.h;
    handle.right = handle.left + handleWidth;
    handle.top = std::max(along + trackOffset.v, travelStart);
    handle.bottom = std::min(handle.top + handleHeight, travelEnd);
  }
  return handle;
}

Rect Slider::grabbableHandle() const {
  const std::int32_t along = handleDisplacement();
  Rect handle{bounds.left + trackOffset.h, bounds.top + trackOffset.v, 0, 0};
  if (isHorizontal()) {
    handle.left += along;
  } else {
    handle.top += along;
  }
  handle.right = handle.left + handleWidth;
  handle.bottom = handle.top + handleHeight;
  return handle;
}

void Slider::notify(DrawContext* context) {
  if (needsRedraw() && listener != nullptr) {
    listener->controlChanged(context, this);
  }
}

void Slider::draw(DrawContext& context) {
  if (!offscreen) {
    return;  // not attached to a frame: nothing to compose in
  }
  if (bitmap != nullptr) {
    const Rect whole{0, 0, width, height};
    if (isTransparent()) {
      bitmap->drawMasked(*offscreen, whole, bitmapOrigin);
    } else {
      bitmap->draw(*offscreen, whole, bitmapOrigin);
    }
  }
  const Rect handle = drawnHandle();
  // A value far outside 0..1 squeezes the handle against a travel limit to nothing or less:
  // such a rectangle would give the block copies a negative size, so it is not drawn.
  if (handleBitmap != nullptr && handle.width() > 0 && handle.height() > 0) {
    if (handleMasked) {
      handleBitmap->drawMasked(*offscreen, handle, Point{0, 0});
    } else {
      handleBitmap->draw(*offscreen, handle, Point{0, 0});
    }
  }
  offscreen->blitTo(context, bounds, Point{0, 0});
  setNeedsRedraw(false);
}

void Slider::mouseDown(DrawContext& context, Point where) {
  if (!isMouseEnabled()) {
    return;
  }
  const std::int32_t state = context.getButtonState();
  if (state == (kLeftButton | kControlKey)) {
    value = getResetValue();
    notify(&context);
    return;
  }
  if ((state & kLeftButton) == 0) {
    return;
  }

  const bool horizontal = isHorizontal();
  std::int32_t base = horizontal ? bounds.left + trackOffset.h : bounds.top + trackOffset.v;
  if (clickAnywhere) {
    // The handle centres on the pointer.
    base += (horizontal ? handleWidth : handleHeight) / 2 - 1;
  } else {
    const Rect handle = grabbableHandle();
    if (!isInside(where, handle)) {
      return;
    }
    // Keeps the grab point under the pointer, so the value does not jump at the press.
    base += horizontal ? where.h - handle.left : where.v - handle.top;
  }

  float fineBase = value;
  std::int32_t lastState = state;
  // The host runs at each pass (its idle) and whenever it hears of the edit (its begin, each
  // value, its end); in any of them it may close the editor or the whole effect.
  const NestedLoopGuard guard(ownerFrame);
  if (ownerFrame != nullptr) {
    ownerFrame->beginParameterEdit(tag);
    if (guard.editorClosed()) {
      return;  // the close ended the edit
    }
    ownerFrame->setFocus(this);
  }

  for (std::int32_t now = context.getButtonState(); (now & kLeftButton) != 0;
       now = context.getButtonState()) {
    if (now != lastState && (now & kShiftKey) != 0) {
      lastState = now;
      fineBase = value;
    } else if ((now & kShiftKey) == 0) {
      fineBase = value;
    }
    // Without travel the pointer has nothing to map to: the value stays where it was.
    if (travel > 0) {
      const std::int32_t along = horizontal ? where.h - base : where.v - base;
      value = static_cast<float>(along) / static_cast<float>(travel);
      if ((style & kPointerInverted) != 0) {
        value = 1.0f - value;
      }
      if ((now & kShiftKey) != 0) {
        value = fineBase + (value - fineBase) / fineDivisor;
      }
    }
    clampValue();
    notify(&context);
    if (guard.editorClosed()) {
      return;
    }
    context.getMousePosition(where);
    pumpIdle();
    if (guard.editorClosed()) {
      return;  // the close ended the edit; the listener and the frame's editor are gone
    }
  }

  if (ownerFrame != nullptr) {
    ownerFrame->endParameterEdit(tag);
  }
}

bool Slider::wheelTurned(DrawContext* context, Point, float distance) {
  if (!isMouseEnabled()) {
    return false;
  }
  std::int32_t state = 0;
  if (context != nullptr) {
    state = context->getButtonState();
  } else {
    // The button state needs no device context: a bare one answers it.
    const DrawContext bare(nullptr, nullptr, nullptr);
    state = bare.getButtonState();
  }
  float change = distance * wheelStep;
  if ((state & kShiftKey) != 0) {
    change *= kFineStep;
  }
  value += change;
  clampValue();
  notify(context);
  return true;
}

std::int32_t Slider::keyDown(KeyCode& key) {
  float sign = 0.0f;
  switch (key.virtualKey) {
    case kKeyLeft:
    case kKeyDown:
      sign = -1.0f;
      break;
    case kKeyUp:
    case kKeyRight:
      sign = 1.0f;
      break;
    default:
      return -1;
  }
  float change = sign * wheelStep;
  if ((key.modifiers & kKeyModifierShift) != 0) {
    change *= kFineStep;
  }
  value += change;
  clampValue();
  notify(nullptr);
  return 1;
}

bool Slider::attachedTo(View*) {
  offscreen.reset();
  try {
    offscreen = std::make_unique<OffscreenContext>(ownerFrame, width, height, kBlack);
  } catch (const std::bad_alloc&) {
    // Without a surface the slider simply is not drawn.
  }
  return true;
}

bool Slider::detachedFrom(View*) {
  offscreen.reset();
  return true;
}

void Slider::setHandleMasked(bool flag) { handleMasked = flag; }

void Slider::setClickAnywhere(bool flag) { clickAnywhere = flag; }

bool Slider::isClickAnywhere() const { return clickAnywhere; }

void Slider::setTrackOffset(Point offset) {
  trackOffset = offset;
  if (isHorizontal()) {
    travelStart = startInset + offset.h;
    travelEnd = travelStart + travel + handleWidth;
  } else {
    travelStart = startInset + offset.v;
    travelEnd = travelStart + travel + handleHeight;
  }
}

void Slider::setHandleBitmap(Bitmap* handle) {
  // Retain first: giving the slider the handle it already holds must keep it alive.
  if (handle != nullptr) {
    handle->retain();
    handleWidth = handle->getWidth();
    handleHeight = handle->getHeight();
  }
  if (handleBitmap != nullptr) {
    handleBitmap->release();
  }
  handleBitmap = handle;
}

Bitmap* Slider::getHandleBitmap() const { return handleBitmap; }

void Slider::setFineDivisor(float divisor) { fineDivisor = divisor; }

float Slider::getFineDivisor() const { return fineDivisor; }

HorizontalSlider::HorizontalSlider(const Rect& size, ControlListener* changeListener,
                                   std::int32_t controlTag, std::int32_t firstPosition,
                                   std::int32_t lastPosition, Bitmap* handle, Bitmap* background,
                                   Point origin, std::int32_t styleBits)
    : Slider(size, changeListener, controlTag, firstPosition, lastPosition, handle, background,
             origin, styleBits | kSliderHorizontal) {}

HorizontalSlider::~HorizontalSlider() = default;

}  // namespace vintrove
