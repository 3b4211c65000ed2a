// Sizes of the clustered sample store, shared by the store, the loader and the tests.
#pragma once

#include <cstdint>

namespace vintrove {

inline constexpr std::int32_t kClusterSize = 100000;  // samples per cluster (400000 bytes)
inline constexpr std::int32_t kMaxClusters = 1000;    // per channel: at most 100,000,000 frames
inline constexpr int kMaxChannels = 2;

// Clusters that a capacity of n frames needs; even 0 frames get one, and a negative capacity
// counts as 0 rather than underflowing.
constexpr std::int32_t clustersNeeded(std::int32_t capacity) {
  if (capacity <= 0) {
    return 1;
  }
  return (capacity - 1) / kClusterSize + 1;
}

}  // namespace vintrove
