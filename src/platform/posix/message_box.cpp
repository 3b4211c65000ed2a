// The native build has no window system to speak of: the warning goes to stderr.
#include <cstdio>

#include "platform/native_message_box.h"

namespace vintrove::platform::detail {

void showNativeWarning(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

}  // namespace vintrove::platform::detail
