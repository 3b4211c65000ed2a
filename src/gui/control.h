// A view with a value (0 to 1 by default), a tag that names it to its listener and an optional
// bitmap it keeps alive. A control needs drawing whenever its value differs from the value it
// last drew (shownValue), so a plain setValue is enough to get it redrawn.
#pragma once

#include <cstdint>

#include "gui/view.h"

namespace vintrove {

class Bitmap;
class ControlListener;

class Control : public View {
 public:
  Control(const Rect& bounds, ControlListener* listener, std::int32_t tag, Bitmap* bitmap);

  void draw(DrawContext& context) override = 0;
  bool needsRedraw() const override;
  void setNeedsRedraw(bool flag) override;

  virtual void pumpIdle();
  virtual void setValue(float newValue);
  virtual float getValue() const;
  virtual void setMinimum(float newMinimum);
  virtual float getMinimum() const;
  virtual void setMaximum(float newMaximum);
  virtual float getMaximum() const;
  virtual void setShownValue(float newShownValue);
  virtual float getShownValue() const;
  virtual void setResetValue(float newResetValue);
  virtual float getResetValue() const;
  virtual void setTag(std::int32_t newTag);
  virtual void setBitmap(Bitmap* newBitmap);
  virtual Bitmap* getBitmap() const;
  virtual void setWheelStep(float step);
  virtual float getWheelStep() const;
  virtual void clampValue();

  std::int32_t getTag() const { return tag; }
  ControlListener* getListener() const { return listener; }

 protected:
  ~Control() override;

  ControlListener* listener;
  std::int32_t tag;
  float shownValue = 1.0f;
  float resetValue = 0.5f;
  float value = 0.0f;
  float minimum = 0.0f;
  float maximum = 1.0f;
  float wheelStep = 0.1f;
  Bitmap* bitmap;
};

}  // namespace vintrove
