#include "gui/nested_loop_guard.h"

#include "gui/frame.h"
#include "gui/gui_editor.h"

namespace vintrove {

NestedLoopGuard::NestedLoopGuard(Frame* held) {
  if (held == nullptr) {
    return;
  }
  held->retain();
  frame.reset(held);
  if (GuiEditor* editor = held->getOwnerEditor()) {
    lifetime = editor->getLifetime();
  }
}

NestedLoopGuard::~NestedLoopGuard() {
  // Once the effect is gone the host may have let go of the library too; the reference given
  // back here would be the last one, with this library's code still to return through.
  if (effectGone()) {
    library.keepLoaded();
  }
}

bool NestedLoopGuard::editorClosed() const {
  return (frame && frame->isEditorForgotten()) || effectGone();
}

bool NestedLoopGuard::effectGone() const { return lifetime && lifetime->isOver(); }

}  // namespace vintrove
