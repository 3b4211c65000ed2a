// What the loader's decoding thread reports to whoever owns the loader (the player).
#pragma once

#include <cstdint>

namespace vintrove {

class LoaderOwner {
 public:
  virtual ~LoaderOwner() = default;
  // The estimated, later the exact, length of the file in frames.
  virtual void setLength(std::int32_t frames) = 0;
  // Progress: frames decoded so far.
  virtual void loadingTick(std::int32_t frames) = 0;
  // Memory ran out: the decode ended after frames frames, which stay playable; the last length
  // report follows.
  virtual void outOfMemory(std::int32_t /*frames*/) {}
  // A new file has opened: no sample of the previous one will be read from now on. Called by
  // start() on its own thread while no read is in progress, so that the owner can rewind before
  // the first read of the new file.
  virtual void loadBegins() {}
};

}  // namespace vintrove
