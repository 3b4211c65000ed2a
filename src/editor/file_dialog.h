// The open-file dialog behind the editor's open button.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vintrove {

inline constexpr std::int32_t kChosenPathCapacity = 1024;

// Runs the modal dialog, owned by the given top-level window (null: none), in the process's
// current folder, showing MPEG audio files only. True when the user confirmed a file: path then
// holds it in UTF-8. Of several selected files the first is given, its folder and name joined.
bool chooseFile(char (&path)[kChosenPathCapacity], void* ownerWindow);

// Turns the dialog's multiple-selection buffer (folder, NUL, names each NUL-terminated, an
// extra NUL) into the path of the first file, in place; a single path is left as it is.
// nameOffset is where the dialog says the first name starts (in characters).
template <class Character>
void keepFirstSelectedFile(Character (&path)[kChosenPathCapacity], std::uint16_t nameOffset) {
  auto boundedLength = [](const Character* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length] != Character{}) {
      ++length;
    }
    return length;
  };
  const std::size_t folderLength = boundedLength(path, kChosenPathCapacity);
  // A single selection: the name starts inside the one full path.
  if (nameOffset <= folderLength || nameOffset >= kChosenPathCapacity) {
    return;
  }
  const Character* firstName = path + nameOffset;
  const std::size_t nameLength = boundedLength(firstName, kChosenPathCapacity - nameOffset);
  const bool needsSeparator = folderLength > 0 && path[folderLength - 1] != Character('\\');
  const std::size_t joined = folderLength + (needsSeparator ? 1 : 0) + nameLength;
  if (nameLength == 0 || joined >= kChosenPathCapacity) {
    path[0] = Character{};
    return;
  }
  // The name lies behind the folder, so moving it first (memmove) never overwrites it unread.
  std::memmove(path + folderLength + (needsSeparator ? 1 : 0), firstName,
               nameLength * sizeof(Character));
  if (needsSeparator) {
    path[folderLength] = Character('\\');
  }
  path[joined] = Character{};
}

}  // namespace vintrove
