#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <new>
#include <vector>

#include "gui/com_ptr.h"
#include "gui/drop_target.h"

namespace vintrove {

namespace {

constexpr int kWidePathCapacity = 2048;
// No user interface, any match, give up the search after 500 ms (the high word).
constexpr DWORD kResolveFlags = 0x01F40003;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the text from the last '.' on is ".lnk" in any case.
bool endsInShortcutExtension(const char* path) {
  const char* dot = std::strrchr(path, '.');
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

// The target's path, into a buffer one byte longer than the caller's: a target that fills it
// did not fit the caller's buffer (GetPath cuts silently) and must not replace the path.
bool targetPath(IShellLinkA& link, std::vector<char>& target, std::int32_t capacity) {
  target.assign(static_cast<std::size_t>(capacity) + 1, '\0');
  WIN32_FIND_DATAA findData{};
  // S_FALSE means the link has no path at all.
  if (link.GetPath(target.data(), capacity + 1, &findData, SLGP_SHORTPATH) != S_OK) {
    return false;
  }
  const std::size_t length = strnlen(target.data(), target.size());
  return length > 0 && length < static_cast<std::size_t>(capacity);
}

}  // namespace

bool resolveShortcut(char* path, std::int32_t capacity) {
  if (path == nullptr || capacity <= 0 || !endsInShortcutExtension(path)) {
    return false;
  }
  try {
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.receive()))) {
      return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive()))) {
      return false;
    }
    WCHAR widePath[kWidePathCapacity];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, kWidePathCapacity) == 0) {
      return false;
    }
    if (FAILED(file->Load(widePath, STGM_READ)) || FAILED(link->Resolve(nullptr, kResolveFlags))) {
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
