// The open-file dialog behind the editor's open button.
#pragma once

#include <cstdint>

namespace vintrove {

inline constexpr std::int32_t kChosenPathCapacity = 1024;

// Runs the modal dialog in the process's current folder, showing MPEG audio files only. True
// when the user confirmed a file: path then holds it. Of several selected files the first is
// given, its folder and name joined.
bool chooseFile(char (&path)[kChosenPathCapacity]);

// Turns the dialog's multiple-selection buffer (folder, NUL, names each NUL-terminated, an
// extra NUL) into the path of the first file, in place; a single path is left as it is.
// nameOffset is where the dialog says the first name starts.
void keepFirstSelectedFile(char (&path)[kChosenPathCapacity], std::uint16_t nameOffset);

}  // namespace vintrove
