// Sizes of the clustered sample store, shared by the store, the loader and the tests.
//
// A 64-bit process stores as many frames as a position can name (2^31 - 1 per channel, 13.5 h at
// 44.1 kHz); a 32-bit one stops at 100,000,000 (37 min 48 s at 44.1 kHz), all its address space
// could hold beside a host. The cluster table has a slot for every cluster of that limit from
// the start, so it never moves while the audio thread reads it.
#pragma once

#include <cstdint>
#include <limits>

namespace vintrove {

inline constexpr std::int32_t kClusterSize = 100000;  // samples per cluster (400000 bytes)
inline constexpr int kMaxChannels = 2;

inline constexpr bool kWideAddressSpace = sizeof(void*) >= 8;
inline constexpr std::int32_t kNarrowMaxFrames = 100000000;  // 1000 clusters
// The most frames per channel a store holds.
inline constexpr std::int32_t kMaxFrames =
    kWideAddressSpace ? std::numeric_limits<std::int32_t>::max() : kNarrowMaxFrames;

// Clusters that a capacity of n frames needs; even 0 frames get one, and a negative capacity
// counts as 0 rather than underflowing.
constexpr std::int32_t clustersNeeded(std::int32_t capacity) {
  if (capacity <= 0) {
    return 1;
  }
  return (capacity - 1) / kClusterSize + 1;
}

// Slots of the cluster table per channel: 21,475 on 64 bits (the last one partly used), 1000
// on 32 bits.
inline constexpr std::int32_t kMaxClusters = clustersNeeded(kMaxFrames);

}  // namespace vintrove
