// Real shortcut files for the drop tests, written by the shell link object as the Explorer
// does, and a check that two paths name the same file (the shell answers short paths).
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "../platform/temp_folder.h"
#include "gui/com_ptr.h"

namespace vintrove::test {

// Writes a shortcut to target at linkPath; linkPath may have any name, extension or none.
inline bool makeShortcut(const std::string& linkPath, const std::string& target) {
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.receive())) ||
      FAILED(link->SetPath(target.c_str()))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive()))) {
    return false;
  }
  WCHAR widePath[MAX_PATH * 2];
  return MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH * 2) != 0 &&
         SUCCEEDED(file->Save(widePath, TRUE));
}

// Same volume and file index: true for a short and a long path of one file, false for a
// missing file.
inline bool sameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::string* paths[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    HANDLE file = CreateFileA(paths[i]->c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      return false;
    }
    const BOOL read = GetFileInformationByHandle(file, &info[i]);
    CloseHandle(file);
    if (!read) {
      return false;
    }
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// The shortest spelling of an existing path, or the path itself.
inline std::string shortPath(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

}  // namespace vintrove::test
