// A command button: 1 only while the left mouse button holds it down over the button, back to
// 0 at the release. Its bitmap holds the released image at bitmapOrigin and the pressed image
// imageStep pixels below it.
#pragma once

#include <cstdint>

#include "gui/control.h"

namespace vintrove {

class MomentaryButton : public Control {
 public:
  MomentaryButton(const Rect& size, ControlListener* listener, std::int32_t tag,
                  std::int32_t imageStep, Bitmap* bitmap, Point bitmapOrigin);

  void draw(DrawContext& context) override;
  // Tracks the press until the release; a press with a modifier key or another button only
  // flips the value once.
  void mouseDown(DrawContext& context, Point where) override;

  Point getBitmapOrigin() const { return bitmapOrigin; }
  std::int32_t getImageStep() const { return imageStep; }

 protected:
  ~MomentaryButton() override;

 private:
  Point bitmapOrigin;
  std::int32_t imageStep;
};

}  // namespace vintrove
