#include "gui/draw_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "gui_test_support.h"

namespace vintrove {
namespace {

using test::PixelSurface;
using test::pixelsMatch;

constexpr Color kGrey{90, 90, 90, 0};

bool within(std::int32_t value, std::int32_t low, std::int32_t high) {
  return value >= low && value <= high;
}

// The bounds (inclusive) of every pixel that differs from the background.
RECT inkOf(const PixelSurface& surface, Color background) {
  RECT ink{surface.width(), surface.height(), -1, -1};
  for (LONG y = 0; y < surface.height(); ++y) {
    for (LONG x = 0; x < surface.width(); ++x) {
      if (!(surface.pixel(x, y) == background)) {
        ink = RECT{std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x),
                   std::max(ink.bottom, y)};
      }
    }
  }
  return ink;
}

template <typename Description>
Description selected(HDC dc, UINT kind) {
  Description description{};
  GetObjectA(GetCurrentObject(dc, kind), sizeof(description), &description);
  return description;
}

bool isDeleted(HGDIOBJ object) { return GetObjectType(object) == 0; }

TEST(DrawContextShapes, FillCoversExactlyTheInsideOfTheOutline) {
  PixelSurface filled(30, 30);
  PixelSurface both(30, 30);
  for (PixelSurface* surface : {&filled, &both}) {
    DrawContext context(nullptr, surface->dc(), nullptr);
    context.setBrushColor(kRed);
    context.setPenColor(kYellow);
    context.fillRect(Rect{10, 10, 20, 20});
    if (surface == &both) {
      context.outlineRect(Rect{10, 10, 20, 20});
    }
  }
  auto inside = [](std::int32_t x, std::int32_t y) {
    return within(x, 11, 19) && within(y, 11, 19);
  };
  EXPECT_TRUE(pixelsMatch(filled, [&](std::int32_t x, std::int32_t y) {
    return inside(x, y) ? kRed : kBlack;
  }));
  EXPECT_TRUE(pixelsMatch(both, [&](std::int32_t x, std::int32_t y) {
    const bool edge = within(x, 10, 20) && within(y, 10, 20) && !inside(x, y);
    return inside(x, y) ? kRed : edge ? kYellow : kBlack;
  }));
}

// A scene drawn with drawOffset (5, 7) equals the scene without it, moved by (5, 7).
TEST(DrawContextShapes, DrawOffsetShiftsEveryOperation) {
  PixelSurface plain(80, 40, kGrey);
  PixelSurface shifted(80, 40, kGrey);
  for (PixelSurface* surface : {&plain, &shifted}) {
    DrawContext context(nullptr, surface->dc(), nullptr);
    if (surface == &shifted) {
      context.setDrawOffset(Point{5, 7});
    }
    context.setBrushColor(kRed);
    context.setPenColor(kYellow);
    context.moveTo(Point{0, 0});
    context.lineTo(Point{4, 0});
    context.fillRect(Rect{2, 2, 12, 9});
    context.outlineRect(Rect{14, 1, 20, 6});
    context.selectFont(3);
    context.drawText("Ab", Rect{22, 0, 60, 16}, true, kAlignLeft);
  }
  EXPECT_EQ(shifted.pixel(5, 7), kYellow);
  EXPECT_EQ(shifted.pixel(4, 7), kGrey);
  EXPECT_TRUE(pixelsMatch(shifted, [&](std::int32_t x, std::int32_t y) {
    return x >= 5 && y >= 7 ? plain.pixel(x - 5, y - 7) : kGrey;
  }));
}

// Opaque text fills its cell with the brush colour, which shows where the text went.
class DrawContextText : public testing::Test {
 protected:
  void SetUp() override {
    context.setBrushColor(kRed);
    context.selectFont(3);
  }
  RECT draw(const char* text, bool opaque, std::int32_t align) {
    surface.fill(kBlack);
    context.drawText(text, Rect{0, 0, 100, 30}, opaque, align);
    return inkOf(surface, kBlack);
  }
  LONG width(const char* text) {
    SIZE size{};
    GetTextExtentPoint32A(surface.dc(), text, static_cast<int>(std::strlen(text)), &size);
    return size.cx;
  }

