// The interpolation kernel and the read around it, held to what band-limited interpolation must
// give: a sampled sine read between its samples is the sine itself there; a tone above the
// output's Nyquist at a step above 1 is gone; windows read in pieces, across the loop seam and
// past what is decoded follow the file's rules, not the kernel's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "player/interpolated_read.h"
#include "player/sinc_kernel.h"

namespace vintrove::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> sine(std::int32_t frames, double cyclesPerSample, double phase = 0.3) {
  std::vector<float> samples(static_cast<std::size_t>(frames));
  for (std::int32_t n = 0; n < frames; ++n) {
    samples[static_cast<std::size_t>(n)] =
        static_cast<float>(0.5 * std::sin(2.0 * kPi * cyclesPerSample * n + phase));
  }
  return samples;
}

FixedFrames stepOf(double ratio) { return static_cast<FixedFrames>(std::ldexp(ratio, 32)); }

double toDb(double ratio) { return 20.0 * std::log10(ratio); }

// A store seen through the accessor the read takes: channel samples in runs of at most `run`
// frames (as clusters end), null past the data.
struct FakeStore {
  std::vector<float> channels[2];
  std::int32_t run = 1 << 30;

  const float* operator()(int channel, std::int32_t at, std::int32_t& room) const {
    const auto& samples = channels[channel];
    if (at < 0 || at >= static_cast<std::int32_t>(samples.size())) {
      room = 0;
      return nullptr;
    }
    const std::int32_t runEnd = (at / run + 1) * run;
    room = std::min(runEnd, static_cast<std::int32_t>(samples.size())) - at;
    return samples.data() + at;
  }
};

struct Rendered {
  std::vector<float> left;
  std::vector<float> right;
};

Rendered readFrom(const SincKernel& kernel, FakeStore& store, std::int32_t length, bool seamless,
                  FixedFrames start, FixedFrames step, std::int32_t frames, bool mono = false) {
  Rendered out{std::vector<float>(static_cast<std::size_t>(frames)),
               std::vector<float>(static_cast<std::size_t>(frames))};
  InterpolatedRead<FakeStore> read(kernel, store, 0, mono ? 0 : 1, length, seamless);
  read.run(out.left.data(), out.right.data(), frames, start, step, true);
  return out;
}

// The error of reading a sampled sine at positions start + i x step against the sine itself
// there, relative to the sine's power.
double errorAgainstSine(const SincKernel& kernel, double cycles, FixedFrames start, FixedFrames step,
                        std::int32_t frames) {
  FakeStore store;
  store.channels[0] = sine(200000, cycles);
  store.channels[1] = store.channels[0];
  const Rendered out = readFrom(kernel, store, 200000, false, start, step, frames);
  double error = 0.0, power = 0.0;
  for (std::int32_t i = 0; i < frames; ++i) {
    const double at = std::ldexp(static_cast<double>(start + step * i), -32);
    const double expected = 0.5 * std::sin(2.0 * kPi * cycles * at + 0.3);
    const double e = out.left[static_cast<std::size_t>(i)] - expected;
    error += e * e;
    power += expected * expected;
  }
  return 10.0 * std::log10(error / power);
}

TEST(SincKernel, ASampledSineReadBetweenItsSamplesIsTheSineThere) {
  SincKernel kernel;
  kernel.setStep(stepOf(0.91875));  // a 44.1 kHz file on a 48 kHz host
  ASSERT_EQ(kernel.stretch(), 1.0);
  const FixedFrames start = wholeFrames(1000) + 123456789;
  const FixedFrames step = stepOf(0.91875);
  // 1 kHz and 10 kHz at 44.1 kHz; the highest tone the passband promises (18.3 kHz).
  EXPECT_LT(errorAgainstSine(kernel, 1000.0 / 44100.0, start, step, 40000), -110.0);
  EXPECT_LT(errorAgainstSine(kernel, 10000.0 / 44100.0, start, step, 40000), -100.0);
  EXPECT_LT(errorAgainstSine(kernel, 0.415, start, step, 40000), -90.0);
}

