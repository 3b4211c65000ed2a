#include "editor/display_texts.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vintrove {

namespace {

// Whole seconds from a reported float; out-of-range values show as 0 rather than overflow.
std::int32_t wholeSeconds(float seconds) {
  if (!(seconds >= 0.0f) || seconds >= 2147483520.0f) {
    return 0;
  }
  return static_cast<std::int32_t>(seconds);
}

}  // namespace

void formatMinutesSeconds(char (&text)[kDisplayTextCapacity], std::int32_t minutes,
                          std::int32_t seconds) {
  std::snprintf(text, sizeof text, "%2d:%02d", static_cast<int>(minutes),
                static_cast<int>(seconds));
}

void formatTotalTime(char (&text)[kDisplayTextCapacity], float totalSeconds) {
  const float minutes = totalSeconds * 0.016666668f;
  formatMinutesSeconds(text, wholeSeconds(minutes), wholeSeconds(totalSeconds) % 60);
}

void formatElapsedTime(char (&text)[kDisplayTextCapacity], std::int32_t seconds) {
  if (seconds < 0) {
    seconds = 0;
  }
  formatMinutesSeconds(text, seconds / 60, seconds % 60);
}

void formatBitRate(char (&text)[kDisplayTextCapacity], std::int32_t bitsPerSecond) {
  std::snprintf(text, sizeof text, "%d", static_cast<int>(bitsPerSecond / 1000));
}

void formatFileName(char (&text)[kDisplayTextCapacity], const char* path) {
  text[0] = '\0';
  if (path == nullptr) {
    return;
  }
  // Windows takes either separator.
  const char* name = path;
  for (const char* at = path; *at != '\0'; ++at) {
    if (*at == '\\' || *at == '/') {
      name = at + 1;
    }
  }
  std::snprintf(text, sizeof text, "%s", name);
  if (char* dot = std::strrchr(text, '.')) {
    *dot = '\0';
  }
}

}  // namespace vintrove
