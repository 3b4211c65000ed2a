#include "player/sinc_kernel.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vintrove {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Points per sample of the finely sampled kernel that stretched tables are built from; linear
// interpolation between them is good to about -120 dB.
constexpr int kFinePoints = 1024;
constexpr double kStretchGrid = 64.0;

int roundUpToEight(int n) { return (n + 7) / 8 * 8; }

double besselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  for (int k = 1; k < 200; ++k) {
    const double half = x / (2.0 * k);
    term *= half * half;
    sum += term;
    if (term < 1e-17 * sum) break;
  }
  return sum;
}

// The table layout of one kernel: per phase, taps coefficients then taps differences to the
// next phase's. Each row is evaluated once; the row after the last phase (a whole sample on) is
// the first row moved by one tap, since the kernel is 0 beyond lead + 1.
template <typename Kernel>
void fillRows(float* rows, int taps, int lead, Kernel&& kernel) {
  const auto width = static_cast<std::size_t>(taps);
  for (int p = 0; p < SincKernel::kPhases; ++p) {
    float* row = rows + static_cast<std::size_t>(p) * 2 * width;
    const double fraction = static_cast<double>(p) / SincKernel::kPhases;
    for (int k = 0; k < taps; ++k) row[k] = static_cast<float>(kernel(k - lead - fraction));
  }
  for (int p = 0; p < SincKernel::kPhases; ++p) {
    float* row = rows + static_cast<std::size_t>(p) * 2 * width;
    const float* next = p + 1 < SincKernel::kPhases ? row + 2 * width : nullptr;
    for (int k = 0; k < taps; ++k) {
      const float after = next != nullptr ? next[k] : (k > 0 ? rows[k - 1] : 0.0f);
      row[taps + k] = after - row[k];
    }
  }
}

struct SharedTables {
  int unitTaps = roundUpToEight(2 * SincKernel::kHalfWidth);
  std::vector<float> unit;
  std::vector<float> fine;  // the kernel at t = i / kFinePoints, i = 0 .. kHalfWidth x kFinePoints

  SharedTables() {
    unit.resize(static_cast<std::size_t>(SincKernel::kPhases) * 2 * static_cast<std::size_t>(unitTaps));
    fillRows(unit.data(), unitTaps, SincKernel::kHalfWidth - 1, &SincKernel::prototype);
    fine.resize(static_cast<std::size_t>(SincKernel::kHalfWidth) * kFinePoints + 2);
    for (std::size_t i = 0; i < fine.size(); ++i) {
      fine[i] = static_cast<float>(SincKernel::prototype(static_cast<double>(i) / kFinePoints));
    }
  }

  // The kernel at |t| x kFinePoints fine points, linearly interpolated.
  float fineAt(double points) const {
    const double x = std::fabs(points);
    const auto i = static_cast<std::size_t>(x);
    if (i + 1 >= fine.size()) return 0.0f;
    const auto blend = static_cast<float>(x - static_cast<double>(i));
    return fine[i] + blend * (fine[i + 1] - fine[i]);
  }
};

// Built on first use, which the player's constructor makes on the thread that creates it.
const SharedTables& sharedTables() {
  static const SharedTables tables;
  return tables;
}

}  // namespace

double SincKernel::prototype(double t) {
  if (!(std::fabs(t) < kHalfWidth)) return 0.0;
  const double x = 2.0 * kCutoff * t;
  const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
  const double r = t / kHalfWidth;
  static const double windowScale = 1.0 / besselI0(kKaiserBeta);
  return 2.0 * kCutoff * sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) * windowScale;
}

SincKernel::SincKernel() {
  for (Table& table : own_) table.rows.reset(new float[static_cast<std::size_t>(kPhases) * 2 * kMaxTaps]);
  const SharedTables& tables = sharedTables();
  rows_ = tables.unit.data();
  taps_ = tables.unitTaps;
  lead_ = kHalfWidth - 1;
  stretch_ = 1.0;
}

void SincKernel::setStep(FixedFrames step) {
  const double ratio = std::ldexp(static_cast<double>(step), -kFractionBits);
  double stretch = 1.0;
  if (ratio > 1.0) stretch = std::min(kMaxStretch, std::ceil(ratio * kStretchGrid) / kStretchGrid);
  if (stretch == stretch_) return;
  if (stretch == 1.0) {
    const SharedTables& tables = sharedTables();
    rows_ = tables.unit.data();
    taps_ = tables.unitTaps;
    lead_ = kHalfWidth - 1;
    stretch_ = 1.0;
    return;
  }
  // Keys going back and forth over a rounding boundary find their table still there.
  for (int i = 0; i < kTables; ++i) {
    if (own_[i].stretch == stretch) {
      use(i);
      return;
    }
  }
  const int older = own_[0].lastUse <= own_[1].lastUse ? 0 : 1;
  build(own_[older], stretch);
  use(older);
}