TEST(SincKernel, EveryPhaseAddsUpToOneAtDc) {
  SincKernel kernel;
  std::vector<float> ones(SincKernel::kMaxTaps, 1.0f);
  for (double ratio : {0.5, 1.0, 1.3, 2.0}) {
    kernel.setStep(stepOf(ratio));
    for (std::uint32_t fraction = 0; fraction < 0xFFFF0000u; fraction += 0x00F12345u) {
      EXPECT_NEAR(kernel.value(ones.data(), fraction), 1.0f, 2e-5f) << ratio << " " << fraction;
    }
  }
}

// At a step above 1 the output's Nyquist lies at 0.5 / step of the file's rate: a tone just above
// it must not come back as an alias, one well below it passes whole.
TEST(SincKernel, AboveOneTheCutoffFollowsTheStep) {
  SincKernel kernel;
  const double ratio = 1.12 * 48000.0 / 44100.0;  // a 48 kHz file at +12 % on a 44.1 kHz host
  const FixedFrames step = stepOf(ratio);
  kernel.setStep(step);
  EXPECT_GT(kernel.stretch(), ratio);
  EXPECT_LT(kernel.stretch(), ratio + 1.0 / 64.0 + 1e-9);
  FakeStore store;
  const std::int32_t frames = 30000;
  store.channels[0] = sine(100000, 19875.0 / 48000.0);  // above 19687.5 Hz, the output's Nyquist
  store.channels[1] = sine(100000, 12000.0 / 48000.0);
  const Rendered out = readFrom(kernel, store, 100000, false, wholeFrames(200), step, frames);
  double aliased = 0.0, passed = 0.0;
  for (std::int32_t i = 0; i < frames; ++i) {
    aliased = std::max(aliased, std::fabs(static_cast<double>(out.left[static_cast<std::size_t>(i)])));
    passed = std::max(passed, std::fabs(static_cast<double>(out.right[static_cast<std::size_t>(i)])));
  }
  EXPECT_LT(toDb(aliased / 0.5), -90.0);
  EXPECT_NEAR(passed, 0.5, 5e-4);

  // Without the widening (a step just below 1) the same tone passes.
  kernel.setStep(stepOf(0.999));
  const Rendered wide = readFrom(kernel, store, 100000, false, wholeFrames(200), step, 2000);
  double loud = 0.0;
  for (float v : wide.left) loud = std::max(loud, std::fabs(static_cast<double>(v)));
  EXPECT_GT(loud, 0.25);
}

// MIDI keys change the pitch at their frames, up to 128 times in one block, and each change of
// the rounded step above 1 needs its table (0.2 to 0.5 ms to build natively): keys that go back
// and forth over a rounding boundary must not build a table at each key, or one block takes tens
// of milliseconds. A kernel swapped back and forth gives what a kernel fitted once gives.
TEST(SincKernel, StepsBackAndForthBuildEachTableOnce) {
  const FixedFrames low = stepOf(1.09), high = stepOf(1.11);
  SincKernel fresh;
  fresh.setStep(high);
  SincKernel kernel;
  for (int key = 0; key < 128; ++key) kernel.setStep(key % 2 == 0 ? low : high);
  EXPECT_EQ(kernel.builds(), 2);
  EXPECT_EQ(kernel.stretch(), fresh.stretch());
  ASSERT_EQ(kernel.taps(), fresh.taps());
  std::vector<float> window(static_cast<std::size_t>(kernel.taps()));
  for (std::size_t i = 0; i < window.size(); ++i) window[i] = static_cast<float>(std::sin(0.3 * static_cast<double>(i)));
  for (const std::uint32_t fraction : {0u, 0x40000000u, 0x9ABCDEF0u}) {
    EXPECT_EQ(kernel.value(window.data(), fraction), fresh.value(window.data(), fraction));
  }
  // Through the unit table and on to a third stretch, which takes the older of the two.
  kernel.setStep(stepOf(0.5));
  kernel.setStep(stepOf(1.5));
  kernel.setStep(high);
  EXPECT_EQ(kernel.builds(), 3);
  kernel.setStep(low);
  EXPECT_EQ(kernel.builds(), 4);
}

