#include "editor/player_frame.h"

#include "editor/player_editor.h"

namespace vintrove {

PlayerFrame::PlayerFrame(const Rect& rect, HWND parent, PlayerEditor& owner)
    : Frame(rect, parent, &owner), playerEditor(owner) {}

bool PlayerFrame::dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                            Point where) {
  if (Frame::dropItems(items, count, kind, where)) {
    return true;
  }
  // The slider stays the focus view after a drag; that must not shut out file drops.
  return kind == kDropFiles && items != nullptr && playerEditor.loadDroppedFiles(items, count);
}

}  // namespace vintrove
