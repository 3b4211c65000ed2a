// The player editor's frame: as any frame, plus dropped MPEG files (or shortcuts to them, which
// the drop target has already resolved) load like a file chosen in the dialog, and every paint
// shows the editor's current state rather than what the last refresh put in the controls.
#pragma once

#include "gui/frame.h"

namespace vintrove {

class PlayerEditor;

class PlayerFrame final : public Frame {
 public:
  PlayerFrame(const Rect& bounds, HWND parentWindow, PlayerEditor& owner);

  void draw(DrawContext& context) override;
  void drawArea(DrawContext& context, const Rect& area) override;
  bool dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                 Point where) override;
  bool acceptsDrop(const char* const* items, std::int32_t count, std::int32_t kind) override;

 private:
  ~PlayerFrame() override = default;

  PlayerEditor& playerEditor;
};

}  // namespace vintrove