// Windows gathered from short runs (cluster ends) read the same samples as windows in place.
TEST(InterpolatedRead, WindowsAcrossRunsReadAsInOnePiece) {
  SincKernel kernel;
  for (double ratio : {0.91875, 1.21904767}) {
    SCOPED_TRACE(ratio);
    kernel.setStep(stepOf(ratio));
    FakeStore whole;
    whole.channels[0] = sine(5000, 0.031);
    whole.channels[1] = sine(5000, 0.17);
    FakeStore pieces = whole;
    pieces.run = 7;
    const FixedFrames start = wholeFrames(3) + 0x12345678;
    const Rendered a = readFrom(kernel, whole, 5000, true, start, stepOf(ratio), 3000);
    const Rendered b = readFrom(kernel, pieces, 5000, true, start, stepOf(ratio), 3000);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
  }
}

// A file that loops musically (a whole number of periods) plays across its seam as cleanly as in
// its middle; without the seam the kernel hears silence past the end, exactly.
TEST(InterpolatedRead, TheSeamReadsTheFileStartOrSilence) {
  SincKernel kernel;
  const double ratio = 0.91875;
  kernel.setStep(stepOf(ratio));
  const std::int32_t length = 44100;
  const double cycles = 441.0 / length;  // 441 periods in the file
  FakeStore store;
  store.channels[0] = sine(length, cycles);
  store.channels[1] = store.channels[0];
  const FixedFrames start = wholeFrames(length - 300) + 0x0ABCDEF0;
  const Rendered seamless = readFrom(kernel, store, length, true, start, stepOf(ratio), 700);
  double error = 0.0, power = 0.0;
  for (std::int32_t i = 0; i < 700; ++i) {
    const double at = std::ldexp(static_cast<double>(start + stepOf(ratio) * i), -32);
    const double expected = 0.5 * std::sin(2.0 * kPi * cycles * at + 0.3);
    error += std::pow(seamless.left[static_cast<std::size_t>(i)] - expected, 2);
    power += expected * expected;
  }
  EXPECT_LT(10.0 * std::log10(error / power), -100.0);

  // Without the seam: the same as a file that goes on with zeros.
  FakeStore padded = store;
  for (auto& channel : padded.channels) channel.resize(length + 1000, 0.0f);
  const FixedFrames nearEnd = wholeFrames(length - 100) + 0x40000000;
  const Rendered cut = readFrom(kernel, store, length, false, nearEnd, stepOf(ratio), 100);
  const Rendered zeros = readFrom(kernel, padded, length + 1000, false, nearEnd, stepOf(ratio), 100);
  EXPECT_EQ(cut.left, zeros.left);
  // And before the start, when the seam does not wrap: silence before frame 0.
  FakeStore shifted;
  for (int c = 0; c < 2; ++c) {
    shifted.channels[c] = std::vector<float>(1000, 0.0f);
    shifted.channels[c].insert(shifted.channels[c].end(), store.channels[c].begin(), store.channels[c].end());
  }
  const Rendered fromStart = readFrom(kernel, store, length, false, 0x20000000, stepOf(ratio), 100);
  const Rendered afterZeros =
      readFrom(kernel, shifted, length + 1000, false, wholeFrames(1000) + 0x20000000, stepOf(ratio), 100);
  EXPECT_EQ(fromStart.left, afterZeros.left);
}

// Frames at or beyond the length (not decoded yet) count as silence even where the memory holds
// samples already.
TEST(InterpolatedRead, NothingBeyondTheLengthIsRead) {
  SincKernel kernel;
  kernel.setStep(stepOf(1.12));
  FakeStore decoding;
  decoding.channels[0] = sine(3000, 0.05);
  decoding.channels[1] = sine(3000, 0.07);
  FakeStore zeroed = decoding;
  for (auto& channel : zeroed.channels) std::fill(channel.begin() + 2000, channel.end(), 0.0f);
  const FixedFrames start = wholeFrames(1900) + 0x7F000000;
  const Rendered a = readFrom(kernel, decoding, 2000, false, start, stepOf(1.12), 80);
  const Rendered b = readFrom(kernel, zeroed, 3000, false, start, stepOf(1.12), 80);
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.right, b.right);
  // A mono file (channel 0 twice) feeds both outputs the left channel's values.
  const Rendered mono = readFrom(kernel, decoding, 2000, false, start, stepOf(1.12), 80, true);
  EXPECT_EQ(mono.left, a.left);
  EXPECT_EQ(mono.right, a.left);
}

}  // namespace
}  // namespace vintrove::test
