// Inside the platform library only: the operating system's own warning box, which showWarning
// falls back to when no handler is installed (one definition per platform), and a look at the
// installed handler for the tests.
#pragma once

#include "platform/message_box.h"

namespace vintrove::platform::detail {

// Shows the box and returns when the user has dismissed it. Never given a null pointer.
void showNativeWarning(const char* text, const char* caption);

// The handler setWarningHandler installed last; null while the native box is in use.
WarningHandler installedWarningHandler();

}  // namespace vintrove::platform::detail
