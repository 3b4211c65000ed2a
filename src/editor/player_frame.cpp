#include "editor/player_frame.h"

#include "editor/player_editor.h"

namespace vintrove {

PlayerFrame::PlayerFrame(const Rect& rect, HWND parent, PlayerEditor& owner)
    : Frame(rect, parent, &owner), playerEditor(owner) {}

void PlayerFrame::draw(DrawContext& context) {
  if (!isEditorForgotten()) {
    playerEditor.syncControlsForPaint();
  }
  Frame::draw(context);
}

void PlayerFrame::drawArea(DrawContext& context, const Rect& area) {
  if (!isEditorForgotten()) {
    playerEditor.syncControlsForPaint();
  }
  Frame::drawArea(context, area);
}

bool PlayerFrame::dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                            Point where) {
  if (Frame::dropItems(items, count, kind, where)) {
    return true;
  }
  // The slider stays the focus view after a drag; that must not shut out file drops.
  return kind == kDropFiles && items != nullptr && !isEditorForgotten() &&
         playerEditor.loadDroppedFiles(items, count);
}

bool PlayerFrame::acceptsDrop(const char* const* items, std::int32_t count, std::int32_t kind) {
  return kind == kDropFiles && items != nullptr && !isEditorForgotten() &&
         PlayerEditor::findLoadableFile(items, count) != nullptr;
}

}  // namespace vintrove