  PixelSurface surface{100, 30};
  DrawContext context{nullptr, surface.dc(), nullptr};
};

TEST_F(DrawContextText, AlignmentPlacesTheCell) {
  const LONG cell = width("Hi there");
  RECT ink = draw("Hi there", true, kAlignLeft);
  EXPECT_EQ(ink.left, 1);
  EXPECT_EQ(ink.right, cell);
  EXPECT_EQ(draw("Hi there", true, 7).left, 1);  // unknown alignments are left
  ink = draw("Hi there", true, kAlignCenter);
  EXPECT_NEAR(ink.left, 99 - ink.right, 1);
  EXPECT_EQ(ink.right - ink.left + 1, cell);
  ink = draw("Hi there", true, kAlignRight);
  EXPECT_EQ(ink.right, 99);
  EXPECT_EQ(ink.left, 100 - cell);
}

TEST_F(DrawContextText, OneLineCentredVerticallyAmpersandsKept) {
  TEXTMETRICA metrics{};
  GetTextMetricsA(surface.dc(), &metrics);
  RECT ink = draw("one\ntwo", true, kAlignLeft);
  EXPECT_EQ(ink.bottom - ink.top + 1, metrics.tmHeight);
  EXPECT_NEAR(ink.top, 29 - ink.bottom, 1);
  ASSERT_NE(width("A&B"), width("AB"));
  ink = draw("A&B", true, kAlignLeft);
  EXPECT_EQ(ink.right - ink.left + 1, width("A&B"));
}

TEST_F(DrawContextText, TransparentTextKeepsTheBackgroundAndOpaqueModeIsUndone) {
  draw("Hi", true, kAlignLeft);
  EXPECT_EQ(GetBkMode(surface.dc()), TRANSPARENT);
  const RECT ink = draw("Hi", false, kAlignLeft);
  EXPECT_LT(ink.left, ink.right);
  EXPECT_TRUE(pixelsMatch(surface, [&](std::int32_t x, std::int32_t y) {
    const Color pixel = surface.pixel(x, y);
    return pixel == kRed ? kBlack : pixel;
  }));
}

struct FontCase {
  std::int32_t id, size, style;
  std::int32_t expectedId, expectedSize;
  const char* face;
  LONG weight;
  bool italic, underline;
  BYTE pitchAndFamily;
};

void PrintTo(const FontCase& font, std::ostream* out) {
  *out << "selectFont(" << font.id << ", " << font.size << ", " << font.style << ")";
}

class DrawContextFont : public testing::TestWithParam<FontCase> {};

TEST_P(DrawContextFont, SelectsTheDescribedFont) {
  const FontCase& expected = GetParam();
  PixelSurface surface(4, 4);
  DrawContext context(nullptr, surface.dc(), nullptr);
  context.selectFont(expected.id, expected.size, expected.style);
  EXPECT_EQ(context.getFontId(), expected.expectedId);
  EXPECT_EQ(context.getFontSize(), expected.expectedSize);
  const auto font = selected<LOGFONTA>(surface.dc(), OBJ_FONT);
  EXPECT_STREQ(font.lfFaceName, expected.face);
  EXPECT_EQ(font.lfHeight, -expected.expectedSize);
  EXPECT_EQ(font.lfWeight, expected.weight);
  EXPECT_EQ(font.lfItalic != 0, expected.italic);
  EXPECT_EQ(font.lfUnderline != 0, expected.underline);
  EXPECT_EQ(font.lfPitchAndFamily, expected.pitchAndFamily);
  EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
  EXPECT_EQ(font.lfOutPrecision, OUT_STRING_PRECIS);
  EXPECT_EQ(font.lfClipPrecision, CLIP_STROKE_PRECIS);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrawContextFont,
    testing::Values(FontCase{9, 0, 0, 0, 12, "Arial", 700, false, false, 0x22},
                    FontCase{-1, 0, 2, 0, 12, "Arial", 700, true, false, 0x22},
                    FontCase{7, 0, 0, 7, 13, "Symbol", 400, false, false, 0x50},
                    FontCase{3, 0, 6, 3, 12, "Arial", 400, true, true, 0x22},
                    FontCase{1, 0, 1, 1, 18, "Arial", 700, false, false, 0x22},
                    FontCase{6, 20, 0, 6, 20, "Arial", 400, false, false, 0x22}));

TEST(DrawContextObjects, SetupMatchesTheFieldsAndDestructionRestoresAndDeletes) {
  PixelSurface surface(4, 4);
  const HDC dc = surface.dc();
  const HGDIOBJ original[] = {GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH),
                              GetCurrentObject(dc, OBJ_FONT)};
  HGDIOBJ made[3] = {};
  {
    DrawContext context(nullptr, dc, nullptr);
    EXPECT_EQ(selected<LOGPEN>(dc, OBJ_PEN).lopnColor, RGB(255, 255, 255));
    EXPECT_EQ(selected<LOGPEN>(dc, OBJ_PEN).lopnWidth.x, 1);
    EXPECT_EQ(selected<LOGBRUSH>(dc, OBJ_BRUSH).lbColor, RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    context.selectFont(4);
    made[0] = GetCurrentObject(dc, OBJ_PEN);
    made[1] = GetCurrentObject(dc, OBJ_BRUSH);
    made[2] = GetCurrentObject(dc, OBJ_FONT);
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(made[i], original[i]);
    EXPECT_EQ(GetCurrentObject(dc, GetObjectType(original[i])), original[i]);
    EXPECT_TRUE(isDeleted(made[i]));
    EXPECT_FALSE(isDeleted(original[i]));
  }
}

TEST(DrawContextObjects, SettersReplaceTheirObjectOneForOne) {
  PixelSurface surface(4, 4);
  const HDC dc = surface.dc();
  DrawContext context(nullptr, dc, nullptr);
  HGDIOBJ before = GetCurrentObject(dc, OBJ_PEN);
  context.setPenColor(kRed);
  EXPECT_EQ(selected<LOGPEN>(dc, OBJ_PEN).lopnColor, RGB(255, 0, 0));
  EXPECT_TRUE(isDeleted(before));
  context.setLinePattern(1);
  EXPECT_EQ(selected<LOGPEN>(dc, OBJ_PEN).lopnStyle, static_cast<UINT>(PS_DOT));
  EXPECT_EQ(selected<LOGPEN>(dc, OBJ_PEN).lopnColor, RGB(255, 0, 0));
  context.setLinePattern(2);
  EXPECT_EQ(selected<LOGPEN>(dc, OBJ_PEN).lopnStyle, static_cast<UINT>(PS_SOLID));
  before = GetCurrentObject(dc, OBJ_BRUSH);
  context.setBrushColor(kYellow);
  EXPECT_EQ(selected<LOGBRUSH>(dc, OBJ_BRUSH).lbColor, RGB(255, 255, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 0));
  EXPECT_TRUE(isDeleted(before));
  context.selectFont(1);
  before = GetCurrentObject(dc, OBJ_FONT);
  context.selectFont(2);
  EXPECT_TRUE(isDeleted(before));
  context.setTextColor(kRed);
  EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
}

// Presses a mouse button and a key through the system's input queue; lets go at scope end.
class HeldInput {
 public:
  HeldInput(DWORD down, DWORD releaseFlag, WORD key) : up(releaseFlag), heldKey(key) {
    send(down, 0);
  }
  HeldInput(const HeldInput&) = delete;
  HeldInput& operator=(const HeldInput&) = delete;
  ~HeldInput() { send(up, KEYEVENTF_KEYUP); }

