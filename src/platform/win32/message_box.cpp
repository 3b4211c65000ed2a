// The warning box: no owner window, one OK button, the warning icon.
#include <windows.h>

#include "platform/native_message_box.h"

namespace vintrove::platform::detail {

void showNativeWarning(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONWARNING);
}

}  // namespace vintrove::platform::detail
