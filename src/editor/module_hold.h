// One reference of this library, taken while the open-file dialog is up: the host may close
// the effect and unload the library from inside the dialog's message loop, and the dialog's
// return path is still code of this library.
#pragma once

namespace vintrove {

class ModuleHold {
 public:
  ModuleHold();
  ModuleHold(const ModuleHold&) = delete;
  ModuleHold& operator=(const ModuleHold&) = delete;
  // Gives the reference back, unless keepLoaded() was called.
  ~ModuleHold();

  // The effect went while the dialog was up: the code that returns from here on runs after
  // the host let go of the library, and nothing of ours runs after that return to give the
  // reference back, so the library stays loaded for the rest of the process.
  void keepLoaded() { kept = true; }

 private:
  void* module = nullptr;
  bool kept = false;
};

}  // namespace vintrove