 private:
  void send(DWORD mouseFlags, DWORD keyFlags) const {
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = mouseFlags;
    inputs[1].type = INPUT_KEYBOARD;
    inputs[1].ki.wVk = heldKey;
    inputs[1].ki.dwFlags = keyFlags;
    SendInput(2, inputs, sizeof(INPUT));
  }
  DWORD up;
  WORD heldKey;
};

TEST(DrawContextInput, ButtonStateIsTheStateAtTheCall) {
  const DrawContext context(nullptr, nullptr, nullptr);
  SetCursorPos(1200, 1000);  // away from any window
  EXPECT_EQ(context.getButtonState(), 0);
  {
    const HeldInput held(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, VK_SHIFT);
    EXPECT_EQ(context.getButtonState(), 9);
  }
  EXPECT_EQ(context.getButtonState(), 0);
  {
    const HeldInput held(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, VK_CONTROL);
    EXPECT_EQ(context.getButtonState(), kRightButton | kControlKey);
  }
  {
    const HeldInput held(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, VK_MENU);
    EXPECT_EQ(context.getButtonState(), kMiddleButton | kAltKey);
  }
  EXPECT_EQ(context.getButtonState(), 0);
}

TEST(DrawContextInput, MousePositionIsRelativeToTheWindowWhereTheContextWasMade) {
  test::HostWindow host(400, 200, 100, 100);
  const DrawContext context(nullptr, nullptr, host.get());
  ASSERT_TRUE(SetCursorPos(130, 145));
  Point where;
  context.getMousePosition(where);
  EXPECT_EQ(where.h, 30);
  EXPECT_EQ(where.v, 45);
  // The origin is taken once, when the context is made.
  SetWindowPos(host.get(), nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  context.getMousePosition(where);
  EXPECT_EQ(where.h, 30);
  const DrawContext later(nullptr, nullptr, host.get());
  later.getMousePosition(where);
  EXPECT_EQ(where.h, -170);
  EXPECT_EQ(where.v, -105);
  const DrawContext windowless(nullptr, nullptr, nullptr);
  windowless.getMousePosition(where);
  EXPECT_EQ(where.h, 130);
  EXPECT_EQ(where.v, 145);
}

}  // namespace
}  // namespace vintrove
