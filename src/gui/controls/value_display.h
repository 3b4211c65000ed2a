// A control that shows its value as one line of text over its bitmap or over a filled, edged
// box, optionally with a shadow and a three-dimensional edge. The text comes from a formatter
// callback or, by default, from "%2.2f".
#pragma once

#include <cstdint>

#include "gui/control.h"

namespace vintrove {

// Style bits of ValueDisplay and TextEntry; other bits are ignored.
enum DisplayStyle : std::int32_t {
  kShadowText = 0x0004,          // text first in shadeColor, one pixel right and down
  kEdgeBoxTopLeft = 0x0080,      // 3-D edge: top and left in boxColor, the rest in edgeColor
  kEdgeEdgeTopLeft = 0x0100,     // 3-D edge the other way round (kEdgeBoxTopLeft wins)
  kNoText = 0x0800,
  kDrawNothing = 0x1000,
  kDoubleClickToEdit = 0x2000,   // TextEntry only
};

// Size of the buffers shown texts are built in, terminator included.
inline constexpr std::int32_t kShownTextSize = 256;

// Formatters write a terminated text into a buffer of kShownTextSize bytes.
using ValueFormatter = void (*)(float value, char* text);
using ValueFormatterWithData = void (*)(float value, char* text, void* userData);

class ValueDisplay : public Control {
 public:
  ValueDisplay(const Rect& size, Bitmap* bitmap, std::int32_t style);

  void draw(DrawContext& context) override;

  virtual void setFontNumber(std::int32_t number);
  // The colour setters compare red, green and blue only: alpha is stored but never drawn.
  virtual void setTextColor(Color color);
  virtual void setBoxColor(Color color);
  virtual void setEdgeColor(Color color);
  virtual void setShadeColor(Color color);
  virtual void setAlignment(std::int32_t newAlignment);
  virtual void setBitmapOrigin(Point origin);
  virtual void setFormatterWithData(ValueFormatterWithData callback, void* data);
  virtual void setFormatter(ValueFormatter callback);
  virtual void setStyle(std::int32_t newStyle);
  virtual void setFontStyle(std::int32_t newFontStyle);
  virtual void setTextOpaque(bool opaque);

  std::int32_t getStyle() const { return style; }

 protected:
  ~ValueDisplay() override;

  // The shared second half of draw: background, edge and the shown text.
  void drawShownText(DrawContext& context, const char* shown);

  ValueFormatter formatter = nullptr;
  ValueFormatterWithData formatterWithData = nullptr;
  void* userData = nullptr;
  std::int32_t alignment = 1;
  std::int32_t style;
  std::int32_t fontNumber = 3;
  std::int32_t fontStyle = 0;
  Color textColor = kWhite;
  Color boxColor = kBlack;
  Color edgeColor = kBlack;
  Color shadeColor = kRed;
  Point bitmapOrigin;
  bool textOpaque = false;
};

}  // namespace vintrove
