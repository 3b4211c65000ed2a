#include "gui/controls/text_entry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "gui/control_listener.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "host/module_handle.h"
#include "platform/wide_text.h"

namespace vintrove {

namespace {

constexpr std::int32_t kMinimumDoubleClickInterval = 250;
// UTF-16 text of the edit window as UTF-8 can take up to three bytes a character.
constexpr std::size_t kTypedUtf8Size = 3 * static_cast<std::size_t>(kShownTextSize);

// Every edit window is of the system's one class, so one previous procedure serves them all.
WNDPROC previousEditProcedure = nullptr;

// Keeps a view alive while a listener it calls might let go of it.
class ViewHold {
 public:
  explicit ViewHold(View& held) : view(held) { view.retain(); }
  ViewHold(const ViewHold&) = delete;
  ViewHold& operator=(const ViewHold&) = delete;
  ~ViewHold() { view.release(); }

 private:
  View& view;
};

// Cuts UTF-8 text to at most kMaxEntryText bytes without splitting a character.
void cutToEntryLimit(char* text) {
  std::size_t length = std::strlen(text);
  if (length <= static_cast<std::size_t>(kMaxEntryText)) {
    return;
  }
  length = static_cast<std::size_t>(kMaxEntryText);
  // Continuation bytes (10xxxxxx) belong to the character before them.
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    --length;
  }
  text[length] = '\0';
}

DWORD alignmentStyle(std::int32_t alignment) {
  switch (alignment) {
    case 0: return ES_LEFT;
    case 2: return ES_RIGHT;
    default: return ES_CENTER;
  }
}

}  // namespace

TextEntry::TextEntry(const Rect& size, ControlListener* changeListener, std::int32_t controlTag,
                     const char* initialText, Bitmap* picture, std::int32_t styleBits)
    : ValueDisplay(size, picture, styleBits),
      doubleClickInterval(std::max(static_cast<std::int32_t>(GetDoubleClickTime()),
                                   kMinimumDoubleClickInterval)) {
  listener = changeListener;
  tag = controlTag;
  storeText(initialText != nullptr ? initialText : "");
}

TextEntry::~TextEntry() {
  // Normally the frame has ended the editing already; whatever is left must not outlive us.
  editWindow.reset();
}

void TextEntry::storeText(const char* newText) {
  std::snprintf(text, sizeof text, "%s", newText);
}

void TextEntry::draw(DrawContext& context) {
  char shown[kShownTextSize] = {};
  if (textFormatterWithData != nullptr) {
    textFormatterWithData(text, shown, userData);
  } else if (textFormatter != nullptr) {
    textFormatter(text, shown);
  } else {
    std::snprintf(shown, sizeof shown, "%s", text);
  }
  shown[kShownTextSize - 1] = '\0';  // a careless formatter must not run us off the end
  drawShownText(context, shown);
}

bool TextEntry::isDoubleClick() {
  const std::int64_t now = ownerFrame != nullptr ? ownerFrame->getMilliseconds() : 0;
  if (lastClickTime > 0 && now < static_cast<std::int64_t>(lastClickTime) + doubleClickInterval) {
    lastClickTime = 0;
    return true;
  }
  lastClickTime = static_cast<std::int32_t>(now);
  return false;
}

void TextEntry::mouseDown(DrawContext& context, Point) {
  if (!mouseEnabled || (context.getButtonState() & kLeftButton) == 0) {
    return;
  }
  if (editWindow || (ownerFrame != nullptr && ownerFrame->getFocus() == this)) {
    return;
  }
  if ((style & kDoubleClickToEdit) != 0 && !isDoubleClick()) {
    return;
  }
  if (ownerFrame != nullptr) {
    ownerFrame->setFocus(this);
  }
  focusGained(&context);
}

