// A GUI editor as the player's will be: builds a frame with a few controls and a backdrop at
// open, destroys them at close, counts its refreshes.
#pragma once

#include "gui/bitmap.h"
#include "gui/frame.h"
#include "gui/gui_editor.h"
#include "gui_test_support.h"
#include "recording_views.h"

namespace vintrove::test {

class TestEditor : public GuiEditor {
 public:
  explicit TestEditor(ExtendedEffect* owner) : GuiEditor(owner) {
    editorRect = EditorRect{0, 0, 84, 256};
  }
  ~TestEditor() override { close(); }

  std::int32_t open(void* parent) override {
    GuiEditor::open(parent);
    frame.reset(new Frame(Rect{editorRect.left, editorRect.top, editorRect.right,
                               editorRect.bottom},
                          static_cast<HWND>(parent), this));
    auto* backdrop = new Bitmap(kPatternBitmap);
    frame->setBackdrop(backdrop);
    auto* picture = new Bitmap(kWhiteDiagonalBitmap);
    for (int i = 0; i < 12; ++i) {
      frame->addChild(new SolidControl(Rect{i * 20, 10, i * 20 + 15, 40},
                                       Color{static_cast<std::uint8_t>(i * 20), 0, 0, 0}, nullptr,
                                       "c", i % 2 == 0 ? picture : nullptr));
    }
    picture->release();
    backdrop->release();
    return 1;
  }
  void close() override { frame.reset(); }
  void refresh() override { ++refreshes; }

  int refreshes = 0;
};

}  // namespace vintrove::test
