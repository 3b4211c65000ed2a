#pragma once

namespace vintrove {

class Control;
class DrawContext;

// Hears every change the user makes to a control; context is null when the change came without
// one (a key handler).
class ControlListener {
 public:
  virtual void controlChanged(DrawContext* context, Control* control) = 0;

 protected:
  ~ControlListener() = default;
};

}  // namespace vintrove
