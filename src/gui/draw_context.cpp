#include "gui/draw_context.h"

#include <cstring>
#include <utility>

#include "platform/wide_text.h"

namespace vintrove {

namespace {

RECT shifted(const Rect& rect, Point offset) {
  return RECT{rect.left + offset.h, rect.top + offset.v, rect.right + offset.h,
              rect.bottom + offset.v};
}

bool isDown(int virtualKey) {
  return (static_cast<unsigned short>(GetAsyncKeyState(virtualKey)) & 0x8000U) != 0;
}

// Texts of the views hold at most 255 bytes of UTF-8, never more UTF-16 units than bytes.
constexpr std::size_t kWideTextCapacity = 1024;

// GetAsyncKeyState reads the physical buttons; the user's swap setting says which is primary.
bool buttonsSwapped() { return GetSystemMetrics(SM_SWAPBUTTON) != 0; }

}  // namespace

DrawContext::DrawContext(Frame* owner, HDC dc, HWND target)
    : deviceContext(dc), window(target), frame(owner) {
  if (deviceContext != nullptr) {
    savedBrush = GetCurrentObject(deviceContext, OBJ_BRUSH);
    savedPen = GetCurrentObject(deviceContext, OBJ_PEN);
    savedFont = GetCurrentObject(deviceContext, OBJ_FONT);
    SetBkMode(deviceContext, TRANSPARENT);
  }
  if (window != nullptr) {
    RECT bounds{};
    if (GetWindowRect(window, &bounds)) {
      windowOrigin = Point{bounds.left, bounds.top};
    }
  }
  if (deviceContext != nullptr) {
    // Brings the device context's pen, brush and colours in line with the fields.
    setPenColor(penColor);
    setLinePattern(linePattern);
    setBrushColor(brushColor);
    setTextColor(textColor);
  }
}

DrawContext::~DrawContext() {
  // Our own pen, brush and font must be out of the device context before the members delete them.
  if (deviceContext != nullptr) {
    if (savedBrush != nullptr) {
      SelectObject(deviceContext, savedBrush);
    }
    if (savedPen != nullptr) {
      SelectObject(deviceContext, savedPen);
    }
    if (savedFont != nullptr) {
      SelectObject(deviceContext, savedFont);
    }
  }
}

void DrawContext::moveTo(Point where) {
  MoveToEx(deviceContext, where.h + drawOffset.h, where.v + drawOffset.v, nullptr);
}

void DrawContext::lineTo(Point where) {
  LineTo(deviceContext, where.h + drawOffset.h, where.v + drawOffset.v);
}

void DrawContext::outlineRect(const Rect& rect) {
  moveTo(Point{rect.left, rect.top});
  lineTo(Point{rect.right, rect.top});
  lineTo(Point{rect.right, rect.bottom});
  lineTo(Point{rect.left, rect.bottom});
  lineTo(Point{rect.left, rect.top});
}

void DrawContext::fillRect(const Rect& rect) {
  // FillRect leaves out the right and bottom edges, so this covers the inside of outlineRect.
  RECT inside = shifted(Rect{rect.left + 1, rect.top + 1, rect.right, rect.bottom}, drawOffset);
  const HBRUSH fill =
      brush ? brush.get() : static_cast<HBRUSH>(GetCurrentObject(deviceContext, OBJ_BRUSH));
  ScopedSelection noPen(deviceContext, GetStockObject(NULL_PEN));
  FillRect(deviceContext, &inside, fill);
}

void DrawContext::replacePen() {
  LOGPEN description{};
  description.lopnStyle = static_cast<UINT>(penStyle);
  description.lopnWidth = POINT{lineWidth, 0};
  description.lopnColor = nativeColor(penColor);
  GdiPen made(CreatePenIndirect(&description));
  if (!made) {
    return;  // the previous pen stays selected
  }
  if (deviceContext != nullptr) {
    SelectObject(deviceContext, made.get());
  }
  pen = std::move(made);
}

void DrawContext::setLinePattern(std::int32_t pattern) {
  linePattern = pattern;
  penStyle = pattern == 1 ? PS_DOT : PS_SOLID;
  replacePen();
}

void DrawContext::setPenColor(Color color) {
  penColor = color;
  replacePen();
}

void DrawContext::setBrushColor(Color color) {
  brushColor = color;
  if (deviceContext != nullptr) {
    SetBkColor(deviceContext, nativeColor(color));
  }
  LOGBRUSH description{};
  description.lbStyle = BS_SOLID;
  description.lbColor = nativeColor(color);
  GdiBrush made(CreateBrushIndirect(&description));
  if (!made) {
    return;  // the previous brush stays selected
  }
  if (deviceContext != nullptr) {
    SelectObject(deviceContext, made.get());
  }
  brush = std::move(made);
}

void DrawContext::setTextColor(Color color) {
  textColor = color;
  if (deviceContext != nullptr) {
    SetTextColor(deviceContext, nativeColor(color));
  }
}

void DrawContext::selectFont(std::int32_t id, std::int32_t size, std::int32_t style) {
  if (id < 0 || id >= kFontCount) {
    id = 0;
  }
  fontId = id;
  if (size == 0) {
    size = kFontTable[id].defaultSize;
  }
  fontSize = size;

  LOGFONTA description{};
  description.lfHeight = -size;  // negative: character height, not cell height
  description.lfWeight = (style & kBoldFont) != 0 || id == 0 ? FW_BOLD : FW_NORMAL;
  description.lfItalic = (style & kItalicFont) != 0 ? TRUE : FALSE;
  description.lfUnderline = (style & kUnderlinedFont) != 0 ? TRUE : FALSE;
  description.lfCharSet = ANSI_CHARSET;
  description.lfOutPrecision = OUT_STRING_PRECIS;
  description.lfClipPrecision = CLIP_STROKE_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  description.lfPitchAndFamily = id == 7 ? FF_DECORATIVE : VARIABLE_PITCH | FF_SWISS;
  std::strncpy(description.lfFaceName, kFontTable[id].face, LF_FACESIZE - 1);

  GdiFont made(CreateFontIndirectA(&description));
  if (!made) {
    return;
  }
  if (deviceContext != nullptr) {
    SelectObject(deviceContext, made.get());
  }
  font = std::move(made);
}

void DrawContext::drawText(const char* text, const Rect& rect, bool opaque, std::int32_t align) {
  if (text == nullptr || deviceContext == nullptr) {
    return;
  }
  SetBkMode(deviceContext, opaque ? OPAQUE : TRANSPARENT);
  RECT box = shifted(rect, drawOffset);
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (align == kAlignCenter) {
    format |= DT_CENTER;
  } else if (align == kAlignRight) {
    format |= DT_RIGHT;
  } else {
    box.left += 1;  // keeps left-aligned text off the edge
  }
  wchar_t wide[kWideTextCapacity];
  if (platform::utf8ToWide(text, wide, kWideTextCapacity)) {
    DrawTextW(deviceContext, wide, -1, &box, format);
  } else {
    // Not UTF-8 (or too long): shown byte for byte rather than not at all.
    DrawTextA(deviceContext, text, -1, &box, format);
  }
  SetBkMode(deviceContext, TRANSPARENT);
}

std::int32_t DrawContext::getButtonState() const {
  std::int32_t state = 0;
  const bool swapped = buttonsSwapped();
  if (isDown(swapped ? VK_RBUTTON : VK_LBUTTON)) {
    state |= kLeftButton;
  }
  if (isDown(VK_MBUTTON)) {
    state |= kMiddleButton;
  }
  if (isDown(swapped ? VK_LBUTTON : VK_RBUTTON)) {
    state |= kRightButton;
  }
  if (isDown(VK_SHIFT)) {
    state |= kShiftKey;
  }
  if (isDown(VK_CONTROL)) {
    state |= kControlKey;
  }
  if (isDown(VK_MENU)) {
    state |= kAltKey;
  }
  return state;
}

void DrawContext::getMousePosition(Point& where) const {
  POINT cursor{};
  GetCursorPos(&cursor);
  where = Point{cursor.x - windowOrigin.h, cursor.y - windowOrigin.v};
}

}  // namespace vintrove
