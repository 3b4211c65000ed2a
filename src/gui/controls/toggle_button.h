// An on/off switch: each left click flips it and it keeps the new state. Its bitmap holds the
// off image in the upper half and the on image in the lower half.
#pragma once

#include <cstdint>

#include "gui/control.h"

namespace vintrove {

class ToggleButton : public Control {
 public:
  ToggleButton(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* bitmap);

  void draw(DrawContext& context) override;
  void mouseDown(DrawContext& context, Point where) override;

 protected:
  ~ToggleButton() override;
};

}  // namespace vintrove
