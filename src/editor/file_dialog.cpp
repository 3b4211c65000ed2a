#include "editor/file_dialog.h"

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <cstring>

namespace vintrove {

namespace {

// The record's size without the fields later Windows versions added: 76 bytes for 32-bit
// code, 136 for 64-bit (pointer-sized fields).
constexpr DWORD kClassicRecordSize =
    static_cast<DWORD>(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
static_assert(sizeof(void*) != 4 || kClassicRecordSize == 76);
constexpr DWORD kDialogFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST |
                               OFN_EXPLORER;  // 0x81204
const char kFilter[] = "MPEG Audio Files (.mp1;.mp2;.mp3)\0*.mp1;*.mp2;*.mp3\0";

}  // namespace

void keepFirstSelectedFile(char (&path)[kChosenPathCapacity], std::uint16_t nameOffset) {
  const std::size_t folderLength = strnlen(path, kChosenPathCapacity);
  // A single selection: the name starts inside the one full path.
  if (nameOffset <= folderLength || nameOffset >= kChosenPathCapacity) {
    return;
  }
  const char* firstName = path + nameOffset;
  const std::size_t nameLength = strnlen(firstName, kChosenPathCapacity - nameOffset);
  const bool needsSeparator = folderLength > 0 && path[folderLength - 1] != '\\';
  const std::size_t joined = folderLength + (needsSeparator ? 1 : 0) + nameLength;
  if (nameLength == 0 || joined >= kChosenPathCapacity) {
    path[0] = '\0';
    return;
  }
  // The name lies behind the folder, so moving it first (memmove) never overwrites it unread.
  std::memmove(path + folderLength + (needsSeparator ? 1 : 0), firstName, nameLength);
  if (needsSeparator) {
    path[folderLength] = '\\';
  }
  path[joined] = '\0';
}

bool chooseFile(char (&path)[kChosenPathCapacity]) {
  path[0] = '\0';
  char folder[kChosenPathCapacity] = "";
  const DWORD folderLength = GetCurrentDirectoryA(sizeof folder, folder);
  if (folderLength == 0 || folderLength >= sizeof folder) {
    folder[0] = '\0';
  }

  OPENFILENAMEA dialog{};
  dialog.lStructSize = kClassicRecordSize;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kChosenPathCapacity;
  dialog.lpstrInitialDir = folder[0] != '\0' ? folder : nullptr;
  dialog.lpstrTitle = "Choose a Wav file";
  dialog.Flags = kDialogFlags;
  dialog.lpstrDefExt = "wav";
  if (GetOpenFileNameA(&dialog) != TRUE) {
    path[0] = '\0';
    return false;
  }
  keepFirstSelectedFile(path, dialog.nFileOffset);
  return path[0] != '\0';
}

}  // namespace vintrove
