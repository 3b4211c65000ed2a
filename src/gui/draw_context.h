// A thin wrapper around a native device context for one event or one paint: it owns the pen,
// brush and font it creates, shifts every coordinate by drawOffset, and answers the button
// state and mouse position that controls poll while they track the mouse.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gui/gdi_owner.h"
#include "gui/geometry.h"

namespace vintrove {

class Frame;

// Bits of getButtonState(). The "left" button is the primary one and "right" the secondary,
// whichever physical buttons the user's swap setting makes them.
enum ButtonState : std::int32_t {
  kLeftButton = 1,
  kMiddleButton = 2,
  kRightButton = 4,
  kShiftKey = 8,
  kControlKey = 16,
  kAltKey = 32,
};

// Font style bits of selectFont().
enum FontStyle : std::int32_t {
  kBoldFont = 1,
  kItalicFont = 2,
  kUnderlinedFont = 4,
};

enum TextAlign : std::int32_t {
  kAlignLeft = 0,
  kAlignCenter = 1,
  kAlignRight = 2,
};

// The fonts selectFont() offers by id; all use the ANSI character set.
struct FontEntry {
  const char* face;
  std::int32_t defaultSize;  // pixels, character height
};

inline constexpr std::int32_t kFontCount = 8;
inline constexpr FontEntry kFontTable[kFontCount] = {
    {"Arial", 12},  // always bold
    {"Arial", 18}, {"Arial", 14}, {"Arial", 12}, {"Arial", 11},
    {"Arial", 10}, {"Arial", 9},
    {"Symbol", 13},  // decorative family
};

class DrawContext {
 public:
  DrawContext(Frame* frame, HDC deviceContext, HWND window);
  DrawContext(const DrawContext&) = delete;
  DrawContext& operator=(const DrawContext&) = delete;
  virtual ~DrawContext();

  void moveTo(Point where);
  void lineTo(Point where);
  void outlineRect(const Rect& rect);
  void fillRect(const Rect& rect);
  void setLinePattern(std::int32_t pattern);
  void setPenColor(Color color);
  void setBrushColor(Color color);
  void setTextColor(Color color);
  void selectFont(std::int32_t id, std::int32_t size = 0, std::int32_t style = 0);
  void drawText(const char* text, const Rect& rect, bool opaque = false,
                std::int32_t align = kAlignCenter);
  std::int32_t getButtonState() const;
  void getMousePosition(Point& where) const;

  Point getDrawOffset() const { return drawOffset; }
  void setDrawOffset(Point offset) { drawOffset = offset; }
  HDC getDeviceContext() const { return deviceContext; }
  HWND getWindow() const { return window; }
  Frame* getFrame() const { return frame; }
  Point getWindowOrigin() const { return windowOrigin; }
  std::int32_t getFontId() const { return fontId; }
  std::int32_t getFontSize() const { return fontSize; }
  Color getTextColor() const { return textColor; }
  Color getPenColor() const { return penColor; }
  Color getBrushColor() const { return brushColor; }
  std::int32_t getLinePattern() const { return linePattern; }

 protected:
  // The offscreen context makes its device context after the base is built.
  void adoptDeviceContext(HDC dc) { deviceContext = dc; }

  Point windowOrigin;
  Point drawOffset;
  HDC deviceContext;
  HWND window;
  Frame* frame;
  std::int32_t fontSize = 0;
  std::int32_t fontId = 0;
  Color textColor = kWhite;
  std::int32_t lineWidth = 1;
  Color penColor = kWhite;
  Color brushColor = kBlack;
  std::int32_t linePattern = 0;
  GdiBrush brush;
  GdiPen pen;
  GdiFont font;
  HGDIOBJ savedBrush = nullptr;
  HGDIOBJ savedPen = nullptr;
  HGDIOBJ savedFont = nullptr;
  std::int32_t penStyle = PS_SOLID;

 private:
  // A pen of penStyle, lineWidth and penColor takes the place of the current one.
  void replacePen();
};

}  // namespace vintrove
