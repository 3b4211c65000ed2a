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
};

}  // namespace vintrove
