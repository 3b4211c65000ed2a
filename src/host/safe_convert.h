// Conversions of host-supplied numbers that stay defined for any input.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "host/effect_record.h"

namespace vintrove {

// Truncates toward zero, saturating at the int32 range; NaN gives 0. A plain cast would be
// undefined for the NaN or huge floats a host may send.
inline std::int32_t truncateToInt32(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= 2147483647.0) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= -2147483648.0) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

// Integer arguments are 32-bit in the protocol; a 64-bit host's wider value keeps its low half.
constexpr std::int32_t toInt32(HostInt value) { return static_cast<std::int32_t>(value); }

}  // namespace vintrove
