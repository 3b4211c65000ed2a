// The text entry under real clicks and real keys: its edit field, the commit and who hears of
// it, the double click, and what is left when the frame or its window goes mid-edit.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "control_bench.h"
#include "gui/controls/text_entry.h"
#include "gui/retained.h"

namespace vintrove::test {
namespace {

constexpr Rect kEntryRect{30, 20, 130, 40};
constexpr Point kOnEntry{80, 30};

std::string textOf(const TextEntry& entry) {
  char buffer[256];
  entry.getText(buffer);
  return buffer;
}

// Virtual keys: upper-case letters and digits are their own codes, '\r' is return.
void type(const char* keys) {
  for (const char* key = keys; *key != '\0'; ++key) {
    pressKey(static_cast<WORD>(*key));
    releaseKey(static_cast<WORD>(*key));
    pumpMessages(15);
  }
}

class TextEntries : public ControlBench {
 protected:
  TextEntry* addEntry(const char* text, std::int32_t style = 0) {
    return add(new TextEntry(kEntryRect, &listener, 9, text, nullptr, style));
  }
};

TEST_F(TextEntries, AClickOpensAnEditFieldOverTheControlWithAllTextSelected) {
  auto* entry = addEntry("hello");
  entry->setFontStyle(kBoldFont);  // not the edit field's business
  const struct {
    std::int32_t alignment, font;
    LONG esAlignment, height;
  } cases[] = {{0, 3, ES_LEFT, -12}, {1, 1, ES_CENTER, -18}, {2, 9, ES_RIGHT, -12},
               {7, 6, ES_CENTER, -9}};
  for (const auto& c : cases) {
    entry->setAlignment(c.alignment);
    entry->setFontNumber(c.font);
    click(kOnEntry);
    HWND edit = FindWindowExA(frameWindow(), nullptr, "EDIT", nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit, entry->getEditWindow());
    EXPECT_EQ(frame()->getFocus(), entry);
    EXPECT_EQ(GetFocus(), edit);
    RECT place{};
    GetWindowRect(edit, &place);
    MapWindowPoints(nullptr, frameWindow(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ((std::array{place.left, place.top, place.right, place.bottom}),
              (std::array<LONG, 4>{30, 20, 131, 41}));  // one pixel wider and higher
    const LONG style = GetWindowLongA(edit, GWL_STYLE);
    EXPECT_EQ(style & (ES_CENTER | ES_RIGHT), c.esAlignment);
    EXPECT_NE(style & ES_AUTOHSCROLL, 0);
    char shown[16] = "";
    GetWindowTextA(edit, shown, sizeof shown);
    EXPECT_STREQ(shown, "hello");
    DWORD from = 1, to = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 5u);
    EXPECT_EQ(SendMessageA(edit, EM_GETMARGINS, 0, 0), 0);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, c.height);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    type("\r");
    EXPECT_FALSE(IsWindow(edit));
  }
  EXPECT_TRUE(listener.values.empty());
}

TEST_F(TextEntries, EveryWayOfEndingTheEditCommitsOnceAndSaysLooseFocus) {
  auto* entry = addEntry("old");
  Retained<MessageView> other(new MessageView(Rect{}));
  const struct {
    const char* name;
    std::function<void()> end;
  } endings[] = {{"return key", [] { type("\r"); }},
                 {"click elsewhere", [&] { click(Point{200, 70}); }},
                 {"keyboard focus elsewhere", [&] { SetFocus(host.get()); pumpMessages(20); }},
                 {"another focus view", [&] { frame()->setFocus(other.get()); }}};
  std::size_t round = 0;
  for (const auto& ending : endings) {
    click(kOnEntry);
    ASSERT_TRUE(entry->isEditing()) << ending.name;
    const std::string typed = std::to_string(++round);
    type(typed.c_str());
    ending.end();
    pumpMessages(20);
    EXPECT_FALSE(entry->isEditing()) << ending.name;
    EXPECT_EQ(textOf(*entry), typed) << ending.name;
    EXPECT_EQ(listener.values.size(), round) << ending.name;
    EXPECT_EQ(frame()->messages, Messages(round, {entry, "LooseFocus"})) << ending.name;
    EXPECT_NE(frame()->getFocus(), entry);
    frame()->setFocus(nullptr);
  }
  EXPECT_EQ(listener.withContext, std::vector<bool>(round, true));
}

TEST_F(TextEntries, TheListenerHearsOnlyAChangedTextAndTypedTextsAreCut) {
  auto* entry = addEntry("ab");
  const struct {
    const char* keys;
    const char* text;
    std::size_t heard;
  } cases[] = {{"\r", "ab", 0}, {"AB\r", "ab", 0}, {"AC\r", "ac", 1}, {"\x08\r", "", 2}};
  for (const auto& c : cases) {
    click(kOnEntry);
    type(c.keys);
    EXPECT_EQ(textOf(*entry), c.text);
    EXPECT_EQ(listener.values.size(), c.heard) << c.text;
  }
  EXPECT_EQ(frame()->messages.size(), std::size(cases));
  click(kOnEntry);
  SetWindowTextA(entry->getEditWindow(), std::string(300, 'x').c_str());
  type("\r");
  EXPECT_EQ(textOf(*entry), std::string(kMaxEntryText, 'x'));
}

// The entry's text is UTF-8: the edit field shows it as the characters it spells, what is typed
// comes back as UTF-8, and a text cut to the limit is cut between characters.
TEST_F(TextEntries, TextOutsideTheCodePageGoesInAndComesBackWhole) {
  auto* entry = addEntry("caf\xc3\xa9 \xe2\x99\xaa");
  click(kOnEntry);
  ASSERT_TRUE(entry->isEditing());
  wchar_t shown[32] = L"";
  GetWindowTextW(entry->getEditWindow(), shown, 32);
  EXPECT_STREQ(shown, L"caf\u00e9 \u266a");
  SetWindowTextW(entry->getEditWindow(), L"\u041f\u0435\u0441\u043d\u044f \u97f3");
  type("\r");
  EXPECT_EQ(textOf(*entry), "\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f \xe9\x9f\xb3");
  // 200 characters of two bytes each: 127 of them fit the 255 bytes.
  click(kOnEntry);
  SetWindowTextW(entry->getEditWindow(), std::wstring(200, L'\u00e9').c_str());
  type("\r");
  std::string cut;
  for (int i = 0; i < 127; ++i) {
    cut += "\xc3\xa9";
  }
  EXPECT_EQ(textOf(*entry), cut);
}

TEST_F(TextEntries, AnOwnerViewGetsTheMessageAndShiftsTheListenersContext) {
  auto* entry = addEntry("x");
  Retained<MessageView> owner(new MessageView(Rect{10, 5, 200, 60}));
  entry->setOwnerView(owner.get());
  Point offset{-1, -1};
  listener.onChange = [&](DrawContext* context, Control*) { offset = context->getDrawOffset(); };
  click(kOnEntry);
  type("Y\r");
  EXPECT_EQ(owner->messages, (Messages{{entry, "LooseFocus"}}));
  EXPECT_TRUE(frame()->messages.empty());
  EXPECT_EQ(offset.h, 10);
  EXPECT_EQ(offset.v, 5);
}

TEST_F(TextEntries, WithTheDoubleClickStyleOnlyASecondClickInTimeOpens) {
  ManualClock clock;
  editor.setIdleClock(&clock);
  auto* entry = addEntry("d", kDoubleClickToEdit);
  const std::uint32_t gap = static_cast<std::uint32_t>(entry->getDoubleClickInterval());
  const struct {
    std::uint32_t time;
    bool opens;
  } clicks[] = {{1000, false}, {1000 + gap - 1, true},  // a double click starts afresh
                {5000, false}, {5000 + gap, false},     // too late: a new first click
                {5000 + 2 * gap - 1, true}};
  for (const auto& c : clicks) {
    clock.time = c.time;
    click(kOnEntry);
    EXPECT_EQ(entry->isEditing(), c.opens) << "at " << c.time;
    type("\r");
  }
  editor.setIdleClock(nullptr);
}

// Without an editor the tick count is 0, and no click counts as the second of two.
TEST(TextEntryWithoutEditor, NeverSeesADoubleClick) {
  HostWindow host;
  Retained<MessageFrame> frame(new MessageFrame(Rect{0, 0, 256, 84}, host.get(), nullptr));
  auto* single = new TextEntry(Rect{10, 10, 60, 30}, nullptr, 1, "s", nullptr, 0);
  auto* twice = new TextEntry(Rect{100, 10, 150, 30}, nullptr, 2, "t", nullptr, kDoubleClickToEdit);
  frame->addChild(single);
  frame->addChild(twice);
  for (int i = 0; i < 3; ++i) {
    clickAt(frame->getWindow(), Point{125, 20});
  }
  EXPECT_FALSE(twice->isEditing());
  clickAt(frame->getWindow(), Point{35, 20});
  EXPECT_TRUE(single->isEditing());
  releaseEverything();
}

TEST_F(TextEntries, ClicksOnAnOpenOrMouseDisabledEntryOpenNothing) {
  auto* entry = addEntry("e");
  click(kOnEntry);
  HWND edit = entry->getEditWindow();
  click(kOnEntry);  // the edit field has it
  pressDirectly(*entry, kOnEntry);
  EXPECT_EQ(entry->getEditWindow(), edit);
  EXPECT_TRUE(IsWindow(edit));
  EXPECT_TRUE(frame()->messages.empty());
  type("\r");

  entry->enableMouse(false);
  click(kOnEntry);
  pressDirectly(*entry, kOnEntry);
  EXPECT_FALSE(entry->isEditing());
}

TEST(TextEntryText, LongTextsAreCutAndTheSameTextIsNoNews) {
  const std::string longText(300, 'x');
  Retained<TextEntry> entry(new TextEntry(kEntryRect, nullptr, 1, longText.c_str(), nullptr, 0));
  EXPECT_EQ(textOf(*entry), longText.substr(0, 255));
  entry->setNeedsRedraw(false);
  for (const char* same : {longText.c_str(), static_cast<const char*>(nullptr)}) {
    entry->setText(same);
    EXPECT_FALSE(entry->needsRedraw());
  }
  entry->setText("new");
  EXPECT_TRUE(entry->needsRedraw());
  EXPECT_EQ(textOf(*entry), "new");
  Retained<TextEntry> empty(new TextEntry(kEntryRect, nullptr, 1, nullptr, nullptr, 0));
  EXPECT_EQ(textOf(*empty), "");
}

TEST(TextEntryText, DrawsItsTextOrWhatItsFormattersMakeOfIt) {
  static void* heardData = nullptr;
  Retained<TextEntry> entry(new TextEntry(kTextRect, nullptr, 1, "a&c", nullptr, 0));
  EXPECT_TRUE(showsText(*entry, "a&c"));
  entry->setTextFormatter(
      [](const char* text, char* shown) { std::snprintf(shown, 256, "<%s>", text); });
  EXPECT_TRUE(showsText(*entry, "<a&c>"));
  int userData = 0;
  entry->setTextFormatterWithData(
      [](const char* text, char* shown, void* data) {
        heardData = data;
        std::snprintf(shown, 256, "[%s]", text);
      },
      &userData);
  EXPECT_TRUE(showsText(*entry, "[a&c]"));
  EXPECT_EQ(heardData, &userData);
}

TEST_F(TextEntries, TheFrameColoursTheOpenEditFieldWithTheEntrysColours) {
  auto* entry = addEntry("c");
  entry->setTextColor(Color{10, 200, 30, 0});
  entry->setBoxColor(Color{40, 50, 60, 0});
  click(kOnEntry);
  HWND edit = entry->getEditWindow();
  PixelSurface probe(4, 4);
  const LRESULT answer = SendMessageA(frameWindow(), WM_CTLCOLOREDIT,
                                      reinterpret_cast<WPARAM>(probe.dc()),
                                      reinterpret_cast<LPARAM>(edit));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(answer), entry->editBrush().get());
  EXPECT_EQ(GetTextColor(probe.dc()), RGB(10, 200, 30));
  EXPECT_EQ(GetBkColor(probe.dc()), RGB(40, 50, 60));
  RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pumpMessages(20);
  EXPECT_EQ(windowPixel(edit, 97, 2), (Color{40, 50, 60, 0}));
  type("\r");
  EXPECT_FALSE(entry->editBrush());
}

// The frame ends the edit when the editor closes; the window going first ends it too.
TEST_F(TextEntries, AnEditEndedByTheFrameOrItsWindowGoingCommitsAndLeavesNothing) {
  const struct {
    const char* name;
    std::function<void()> end;
  } endings[] = {{"editor closed", [&] { editor.close(); }},
                 {"frame window destroyed", [&] { DestroyWindow(frameWindow()); }}};
  for (const auto& ending : endings) {
    editor.open(host.get());
    auto* entry = addEntry("a");
    entry->retain();
    Retained<TextEntry> kept(entry);
    click(kOnEntry);
    type("\r");  // the first field may leave what Wine keeps for the process
    const std::int32_t gdiObjects = liveGdiObjects();
    const std::int32_t windows = threadWindowCount();
    click(kOnEntry);
    type("Z");
    const auto font =
        reinterpret_cast<HGDIOBJ>(SendMessageA(entry->getEditWindow(), WM_GETFONT, 0, 0));
    const HGDIOBJ brush = entry->editBrush().get();
    ASSERT_NE(brush, nullptr);  // the field has been coloured
    ending.end();
    EXPECT_FALSE(entry->isEditing()) << ending.name;
    EXPECT_EQ(textOf(*entry), "z") << ending.name;
    EXPECT_EQ(listener.values.size(), 1u) << ending.name;
    EXPECT_EQ(GetObjectType(font), 0u) << ending.name;
    EXPECT_EQ(GetObjectType(brush), 0u) << ending.name;
    EXPECT_EQ(threadWindowCount(), windows - 1) << ending.name;  // the frame's own window
    EXPECT_EQ(liveGdiObjects(), gdiObjects) << ending.name;
    editor.close();
    listener.values.clear();
  }
}

}  // namespace
}  // namespace vintrove::test
