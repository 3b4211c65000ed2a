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

// A UTF-8 name cut to the display's capacity may end inside a character: that part goes.
void dropCutCharacter(char (&text)[kDisplayTextCapacity]) {
  std::size_t length = std::strlen(text);
  std::size_t start = length;
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
    --start;
  }
  if (start == 0) {
    return;
  }
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length - (start - 1) < needed) {
    text[start - 1] = '\0';
  }
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

void formatOutOfMemory(char (&text)[kDisplayTextCapacity], std::int32_t seconds) {
  if (seconds < 0) {
    seconds = 0;
  }
  std::snprintf(text, sizeof text, "Out of memory at %d:%02d", static_cast<int>(seconds / 60),
                static_cast<int>(seconds % 60));
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
  dropCutCharacter(text);
  if (char* dot = std::strrchr(text, '.')) {
    *dot = '\0';
  }
}

}  // namespace vintrove
