// The value display's drawing on a memory surface: its text (compared with the same text drawn
// directly), box, 3-D edges, and what marks it for redraw.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "control_bench.h"
#include "gui/bitmap.h"
#include "gui/controls/value_display.h"
#include "gui/retained.h"

namespace vintrove::test {
namespace {

constexpr Color kBlue{0, 0, 200, 0};
constexpr Color kGreen{0, 200, 0, 0};

TEST(ValueDisplayText, DefaultFormatIsTwoDecimalsInTheAlignment) {
  const struct {
    float value;
    const char* shown;
    std::int32_t alignment;
  } cases[] = {{0.5f, "0.50", 1}, {12.345f, "12.35", 1}, {3.0f, "3.00", 1}, {-1.5f, "-1.50", 0},
               {0.25f, "0.25", 2}};
  for (const auto& c : cases) {
    Retained<ValueDisplay> display(new ValueDisplay(kTextRect, nullptr, 0));
    display->setValue(c.value);
    display->setAlignment(c.alignment);
    EXPECT_TRUE(showsText(*display, c.shown, c.alignment));
    EXPECT_FALSE(showsText(*display, "0.5", c.alignment));  // the comparison tells texts apart
  }
}

struct FormatterLog {
  int plainCalls = 0;
  void* data = nullptr;
  bool bufferWasClear = false;
} formatterLog;

// Checks that the buffer comes cleared, then fills all 256 bytes without a terminator.
void runawayFormatter(float, char* text) {
  ++formatterLog.plainCalls;
  formatterLog.bufferWasClear = std::string(text, 256) == std::string(256, '\0');
  std::memset(text, 'W', 256);
}

void dataFormatter(float value, char* text, void* data) {
  formatterLog.data = data;
  std::strcpy(text, value == 0.75f ? "data" : "wrong value");
}

TEST(ValueDisplayText, FormattersWriteTheTextAndTheOneWithDataIsPreferred) {
  Retained<ValueDisplay> display(new ValueDisplay(kTextRect, nullptr, 0));
  display->setValue(0.75f);
  display->setFormatter(runawayFormatter);
  EXPECT_TRUE(showsText(*display, std::string(255, 'W').c_str()));  // cut, not overrun
  EXPECT_TRUE(formatterLog.bufferWasClear);
  int userData = 0;
  display->setFormatterWithData(dataFormatter, &userData);
  EXPECT_TRUE(showsText(*display, "data"));
  EXPECT_EQ(formatterLog.plainCalls, 1);
  EXPECT_EQ(formatterLog.data, &userData);
}

TEST(ValueDisplayText, AShadowIsTheTextInShadeColourOnePixelRightAndDown) {
  Retained<ValueDisplay> display(new ValueDisplay(kTextRect, nullptr, kShadowText));
  EXPECT_TRUE(showsText(*display, "0.00", kAlignCenter, true));
}

// The box with its outline, or with one of the two 3-D edges, drawn without text.
TEST(ValueDisplayBox, FillOutlineAndEdges) {
  constexpr Rect box{3, 3, 20, 15};
  const struct {
    std::int32_t style;
    bool edged, boxFirst;
  } cases[] = {{0, false, false},
               {kEdgeBoxTopLeft, true, true},
               {kEdgeEdgeTopLeft, true, false},
               {kEdgeBoxTopLeft | kEdgeEdgeTopLeft, true, true}};
  for (const auto& c : cases) {
    Retained<ValueDisplay> display(new ValueDisplay(box, nullptr, c.style | kNoText));
    display->setBoxColor(kBlue);
    display->setEdgeColor(kGreen);
    PixelSurface surface(24, 18, kGround);
    DrawContext context(nullptr, surface.dc(), nullptr);
    display->draw(context);
    EXPECT_TRUE(pixelsMatch(surface, [&](std::int32_t x, std::int32_t y) {
      if (x < box.left || x > box.right || y < box.top || y > box.bottom) {
        return kGround;
      }
      if (x > box.left && x < box.right && y > box.top && y < box.bottom) {
        return kBlue;
      }
      const bool topLeft = x == box.left || y == box.top;
      return !c.edged ? kGreen : (topLeft == c.boxFirst ? kBlue : kGreen);
    })) << "style " << c.style;
  }
}

TEST(ValueDisplayBox, StyleDrawNothingDrawsNothingButCountsAsDrawn) {
  Retained<Bitmap> back(new Bitmap(kDisplayBackBitmap));
  Retained<ValueDisplay> display(new ValueDisplay(kTextRect, back.get(), kDrawNothing));
  EXPECT_FALSE(display->needsRedraw());  // cleared by the constructor already
  display->setValue(0.4f);
  ASSERT_TRUE(display->needsRedraw());
  PixelSurface surface(80, 20, kGround);
  DrawContext context(nullptr, surface.dc(), nullptr);
  display->draw(context);
  EXPECT_FALSE(display->needsRedraw());
  EXPECT_EQ(pixelsOf(surface, kGround), 80 * 20);
}

// A setter marks for redraw only when what is drawn changes; colours compare without alpha.
TEST(ValueDisplaySetters, MarkForRedrawOnlyOnAVisibleChange) {
  using Setter = void (*)(ValueDisplay&);
  const struct {
    const char* name;
    Setter same, changed;
  } cases[] = {
      {"text colour", [](ValueDisplay& d) { d.setTextColor(Color{255, 255, 255, 77}); },
       [](ValueDisplay& d) { d.setTextColor(Color{255, 254, 255, 0}); }},
      {"box colour", [](ValueDisplay& d) { d.setBoxColor(Color{0, 0, 0, 5}); },
       [](ValueDisplay& d) { d.setBoxColor(Color{0, 0, 1, 0}); }},
      {"edge colour", [](ValueDisplay& d) { d.setEdgeColor(Color{0, 0, 0, 200}); },
       [](ValueDisplay& d) { d.setEdgeColor(Color{1, 0, 0, 0}); }},
      {"shade colour", [](ValueDisplay& d) { d.setShadeColor(Color{255, 0, 0, 9}); },
       [](ValueDisplay& d) { d.setShadeColor(Color{255, 1, 0, 9}); }},
      {"font number", [](ValueDisplay& d) { d.setFontNumber(3); },
       [](ValueDisplay& d) { d.setFontNumber(4); }},
      {"alignment", [](ValueDisplay& d) { d.setAlignment(1); },
       [](ValueDisplay& d) { d.setAlignment(2); }},
      {"style", [](ValueDisplay& d) { d.setStyle(kShadowText); },
       [](ValueDisplay& d) { d.setStyle(0); }},
      {"font style", [](ValueDisplay& d) { d.setFontStyle(0); },
       [](ValueDisplay& d) { d.setFontStyle(kItalicFont); }},
  };
  for (const auto& c : cases) {
    Retained<ValueDisplay> display(new ValueDisplay(kTextRect, nullptr, kShadowText));
    display->setNeedsRedraw(false);
    c.same(*display);
    EXPECT_FALSE(display->needsRedraw()) << c.name;
    c.changed(*display);
    EXPECT_TRUE(display->needsRedraw()) << c.name;
  }
}

}  // namespace
}  // namespace vintrove::test
