// A value display that shows a text of its own. A click (or a double click, by style) opens a
// native single-line edit window over it; closing that window (focus loss or the return key)
// commits the typed text, tells the listener when it changed and sends "LooseFocus" to the
// owner view, or to the frame without one.
#pragma once

#include <cstdint>

#include "gui/controls/edit_window.h"
#include "gui/controls/value_display.h"
#include "gui/gdi_owner.h"
#include "gui/native_edit_colors.h"

namespace vintrove {

// Longest text a text entry holds; longer texts are cut.
inline constexpr std::int32_t kMaxEntryText = kShownTextSize - 1;

// Formatters write a terminated text into a buffer of kShownTextSize bytes.
using TextFormatter = void (*)(const char* text, char* shownText);
using TextFormatterWithData = void (*)(const char* text, char* shownText, void* userData);

class TextEntry : public ValueDisplay, public NativeEditColors {
 public:
  TextEntry(const Rect& size, ControlListener* listener, std::int32_t tag, const char* text,
            Bitmap* bitmap, std::int32_t style);

  void draw(DrawContext& context) override;
  void mouseDown(DrawContext& context, Point where) override;
  // Closes the edit window and commits; does nothing when no edit window is open.
  void focusLost(DrawContext* context) override;
  // Opens the edit window over the control.
  void focusGained(DrawContext* context) override;

  virtual void setText(const char* newText);
  // buffer must hold kShownTextSize characters.
  virtual void getText(char* buffer) const;
  virtual void setTextFormatterWithData(TextFormatterWithData callback, void* data);
  virtual void setTextFormatter(TextFormatter callback);

  Color getTextColor() const override { return textColor; }
  Color getBoxColor() const override { return boxColor; }
  GdiBrush& editBrush() override { return editBackground; }

  bool isEditing() const { return static_cast<bool>(editWindow); }
  HWND getEditWindow() const { return editWindow.get(); }
  std::int32_t getDoubleClickInterval() const { return doubleClickInterval; }

 protected:
  ~TextEntry() override;

 private:
  static LRESULT CALLBACK editProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool isDoubleClick();
  void storeText(const char* newText);

  GdiBrush editBackground;
  EditWindow editWindow;  // reset first in the destructor: it uses editFont and editBackground
  GdiFont editFont;
  char text[kShownTextSize] = {};
  std::int32_t lastClickTime = -1;
  std::int32_t doubleClickInterval;
  TextFormatter textFormatter = nullptr;
  TextFormatterWithData textFormatterWithData = nullptr;
};

}  // namespace vintrove
