// One reference of this library, taken while a loop of ours lets the host run (the open-file
// dialog, a control tracking the mouse): the host may close the effect and unload the library
// from inside that loop, and the loop's return path is still code of this library.
#pragma once

namespace vintrove {

class ModuleHold {
 public:
  ModuleHold();
  ModuleHold(const ModuleHold&) = delete;
  ModuleHold& operator=(const ModuleHold&) = delete;
  // Gives the reference back, unless keepLoaded() was called.
  ~ModuleHold();

  // The effect went while the loop ran: the code that returns from here on runs after
  // the host let go of the library, and nothing of ours runs after that return to give the
  // reference back, so the library stays loaded for the rest of the process.
  void keepLoaded() { kept = true; }

 private:
  void* module = nullptr;
  bool kept = false;
};

}  // namespace vintrove
