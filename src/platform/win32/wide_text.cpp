#include "platform/wide_text.h"

#include <windows.h>

#include <climits>
#include <cwchar>

namespace vintrove::platform {

namespace {

int asInt(std::size_t capacity) { return capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity); }

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:\..." or "C:/...": a drive's absolute path.
bool isDrivePath(const wchar_t* path) {
  return ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
         isSeparator(path[2]);
}

// "\\server\share\..." but not a path that already carries a prefix ("\\?\", "\\.\").
bool isSharePath(const wchar_t* path) {
  return isSeparator(path[0]) && isSeparator(path[1]) && path[2] != L'\0' && path[2] != L'?' && path[2] != L'.';
}

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

bool utf8ToWidePath(const char* path, wchar_t* wide, std::size_t capacity) {
  if (!utf8ToWide(path, wide, capacity)) {
    return false;
  }
  const std::size_t length = std::wcslen(wide);
  const bool drive = isDrivePath(wide);
  const bool share = !drive && isSharePath(wide);
  if (length < kLongPathFrom || (!drive && !share)) {
    return true;
  }
  // A share's two leading separators become the prefix's "UNC\".
  const wchar_t* const prefix = drive ? L"\\\\?\\" : L"\\\\?\\UNC\\";
  const std::size_t dropped = drive ? 0 : 2;
  const std::size_t prefixLength = std::wcslen(prefix);
  if (length - dropped + prefixLength + 1 > capacity) {
    wide[0] = L'\0';
    return false;
  }
  std::wmemmove(wide + prefixLength, wide + dropped, length - dropped + 1);
  std::wmemcpy(wide, prefix, prefixLength);
  for (std::size_t i = prefixLength; wide[i] != L'\0'; ++i) {
    if (wide[i] == L'/') wide[i] = L'\\';
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