void TextEntry::focusGained(DrawContext* context) {
  if (editWindow) {
    return;
  }
  HWND parent = ownerFrame != nullptr && ownerFrame->isWindowAlive() ? ownerFrame->getWindow()
                                                                      : nullptr;
  Rect place = bounds;
  if (context != nullptr) {
    const Point offset = context->getDrawOffset();
    place = Rect{place.left + offset.h, place.top + offset.v, place.right + offset.h,
                 place.bottom + offset.v};
  }
  HWND window = nullptr;
  if (parent != nullptr) {
    // The text is UTF-8: the edit field is a wide one, given and giving back UTF-16.
    wchar_t wide[kShownTextSize];
    if (!platform::utf8ToWide(text, wide, kShownTextSize)) {
      wide[0] = L'\0';
    }
    window = CreateWindowExW(0, L"EDIT", wide,
                             WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | alignmentStyle(alignment),
                             place.left, place.top, place.right - place.left + 1,
                             place.bottom - place.top + 1, parent, nullptr,
                             static_cast<HINSTANCE>(moduleHandle()), nullptr);
  }
  if (window == nullptr) {
    // A focus view without an edit field would refuse drops for nothing.
    if (ownerFrame != nullptr && ownerFrame->getFocus() == this) {
      ownerFrame->setFocus(nullptr);
    }
    return;
  }
  editWindow = EditWindow(window);

  const std::int32_t font = fontNumber >= 0 && fontNumber < kFontCount ? fontNumber : 0;
  LOGFONTA description{};
  description.lfHeight = -kFontTable[font].defaultSize;
  description.lfWeight = FW_NORMAL;
  description.lfCharSet = ANSI_CHARSET;
  description.lfOutPrecision = OUT_STRING_PRECIS;
  description.lfClipPrecision = CLIP_STROKE_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  description.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  std::strncpy(description.lfFaceName, kFontTable[font].face, LF_FACESIZE - 1);
  editFont.reset(CreateFontIndirectA(&description));
  editBackground.reset();

  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(editFont.get()), TRUE);
  SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
  SendMessageW(window, EM_LIMITTEXT, static_cast<WPARAM>(kMaxEntryText), 0);
  SendMessageW(window, EM_SETSEL, 0, -1);
  SetFocus(window);
  // Subclassed through the wide call, so the window stays a wide one.
  const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextEntry::editProcedure)));
  if (previous != nullptr && previous != &TextEntry::editProcedure) {
    previousEditProcedure = previous;
  }
}

void TextEntry::focusLost(DrawContext* context) {
  if (!editWindow) {
    return;
  }
  // Another view may already hold the frame's focus (the frame clears it before it calls
  // us); the edit ends all the same, and that view keeps its focus.
  ViewHold hold(*this);
  // Taken out first: every call that reaches us from here on finds nothing open, so the
  // commit happens once.
  EditWindow closing = std::move(editWindow);
  Frame* frame = ownerFrame;
  if (frame != nullptr && frame->getFocus() == this) {
    frame->setFocus(nullptr);
  }

  char kept[kShownTextSize];
  std::memcpy(kept, text, sizeof kept);
  wchar_t typedWide[kShownTextSize] = {};
  GetWindowTextW(closing.get(), typedWide, kShownTextSize);
  typedWide[kShownTextSize - 1] = L'\0';
  char typed[kTypedUtf8Size];
  if (!platform::wideToUtf8(typedWide, typed, sizeof typed)) {
    std::memcpy(typed, kept, sizeof kept);  // no text (a lone surrogate): the old one stays
  }
  cutToEntryLimit(typed);
  storeText(typed);

  closing.reset();
  editFont.reset();
  editBackground.reset();

  if (std::strcmp(text, kept) != 0 && listener != nullptr) {
    if (context != nullptr) {
      listener->controlChanged(context, this);
    } else {
      // A window the host has destroyed already has no device context to give.
      HWND window =
          frame != nullptr && frame->isWindowAlive() ? frame->getWindow() : nullptr;
      std::optional<WindowDc> dc;
      if (window != nullptr) {
        dc.emplace(window);
      }
      DrawContext temporary(frame, dc ? dc->get() : nullptr, window);
      if (ownerView != nullptr) {
        const Rect& owner = ownerView->getBounds();
        temporary.setDrawOffset(Point{owner.left, owner.top});
      }
      listener->controlChanged(&temporary, this);
    }
  }

  if (ownerView != nullptr) {
    ownerView->receiveMessage(this, "LooseFocus");
  } else if (frame != nullptr) {
    frame->receiveMessage(this, "LooseFocus");
  }
}

void TextEntry::setText(const char* newText) {
  if (newText == nullptr) {
    return;
  }
  char cut[kShownTextSize];
  std::snprintf(cut, sizeof cut, "%s", newText);
  if (std::strcmp(cut, text) != 0) {
    std::memcpy(text, cut, sizeof text);
    setNeedsRedraw(true);
  }
}

void TextEntry::getText(char* buffer) const {
  if (buffer != nullptr) {
    std::memcpy(buffer, text, sizeof text);
  }
}

void TextEntry::setTextFormatterWithData(TextFormatterWithData callback, void* data) {
  textFormatterWithData = callback;
  userData = data;
}

void TextEntry::setTextFormatter(TextFormatter callback) { textFormatter = callback; }

LRESULT CALLBACK TextEntry::editProcedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  try {
    auto* entry = reinterpret_cast<TextEntry*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (entry != nullptr && entry->editWindow.get() == window) {
      if (message == WM_DESTROY) {
        // Destroyed with the frame's window: the text can still be read, not destroyed again.
        entry->editWindow.markDestroying();
        entry->focusLost(nullptr);
      } else if (message == WM_KILLFOCUS || (message == WM_KEYDOWN && wParam == VK_RETURN)) {
        entry->focusLost(nullptr);
      }
    }
    // A window the commit has destroyed has nothing left to handle.
    if (!IsWindow(window)) {
      return 0;
    }
    if (previousEditProcedure == nullptr) {
      return DefWindowProcW(window, message, wParam, lParam);
    }
    return CallWindowProcW(previousEditProcedure, window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace vintrove
