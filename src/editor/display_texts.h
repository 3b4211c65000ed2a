// The texts the editor's displays show, made from what the player reports.
#pragma once

#include <cstdint>

namespace vintrove {

inline constexpr std::int32_t kDisplayTextCapacity = 256;

// "%2d:%02d": minutes padded with a space, seconds with a zero.
void formatMinutesSeconds(char (&text)[kDisplayTextCapacity], std::int32_t minutes,
                          std::int32_t seconds);
// The total time of a file of this many seconds (fractions dropped).
void formatTotalTime(char (&text)[kDisplayTextCapacity], float totalSeconds);
// The elapsed time at whole seconds.
void formatElapsedTime(char (&text)[kDisplayTextCapacity], std::int32_t seconds);
// Kilobits per second, truncated.
void formatBitRate(char (&text)[kDisplayTextCapacity], std::int32_t bitsPerSecond);
// Why the decode ended early: "Out of memory at 41:07", at the decoded length.
void formatOutOfMemory(char (&text)[kDisplayTextCapacity], std::int32_t seconds);
// The file's name without folder and without its last extension.
void formatFileName(char (&text)[kDisplayTextCapacity], const char* path);

}  // namespace vintrove
