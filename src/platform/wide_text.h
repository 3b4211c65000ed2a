// File names and texts are UTF-8 inside the plug-in and UTF-16 at the Win32 boundary.
// Both conversions refuse (false, empty output) rather than cut or guess: a path cut short or
// with a character replaced would name another file.
#pragma once

#include <cstddef>

namespace vintrove::platform {

// UTF-8 text (zero-terminated) into a wide buffer of capacity characters, terminator included.
bool utf8ToWide(const char* text, wchar_t* wide, std::size_t capacity);
// A UTF-8 path as the wide path to hand the system's file calls. An absolute path (a drive's or
// a share's) of kLongPathFrom characters or more gets the long-path prefix (\\?\ or
// \\?\UNC\), with its forward slashes turned into backslashes, which the system no longer does
// behind that prefix; shorter and relative paths stay as they are. Fails as utf8ToWide does.
inline constexpr std::size_t kLongPathFrom = 260;
inline constexpr std::size_t kLongPathPrefixLength = 8;  // \\?\UNC\, the longer of the two
bool utf8ToWidePath(const char* path, wchar_t* wide, std::size_t capacity);
// Wide text (zero-terminated) into a UTF-8 buffer of capacity bytes, terminator included.
bool wideToUtf8(const wchar_t* wide, char* text, std::size_t capacity);

}  // namespace vintrove::platform
