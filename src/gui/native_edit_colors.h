#pragma once

#include "gui/gdi_owner.h"
#include "gui/geometry.h"

namespace vintrove {

// A focus view with a native edit field open; the frame's window answers the field's colour
// request (WM_CTLCOLOREDIT) with these and keeps the brush it makes in editBrush().
class NativeEditColors {
 public:
  virtual Color getTextColor() const = 0;
  virtual Color getBoxColor() const = 0;
  virtual GdiBrush& editBrush() = 0;

 protected:
  ~NativeEditColors() = default;
};

}  // namespace vintrove
