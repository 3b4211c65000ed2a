#include "gui_census.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

namespace vintrove::testhost {

// GetGuiResources answers 0 under Wine, so the GDI count comes from the handle table itself.
// Wine hands out GDI handles from a table whose slot is the handle's low 16 bits: freed slots are
// reused first (last freed, first reused), then fresh slots above every slot ever used, in order.
// Allocating probe brushes until they come from a run of consecutive fresh slots tells the first
// fresh slot F and how many free slots were reused on the way, R; the live objects are F - R plus
// a constant, which cancels in every before/after comparison.
std::int32_t wineGdiCensus() {
  constexpr std::size_t kFreshRun = 64;
  std::vector<HBRUSH> probes;
  probes.reserve(4096);
  std::uint32_t highest = 0;
  std::uint32_t previous = 0;
  std::uint32_t runStart = 0;
  std::size_t runLength = 0;
  std::size_t reusedBeforeRun = 0;
  for (;;) {
    HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    if (probe == nullptr) break;
    probes.push_back(probe);
    const auto slot = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(probe) & 0xFFFF);
    if (runLength > 0 && slot == previous + 1) {
      ++runLength;
    } else {
      runLength = 1;
      runStart = slot;
      reusedBeforeRun = probes.size() - 1;
    }
    previous = slot;
    highest = slot > highest ? slot : highest;
    if (runLength >= kFreshRun && runStart + kFreshRun - 1 == highest) break;
  }
  // The probes live only inside this function; each is deleted before it returns.
  for (HBRUSH probe : probes) DeleteObject(probe);
  return static_cast<std::int32_t>(runStart) - static_cast<std::int32_t>(reusedBeforeRun);
}

std::int32_t liveGdiObjects() {
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  return reported != 0 ? static_cast<std::int32_t>(reported) : wineGdiCensus();
}

namespace {

BOOL CALLBACK countChild(HWND, LPARAM counter) {
  ++*reinterpret_cast<std::int32_t*>(counter);
  return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM counter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<std::int32_t*>(counter);
  // EnumChildWindows walks all descendants, not only the direct children.
  EnumChildWindows(window, countChild, counter);
  return TRUE;
}

}  // namespace

std::int32_t processWindowCount() {
  std::int32_t count = 0;
  EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&count));
  // Message-only windows (hidden helpers such as OLE's) are not top-level; they leak as well.
  for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
       window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
    countTopLevel(window, reinterpret_cast<LPARAM>(&count));
  }
  return count;
}

namespace {

using QuerySystem = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryObject = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <typename Function>
Function ntdllEntry(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// Registry keys are left out: Wine's file dialog keeps one key open per dialog (its list of
// recent folders), and the plug-in opens none.
bool isRegistryKey(QueryObject queryObject, HANDLE handle) {
  constexpr ULONG kObjectTypeInformation = 2;
  alignas(8) unsigned char info[512] = {};
  ULONG length = 0;
  if (queryObject == nullptr || queryObject(handle, kObjectTypeInformation, info, sizeof info, &length) != 0) {
    return false;
  }
  struct CountedText {
    USHORT length;
    USHORT capacity;
    const wchar_t* text;
  };
  const auto* name = reinterpret_cast<const CountedText*>(info);
  return name->text != nullptr && name->length == 6 && std::wmemcmp(name->text, L"Key", 3) == 0;
}

}  // namespace

std::int32_t kernelHandleCount() {
  struct HandleEntry {
    ULONG process;
    UCHAR type;
    UCHAR flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
  };
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  const auto querySystem = ntdllEntry<QuerySystem>("NtQuerySystemInformation");
  const auto queryObject = ntdllEntry<QueryObject>("NtQueryObject");
  if (querySystem == nullptr) return -1;
  std::vector<unsigned char> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const LONG status =
        querySystem(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch && buffer.size() < (1u << 28)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return -1;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const std::size_t room = (buffer.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
    const std::size_t count = table->count < room ? table->count : room;
    const DWORD self = GetCurrentProcessId();
    // The type number of a registry key, learned from the first one met.
    int keyType = -1;
    std::int32_t mine = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const HandleEntry& entry = table->entries[i];
      if (entry.process != self || entry.type == keyType) continue;
      if (keyType < 0 && isRegistryKey(queryObject, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(entry.handle)))) {
        keyType = entry.type;
        continue;
      }
      ++mine;
    }
    return mine;
  }
}

GuiCounts countGui() {
  GuiCounts counts;
  counts.gdiObjects = liveGdiObjects();
  counts.userObjects = static_cast<std::int32_t>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  counts.windows = processWindowCount();
  counts.kernelHandles = kernelHandleCount();
  return counts;
}

}  // namespace vintrove::testhost
