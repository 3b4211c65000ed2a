// What both loader fuzz targets check of a finished load: a broken promise aborts, so that
// libFuzzer keeps the input.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "player/cluster_sample_loader.h"

namespace vintrove::fuzz {

// Set when the loader warned that the store could not be had (reads then refuse); the note
// replaces the box, so that nothing waits for a click.
inline std::atomic<bool> warned{false};
inline void noteWarning(const char*, const char*) { warned.store(true); }

inline void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz target: invariant broken: %s\n", what);
    std::abort();
  }
}

// Reads frames output samples in both modes; exact-size buffers let ASan see any overrun.
inline void readBack(ClusterSampleLoader& loader, std::int32_t frames, std::int32_t position, float ratio,
                     bool expectReady) {
  for (const bool replace : {true, false}) {
    std::vector<float> left(static_cast<std::size_t>(frames), 0.25f);
    std::vector<float> right(static_cast<std::size_t>(frames), 0.25f);
    float* outputs[2] = {left.data(), right.data()};
    const bool ready = loader.read(outputs, frames, position, ratio, replace);
    check(ready == expectReady, "read is ready exactly when frames were decoded");
    for (std::size_t i = 0; i < left.size(); ++i) {
      // Stored samples are libmad's 28-bit fractions of full scale: inside -8 .. 8.
      const float bound = replace ? 8.0f : 8.25f;
      check(std::isfinite(left[i]) && std::isfinite(right[i]) && std::fabs(left[i]) <= bound &&
                std::fabs(right[i]) <= bound,
            "read yields finite samples within libmad's range");
      if (!ready && !replace) check(left[i] == 0.25f && right[i] == 0.25f, "a refused add leaves the output");
    }
  }
}

// Reads at ratios 1, 1.12 and 0.5 from the start, the middle and beyond the end.
inline void readBackEverywhere(ClusterSampleLoader& loader, bool expectReady) {
  const std::int32_t decoded = loader.getDecodedFrames();
  for (const float ratio : {1.0f, 1.12f, 0.5f}) {
    for (const std::int32_t position : {0, decoded / 2, decoded + 100}) {
      readBack(loader, 512, position, ratio, expectReady);
    }
  }
}

}  // namespace vintrove::fuzz
