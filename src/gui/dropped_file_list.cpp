#include "gui/dropped_file_list.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "platform/wide_text.h"

namespace vintrove {

DroppedFileList::DroppedFileList(const void* block, std::size_t blockSize)
    : bytes(static_cast<const unsigned char*>(block)), size(blockSize) {
  DROPFILES header{};
  if (bytes == nullptr || size < sizeof header) {
    ended = true;
    return;
  }
  std::memcpy(&header, bytes, sizeof header);
  // Names inside the header would be the header's own bytes read as text.
  if (header.pFiles < sizeof header || header.pFiles >= size) {
    ended = true;
    return;
  }
  unit = header.fWide ? sizeof(wchar_t) : 1;
  at = header.pFiles;
}

std::uint16_t DroppedFileList::unitAt(std::size_t offset) const {
  if (unit == 1) {
    return bytes[offset];
  }
  std::uint16_t value = 0;
  std::memcpy(&value, bytes + offset, sizeof value);  // the offset need not be aligned
  return value;
}

bool DroppedFileList::nextName(std::size_t& start, std::size_t& length) {
  if (ended) {
    return false;
  }
  std::size_t end = at;
  while (end <= size - unit && unitAt(end) != 0) {
    end += unit;
  }
  // Run out of block before a terminator, or the empty name that closes the list.
  if (end > size - unit || end == at) {
    ended = true;
    return false;
  }
  start = at;
  length = (end - at) / unit;
  at = end + unit;
  return true;
}

bool DroppedFileList::next(char (&path)[kDroppedPathCapacity]) {
  std::size_t start = 0;
  std::size_t length = 0;
  while (nextName(start, length)) {
    if (length >= kDroppedPathCapacity) {
      continue;
    }
    wchar_t wide[kDroppedPathCapacity];
    if (unit == 1) {
      const int converted = MultiByteToWideChar(
          CP_ACP, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes + start),
          static_cast<int>(length), wide, static_cast<int>(kDroppedPathCapacity - 1));
      if (converted <= 0) {
        continue;
      }
      wide[converted] = L'\0';
    } else {
      std::memcpy(wide, bytes + start, length * sizeof(wchar_t));
      wide[length] = L'\0';
    }
    if (platform::wideToUtf8(wide, path, kDroppedPathCapacity)) {
      return true;
    }
  }
  path[0] = '\0';
  return false;
}

}  // namespace vintrove
