#include "gui/controls/value_display.h"

#include <cstdio>

#include "gui/bitmap.h"
#include "gui/draw_context.h"

namespace vintrove {

namespace {

bool sameVisibleColor(const Color& a, const Color& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// Stores color and marks for redraw when it shows differently.
void changeColor(Control& control, Color& field, const Color& color) {
  const bool differs = !sameVisibleColor(field, color);
  field = color;
  if (differs) {
    control.setNeedsRedraw(true);
  }
}

}  // namespace

ValueDisplay::ValueDisplay(const Rect& size, Bitmap* picture, std::int32_t styleBits)
    : Control(size, nullptr, 0, picture), style(styleBits) {
  if ((style & kDrawNothing) != 0) {
    setNeedsRedraw(false);
  }
}

ValueDisplay::~ValueDisplay() = default;

void ValueDisplay::draw(DrawContext& context) {
  char shown[kShownTextSize] = {};
  if (formatterWithData != nullptr) {
    formatterWithData(value, shown, userData);
  } else if (formatter != nullptr) {
    formatter(value, shown);
  } else {
    std::snprintf(shown, sizeof shown, "%2.2f", static_cast<double>(value));
  }
  shown[kShownTextSize - 1] = '\0';  // a careless formatter must not run us off the end
  drawShownText(context, shown);
}

void ValueDisplay::drawShownText(DrawContext& context, const char* shown) {
  setNeedsRedraw(false);
  if ((style & kDrawNothing) != 0) {
    return;
  }
  const bool edged = (style & (kEdgeBoxTopLeft | kEdgeEdgeTopLeft)) != 0;
  if (bitmap != nullptr) {
    if (transparent) {
      bitmap->drawMasked(context, bounds, bitmapOrigin);
    } else {
      bitmap->draw(context, bounds, bitmapOrigin);
    }
  } else if (!transparent) {
    context.setBrushColor(boxColor);
    context.fillRect(bounds);
    if (!edged) {
      context.setPenColor(edgeColor);
      context.outlineRect(bounds);
    }
  }
  if (edged) {
    const bool boxFirst = (style & kEdgeBoxTopLeft) != 0;
    context.setPenColor(boxFirst ? boxColor : edgeColor);
    context.moveTo(Point{bounds.left, bounds.bottom});
    context.lineTo(Point{bounds.left, bounds.top});
    context.lineTo(Point{bounds.right + 1, bounds.top});
    context.setPenColor(boxFirst ? edgeColor : boxColor);
    context.moveTo(Point{bounds.right, bounds.top + 1});
    context.lineTo(Point{bounds.right, bounds.bottom});
    context.lineTo(Point{bounds.left, bounds.bottom});
  }
  if ((style & kNoText) != 0) {
    return;
  }
  // An out-of-range number falls back to font 0 in selectFont, with that font's size.
  const bool known = fontNumber >= 0 && fontNumber < kFontCount;
  context.selectFont(fontNumber, known ? kFontTable[fontNumber].defaultSize : 0, fontStyle);
  if ((style & kShadowText) != 0) {
    context.setTextColor(shadeColor);
    const Rect shadow{bounds.left + 1, bounds.top + 1, bounds.right + 1, bounds.bottom + 1};
    context.drawText(shown, shadow, textOpaque, alignment);
  }
  context.setTextColor(textColor);
  context.drawText(shown, bounds, textOpaque, alignment);
}

void ValueDisplay::setFontNumber(std::int32_t number) {
  if (number != fontNumber) {
    fontNumber = number;
    setNeedsRedraw(true);
  }
}

void ValueDisplay::setTextColor(Color color) { changeColor(*this, textColor, color); }

void ValueDisplay::setBoxColor(Color color) { changeColor(*this, boxColor, color); }

void ValueDisplay::setEdgeColor(Color color) { changeColor(*this, edgeColor, color); }

void ValueDisplay::setShadeColor(Color color) { changeColor(*this, shadeColor, color); }

void ValueDisplay::setAlignment(std::int32_t newAlignment) {
  if (newAlignment != alignment) {
    alignment = newAlignment;
    setNeedsRedraw(true);
  }
}

void ValueDisplay::setBitmapOrigin(Point origin) { bitmapOrigin = origin; }

void ValueDisplay::setFormatterWithData(ValueFormatterWithData callback, void* data) {
  formatterWithData = callback;
  userData = data;
}

void ValueDisplay::setFormatter(ValueFormatter callback) { formatter = callback; }

void ValueDisplay::setStyle(std::int32_t newStyle) {
  if (newStyle != style) {
    style = newStyle;
    setNeedsRedraw(true);
  }
}

void ValueDisplay::setFontStyle(std::int32_t newFontStyle) {
  if (newFontStyle != fontStyle) {
    fontStyle = newFontStyle;
    setNeedsRedraw(true);
  }
}

void ValueDisplay::setTextOpaque(bool opaque) { textOpaque = opaque; }

}  // namespace vintrove
