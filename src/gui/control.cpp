#include "gui/control.h"

#include <cstring>

#include "gui/bitmap.h"
#include "gui/frame.h"

namespace vintrove {

Control::Control(const Rect& rect, ControlListener* changeListener, std::int32_t controlTag,
                 Bitmap* picture)
    : View(rect), listener(changeListener), tag(controlTag), bitmap(picture) {
  if (bitmap != nullptr) {
    bitmap->retain();
  }
}

Control::~Control() {
  if (bitmap != nullptr) {
    bitmap->release();
  }
}

bool Control::needsRedraw() const { return shownValue != value || redrawFlag; }

void Control::setNeedsRedraw(bool flag) {
  redrawFlag = flag;
  if (flag) {
    // Any shownValue that differs from value keeps needsRedraw() true for controls that never
    // read redrawFlag; the marker itself is compared by bit pattern.
    const float marker = -1.0f;
    shownValue = std::memcmp(&value, &marker, sizeof value) == 0 ? 0.0f : marker;
  } else {
    shownValue = value;
  }
}

void Control::pumpIdle() {
  if (ownerFrame != nullptr) {
    ownerFrame->pumpIdle();
  }
}

void Control::setValue(float newValue) { value = newValue; }

float Control::getValue() const { return value; }

void Control::setMinimum(float newMinimum) { minimum = newMinimum; }

float Control::getMinimum() const { return minimum; }

void Control::setMaximum(float newMaximum) { maximum = newMaximum; }

float Control::getMaximum() const { return maximum; }

void Control::setShownValue(float newShownValue) { shownValue = newShownValue; }

float Control::getShownValue() const { return shownValue; }

void Control::setResetValue(float newResetValue) { resetValue = newResetValue; }

float Control::getResetValue() const { return resetValue; }

void Control::setTag(std::int32_t newTag) { tag = newTag; }

void Control::setBitmap(Bitmap* newBitmap) {
  // Retain first: giving the control the bitmap it already holds must keep it alive.
  if (newBitmap != nullptr) {
    newBitmap->retain();
  }
  if (bitmap != nullptr) {
    bitmap->release();
  }
  bitmap = newBitmap;
}

Bitmap* Control::getBitmap() const { return bitmap; }

void Control::setWheelStep(float step) { wheelStep = step; }

float Control::getWheelStep() const { return wheelStep; }

void Control::clampValue() {
  if (value > maximum) {
    value = maximum;
  } else if (value < minimum) {
    value = minimum;
  }
}

}  // namespace vintrove
