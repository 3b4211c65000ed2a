// The process-wide warning handler, shared by both platforms; the box itself is native.
#include <atomic>

#include "platform/message_box.h"
#include "platform/native_message_box.h"

namespace vintrove::platform {

namespace {
// Set by tests from one thread while a loader thread may be about to warn.
std::atomic<WarningHandler> warningHandler{nullptr};
}  // namespace

void showWarning(const char* text, const char* caption) {
  const char* const safeText = text != nullptr ? text : "";
  const char* const safeCaption = caption != nullptr ? caption : "";
  const WarningHandler handler = warningHandler.load(std::memory_order_acquire);
  if (handler != nullptr) {
    handler(safeText, safeCaption);
    return;
  }
  detail::showNativeWarning(safeText, safeCaption);
}

void setWarningHandler(WarningHandler handler) {
  warningHandler.store(handler, std::memory_order_release);
}

namespace detail {
WarningHandler installedWarningHandler() {
  return warningHandler.load(std::memory_order_acquire);
}
}  // namespace detail

}  // namespace vintrove::platform
