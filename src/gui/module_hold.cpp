#include "gui/module_hold.h"

#include <windows.h>

namespace vintrove {

namespace {

// Any address inside this library names it.
const int kAnchor = 0;

}  // namespace

ModuleHold::ModuleHold() {
  HMODULE self = nullptr;
  // Without the unchanged-count flag the call adds one reference.
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&kAnchor), &self)) {
    module = self;
  }
}

ModuleHold::~ModuleHold() {
  if (module != nullptr && !kept) {
    FreeLibrary(static_cast<HMODULE>(module));
  }
}

}  // namespace vintrove