void SincKernel::use(int table) {
  const Table& chosen = own_[table];
  rows_ = chosen.rows.get();
  taps_ = chosen.taps;
  lead_ = chosen.lead;
  stretch_ = chosen.stretch;
  own_[table].lastUse = ++uses_;
}

void SincKernel::build(Table& table, double stretch) {
  const SharedTables& tables = sharedTables();
  const int half = static_cast<int>(std::ceil(kHalfWidth * stretch));
  table.taps = std::min(kMaxTaps, roundUpToEight(2 * half));
  table.lead = half - 1;
  const double points = kFinePoints / stretch;
  const auto gain = static_cast<float>(1.0 / stretch);
  fillRows(table.rows.get(), table.taps, table.lead, [&](double t) { return gain * tables.fineAt(t * points); });
  table.stretch = stretch;
  ++builds_;
}

const float* SincKernel::rowFor(std::uint32_t fraction, float& blend) const {
  blend = static_cast<float>(fraction & 0xFFFFFFu) * (1.0f / 16777216.0f);
  return rows_ + static_cast<std::size_t>(fraction >> 24) * 2 * static_cast<std::size_t>(taps_);
}

#if defined(__SSE2__)

namespace {

float sum(__m128 v) {
  const __m128 high = _mm_movehl_ps(v, v);
  const __m128 pair = _mm_add_ps(v, high);
  return _mm_cvtss_f32(_mm_add_ss(pair, _mm_shuffle_ps(pair, pair, 1)));
}

}  // namespace

float SincKernel::value(const float* window, std::uint32_t fraction) const {
  float blend = 0.0f;
  const float* row = rowFor(fraction, blend);
  const __m128 t = _mm_set1_ps(blend);
  __m128 even = _mm_setzero_ps();
  __m128 odd = _mm_setzero_ps();
  for (int k = 0; k < taps_; k += 8) {
    const __m128 c0 = _mm_add_ps(_mm_loadu_ps(row + k), _mm_mul_ps(t, _mm_loadu_ps(row + taps_ + k)));
    const __m128 c1 = _mm_add_ps(_mm_loadu_ps(row + k + 4), _mm_mul_ps(t, _mm_loadu_ps(row + taps_ + k + 4)));
    even = _mm_add_ps(even, _mm_mul_ps(c0, _mm_loadu_ps(window + k)));
    odd = _mm_add_ps(odd, _mm_mul_ps(c1, _mm_loadu_ps(window + k + 4)));
  }
  return sum(_mm_add_ps(even, odd));
}

void SincKernel::values(const float* first, const float* second, std::uint32_t fraction,
                        float& outFirst, float& outSecond) const {
  float blend = 0.0f;
  const float* row = rowFor(fraction, blend);
  const __m128 t = _mm_set1_ps(blend);
  __m128 a0 = _mm_setzero_ps();
  __m128 a1 = _mm_setzero_ps();
  __m128 b0 = _mm_setzero_ps();
  __m128 b1 = _mm_setzero_ps();
  for (int k = 0; k < taps_; k += 8) {
    const __m128 c0 = _mm_add_ps(_mm_loadu_ps(row + k), _mm_mul_ps(t, _mm_loadu_ps(row + taps_ + k)));
    const __m128 c1 = _mm_add_ps(_mm_loadu_ps(row + k + 4), _mm_mul_ps(t, _mm_loadu_ps(row + taps_ + k + 4)));
    a0 = _mm_add_ps(a0, _mm_mul_ps(c0, _mm_loadu_ps(first + k)));
    a1 = _mm_add_ps(a1, _mm_mul_ps(c1, _mm_loadu_ps(first + k + 4)));
    b0 = _mm_add_ps(b0, _mm_mul_ps(c0, _mm_loadu_ps(second + k)));
    b1 = _mm_add_ps(b1, _mm_mul_ps(c1, _mm_loadu_ps(second + k + 4)));
  }
  outFirst = sum(_mm_add_ps(a0, a1));
  outSecond = sum(_mm_add_ps(b0, b1));
}

#else

float SincKernel::value(const float* window, std::uint32_t fraction) const {
  float blend = 0.0f;
  const float* row = rowFor(fraction, blend);
  float total = 0.0f;
  for (int k = 0; k < taps_; ++k) total += (row[k] + blend * row[taps_ + k]) * window[k];
  return total;
}

void SincKernel::values(const float* first, const float* second, std::uint32_t fraction,
                        float& outFirst, float& outSecond) const {
  float blend = 0.0f;
  const float* row = rowFor(fraction, blend);
  float a = 0.0f;
  float b = 0.0f;
  for (int k = 0; k < taps_; ++k) {
    const float c = row[k] + blend * row[taps_ + k];
    a += c * first[k];
    b += c * second[k];
  }
  outFirst = a;
  outSecond = b;
}

#endif

}  // namespace vintrove
