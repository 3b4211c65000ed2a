// Band-limited interpolation at a fractional position: a Kaiser-windowed sinc kept as a polyphase
// table of 256 phases, each row with its difference to the next, so that one output sample is one
// dot product of a window of stored samples with the row blended for the exact fraction.
//
// At steps up to 1 (the file played as fast as the output or slower) the response is flat to
// within 1e-5 up to 0.415 of the file's rate (18.3 kHz at 44.1 kHz) and about 100 dB down from
// its Nyquist on, so nothing images. At larger steps the kernel widens by the step, rounded up to
// a 64th, so the cutoff follows the output's Nyquist and nothing aliases; that table is built
// when the rounded step changes to one whose table is not kept (0.2 to 0.5 ms, no allocation; a
// sweep from pitch 0 to +12 % crosses 8 to 14 such steps); the two tables used last are kept, so
// steps going back and forth build nothing. Steps beyond kMaxStretch keep the widest kernel.
//
// The kernel knows nothing of files: the caller hands it a window of taps() samples that starts
// lead() samples before the whole frame of the position, and the fraction of the position.
#pragma once

#include <cstdint>
#include <memory>

#include "player/fixed_frames.h"

namespace vintrove {

class SincKernel {
 public:
  static constexpr int kPhases = 256;
  static constexpr int kHalfWidth = 40;      // samples each side of the position at steps up to 1
  static constexpr double kCutoff = 0.4575;  // of the sample rate, at steps up to 1
  static constexpr double kKaiserBeta = 10.06;  // about 100 dB of stopband
  static constexpr double kMaxStretch = 2.0;
  static constexpr int kMaxTaps = 2 * kHalfWidth * 2;

  // Allocates the two tables of the widest kernel; throws std::bad_alloc.
  SincKernel();
  SincKernel(const SincKernel&) = delete;
  SincKernel& operator=(const SincKernel&) = delete;

  // Fits the kernel to a step (file frames per output frame, 32.32); nothing to do while that
  // step's kernel is in place.
  void setStep(FixedFrames step);

  int taps() const { return taps_; }  // a multiple of 8
  int lead() const { return lead_; }
  // The stretch the current table was built for: 1 for steps up to 1.
  double stretch() const { return stretch_; }
  // Tables of stretched kernels built so far, for tests.
  int builds() const { return builds_; }

  // The interpolated value from a window of taps() samples; fraction is the position's 32 bits
  // below the whole frame.
  float value(const float* window, std::uint32_t fraction) const;
  // Two channels at the same position, sharing the blended row.
  void values(const float* first, const float* second, std::uint32_t fraction, float& outFirst,
              float& outSecond) const;

  // The continuous kernel at stretch 1 (t in samples from the position), for tests and tables.
  static double prototype(double t);

 private:
  // A stretched kernel's table; the two most recently used are kept.
  struct Table {
    std::unique_ptr<float[]> rows;
    int taps = 0;
    int lead = 0;
    double stretch = 0.0;  // 0: nothing built yet
    std::uint64_t lastUse = 0;
  };
  static constexpr int kTables = 2;

  const float* rowFor(std::uint32_t fraction, float& blend) const;
  void build(Table& table, double stretch);
  void use(int table);

  Table own_[kTables];
  std::uint64_t uses_ = 0;
  const float* rows_ = nullptr;   // kPhases rows of taps_ coefficients, then taps_ differences
  int taps_ = 0;
  int lead_ = 0;
  double stretch_ = 0.0;
  int builds_ = 0;
};

}  // namespace vintrove
