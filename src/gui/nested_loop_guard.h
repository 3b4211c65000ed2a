// The one guard of every loop of ours that lets the host run inside it: a control tracking
// the mouse asks the host for idle, and the file dialog runs a message loop in which the
// host's timers fire. Hosts close editors and whole effects from idle and timers, and may
// unload the library right after. The guard keeps the frame and the library alive for the
// loop and says, after each turn, whether the editor (or its effect) went meanwhile; from then
// on the loop touches nothing of the editor, its controls' listener or the effect and returns.
#pragma once

#include <atomic>
#include <memory>

#include "gui/module_hold.h"
#include "gui/retained.h"

namespace vintrove {

class Frame;

// Shared by an editor and the loops running inside it; ended as the editor goes with its
// effect. Any thread may read it.
class EditorLifetime {
 public:
  bool isOver() const { return over.load(); }
  void end() { over.store(true); }

 private:
  std::atomic<bool> over{false};
};

class NestedLoopGuard {
 public:
  // frame may be null (a control outside any frame): nothing can close under such a loop.
  explicit NestedLoopGuard(Frame* frame);
  NestedLoopGuard(const NestedLoopGuard&) = delete;
  NestedLoopGuard& operator=(const NestedLoopGuard&) = delete;
  ~NestedLoopGuard();

  // The host closed the editor the loop runs in, or its whole effect.
  bool editorClosed() const;
  // The effect itself has gone (and with it the editor object).
  bool effectGone() const;

 private:
  Retained<Frame> frame;
  std::shared_ptr<const EditorLifetime> lifetime;
  ModuleHold library;
};

}  // namespace vintrove
