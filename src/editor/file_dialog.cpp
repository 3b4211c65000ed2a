#include "editor/file_dialog.h"

#include <windows.h>
#include <commdlg.h>

#include "platform/wide_text.h"

namespace vintrove {

namespace {

// The record's size without the fields later Windows versions added: 76 bytes for 32-bit
// code, 136 for 64-bit (pointer-sized fields).
constexpr DWORD kClassicRecordSize =
    static_cast<DWORD>(offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR));
static_assert(sizeof(void*) != 4 || kClassicRecordSize == 76);
constexpr DWORD kDialogFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST |
                               OFN_EXPLORER;  // 0x81204
const wchar_t kFilter[] = L"MPEG Audio Files (.mp1;.mp2;.mp3)\0*.mp1;*.mp2;*.mp3\0";

}  // namespace

bool chooseFile(char (&path)[kChosenPathCapacity], void* ownerWindow) {
  path[0] = '\0';
  wchar_t folder[kChosenPathCapacity] = L"";
  const DWORD folderLength = GetCurrentDirectoryW(kChosenPathCapacity, folder);
  if (folderLength == 0 || folderLength >= kChosenPathCapacity) {
    folder[0] = L'\0';
  }

  wchar_t chosen[kChosenPathCapacity] = L"";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = kClassicRecordSize;
  dialog.hwndOwner = static_cast<HWND>(ownerWindow);
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen;
  dialog.nMaxFile = kChosenPathCapacity;
  dialog.lpstrInitialDir = folder[0] != L'\0' ? folder : nullptr;
  dialog.lpstrTitle = L"Choose an MPEG audio file";
  dialog.Flags = kDialogFlags;
  // A name typed without extension is looked for as .mp3.
  dialog.lpstrDefExt = L"mp3";
  if (GetOpenFileNameW(&dialog) != TRUE) {
    return false;
  }
  keepFirstSelectedFile(chosen, dialog.nFileOffset);
  // A name whose UTF-8 form does not fit the player's buffer is refused, not cut.
  return chosen[0] != L'\0' && platform::wideToUtf8(chosen, path, kChosenPathCapacity);
}

}  // namespace vintrove
