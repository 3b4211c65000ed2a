#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <new>
#include <vector>

#include "gui/com_ptr.h"
#include "gui/drop_target.h"
#include "platform/wide_text.h"

namespace vintrove {

namespace {

constexpr int kWidePathCapacity = 2048;
// No user interface, any match; the high word is the search's time limit in milliseconds.
constexpr DWORD kResolveFlags = 0x0003;
constexpr std::uint32_t kLongestSearchMs = 0xFFFF;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The target's long path (no 8.3 short names) as UTF-8; false when there is none or it does not
// fit the caller's buffer (GetPath cuts silently, so a target that fills the wide buffer counts
// as too long).
bool targetPath(IShellLinkW& link, std::vector<char>& target, std::int32_t capacity) {
  std::vector<wchar_t> wide(static_cast<std::size_t>(kWidePathCapacity) + 1, L'\0');
  WIN32_FIND_DATAW findData{};
  // S_FALSE means the link has no path at all.
  if (link.GetPath(wide.data(), kWidePathCapacity + 1, &findData, 0) != S_OK) {
    return false;
  }
  if (wcsnlen(wide.data(), wide.size()) >= static_cast<std::size_t>(kWidePathCapacity)) {
    return false;
  }
  target.assign(static_cast<std::size_t>(capacity), '\0');
  return platform::wideToUtf8(wide.data(), target.data(), target.size()) && target[0] != '\0';
}

}  // namespace

bool isShortcutName(const char* path) {
  const char* dot = path != nullptr ? std::strrchr(path, '.') : nullptr;
  if (dot == nullptr) {
    return false;
  }
  const char extension[] = ".lnk";
  for (std::size_t i = 0; i < sizeof extension; ++i) {
    if (lowerAscii(dot[i]) != extension[i]) {
      return false;
    }
  }
  return true;
}

bool resolveShortcut(char* path, std::int32_t capacity, std::uint32_t timeoutMs) {
  if (path == nullptr || capacity <= 0 || timeoutMs == 0 || !isShortcutName(path)) {
    return false;
  }
  try {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.receive()))) {
      return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive()))) {
      return false;
    }
    WCHAR widePath[kWidePathCapacity];
    if (!platform::utf8ToWide(path, widePath, kWidePathCapacity)) {
      return false;
    }
    const DWORD searchMs = timeoutMs < kLongestSearchMs ? timeoutMs : kLongestSearchMs;
    if (FAILED(file->Load(widePath, STGM_READ)) ||
        FAILED(link->Resolve(nullptr, kResolveFlags | (searchMs << 16)))) {
      return false;
    }
    // The dropped path stays whole until a complete target is in hand.
    std::vector<char> target;
    if (!targetPath(*link.get(), target, capacity)) {
      return false;
    }
    std::memcpy(path, target.data(), static_cast<std::size_t>(capacity));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace vintrove
