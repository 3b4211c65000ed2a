#include "platform/wide_text.h"

#include <windows.h>

#include <climits>

namespace vintrove::platform {

namespace {

int asInt(std::size_t capacity) { return capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity); }

}  // namespace

bool utf8ToWide(const char* text, wchar_t* wide, std::size_t capacity) {
  if (wide == nullptr || capacity == 0) {
    return false;
  }
  wide[0] = L'\0';
  if (text == nullptr) {
    return false;
  }
  // Counted with the terminator; 0 means invalid UTF-8 or a buffer too small.
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, asInt(capacity)) == 0) {
    wide[0] = L'\0';
    return false;
  }
  return true;
}

bool wideToUtf8(const wchar_t* wide, char* text, std::size_t capacity) {
  if (text == nullptr || capacity == 0) {
    return false;
  }
  text[0] = '\0';
  if (wide == nullptr) {
    return false;
  }
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, text, asInt(capacity), nullptr,
                          nullptr) == 0) {
    text[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace vintrove::platform
