// The library's module instance handle, stored by the load notification before any other code
// of the library runs; the GUI needs it for bitmap resources and its window class.
#pragma once

namespace vintrove {

void setModuleHandle(void* handle);
void* moduleHandle();

}  // namespace vintrove
