// The names of a dragged file list (CF_HDROP), read straight from its bytes: a DROPFILES
// header, then names each ending in a zero in the header's encoding (UTF-16 or the ANSI code
// page), then one more zero. The block comes from another program, so nothing outside its size
// is read: a name offset outside the block ends the list before it starts, and a name that
// reaches the block's end without its terminator is no name (it may go on beyond) and ends the
// list. The walk is one pass from the first name to the last, each name read once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vintrove {

inline constexpr std::size_t kDroppedPathCapacity = 1024;

class DroppedFileList {
 public:
  DroppedFileList(const void* block, std::size_t size);

  // The next name as UTF-8 in path; false at the end of the list. A name that does not fit
  // the capacity or cannot be converted is skipped: cut or guessed, it would name another file.
  bool next(char (&path)[kDroppedPathCapacity]);

 private:
  // The next terminated name's start and length in code units; false at the end.
  bool nextName(std::size_t& start, std::size_t& length);
  std::uint16_t unitAt(std::size_t offset) const;

  const unsigned char* bytes;
  std::size_t size;
  std::size_t unit = 1;
  std::size_t at = 0;
  bool ended = false;
};

}  // namespace vintrove
