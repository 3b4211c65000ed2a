#include "host/module_handle.h"

#include <atomic>

namespace vintrove {

namespace {
// Written again at every thread notification, possibly while another thread reads it.
std::atomic<void*> storedHandle{nullptr};
}  // namespace

void setModuleHandle(void* handle) { storedHandle.store(handle, std::memory_order_relaxed); }

void* moduleHandle() { return storedHandle.load(std::memory_order_relaxed); }

}  // namespace vintrove
