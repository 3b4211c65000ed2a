// The library's load hook: keeps the module instance handle for the GUI.
#include <windows.h>

#include "host/module_handle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
  // Every notification carries the same handle; storing it each time costs nothing and means it
  // is there before any other code of the library runs.
  vintrove::setModuleHandle(instance);
  return TRUE;
}
