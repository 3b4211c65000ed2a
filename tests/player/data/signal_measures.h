// Simple measures of decoded audio for the data tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace vintrove::test {

inline double rms(const std::vector<float>& x, std::size_t begin = 0) {
  double sum = 0.0;
  for (std::size_t i = begin; i < x.size(); ++i) sum += static_cast<double>(x[i]) * x[i];
  return x.size() > begin ? std::sqrt(sum / static_cast<double>(x.size() - begin)) : 0.0;
}

inline double peak(const std::vector<float>& x) {
  double p = 0.0;
  for (float v : x) p = std::fmax(p, std::fabs(static_cast<double>(v)));
  return p;
}

// Sign changes in [begin, end) counted only once the signal leaves the band +-threshold, so
// that coding noise around a crossing does not count twice.
inline long zeroCrossings(const std::vector<float>& x, std::size_t begin, std::size_t end,
                          float threshold = 0.02f) {
  long count = 0;
  int sign = 0;
  for (std::size_t i = begin; i < end && i < x.size(); ++i) {
    const int now = x[i] > threshold ? 1 : (x[i] < -threshold ? -1 : 0);
    if (now != 0 && sign != 0 && now != sign) ++count;
    if (now != 0) sign = now;
  }
  return count;
}

}  // namespace vintrove::test
