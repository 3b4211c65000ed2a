// Smooth playback as the host hears it, through our host loading the DLL: the rate conversion
// held to exact band-limited interpolation and to sox, the cue at its frame, the stop's ramp and
// the cue without a click. The figures print as "figure:" lines.
//
// The tones are layer I files the tests write (one subband carries a cosine at a quarter of the
// subband rate), which libmad decodes to a signal that repeats exactly every 128 samples: the
// tone at the subband's centre plus the filter bank's own products of it, about -96 dB in all.
// A periodic signal's band-limited interpolation at any time is its trigonometric interpolation
// from one period (a 128-point DFT), so what the output should be is known exactly, whatever
// the file holds; the conversion's own THD+N is what remains beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "known_decodes.h"
#include "layer1_writer.h"
#include "reference_decode.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

using testhost::MidiMessage;
using testhost::StereoBuffer;

constexpr double kPi = 3.14159265358979323846;
constexpr int kPeriod = 128;

double toDb(double powerRatio) { return 10.0 * std::log10(powerRatio); }

// The step the player takes at a pitch parameter, as 32.32 fixed point: the 32-bit float ratio
// scaled by 2^32 (exact, since a float has 24 bits).
std::int64_t fixedStepOf(float pitchParameter, float hostRate, int fileRate) {
  const float pitch = (2.0f * pitchParameter - 1.0f) * 12.0f;
  const auto ratio = static_cast<float>((pitch * 0.01 + 1.0) / hostRate * static_cast<double>(fileRate));
  return static_cast<std::int64_t>(std::ldexp(static_cast<double>(ratio), 32));
}

// One period of a decoded signal as its Fourier series, evaluated at any time in file frames;
// harmonics at or above `below` cycles a sample are left out (a band limit).
class PeriodicSignal {
 public:
  PeriodicSignal(const std::vector<float>& samples, std::int64_t origin, double below = 0.5)
      : origin_(origin) {
    for (int k = 0; k <= kPeriod / 2; ++k) {
      double a = 0.0, b = 0.0;
      for (int n = 0; n < kPeriod; ++n) {
        const double x = samples[static_cast<std::size_t>(origin + n)];
        a += x * std::cos(2.0 * kPi * k * n / kPeriod);
        b += x * std::sin(2.0 * kPi * k * n / kPeriod);
      }
      const double weight = (k == 0 || k == kPeriod / 2) ? 1.0 : 2.0;
      const bool kept = static_cast<double>(k) / kPeriod < below;
      cosines_.push_back(kept ? weight * a / kPeriod : 0.0);
      sines_.push_back(kept && k != kPeriod / 2 ? weight * b / kPeriod : 0.0);
    }
  }

  // At file time whole + fraction / 2^32.
  double at(std::int64_t fixedTime) const {
    const std::int64_t whole = fixedTime >> 32;
    const double fraction = std::ldexp(static_cast<double>(fixedTime & 0xFFFFFFFFLL), -32);
    const double tau = static_cast<double>(((whole - origin_) % kPeriod + kPeriod) % kPeriod) + fraction;
    double value = 0.0;
    for (std::size_t k = 0; k < cosines_.size(); ++k) {
      const double phase = 2.0 * kPi * static_cast<double>(k) * tau / kPeriod;
      value += cosines_[k] * std::cos(phase) + sines_[k] * std::sin(phase);
    }
    return value;
  }

 private:
  std::int64_t origin_;
  std::vector<double> cosines_;
  std::vector<double> sines_;
};

// Largest difference between a decoded signal and itself one period later, over [from, to).
double periodicity(const std::vector<float>& samples, std::size_t from, std::size_t to) {
  double worst = 0.0;
  for (std::size_t n = from; n + kPeriod < to; ++n) {
    worst = std::max(worst, std::fabs(static_cast<double>(samples[n + kPeriod]) - samples[n]));
  }
  return worst;
}

// The residual of x[from, to) beside its best fit by a sinusoid at `cycles` a sample and a
// constant, and the sinusoid's amplitude (least squares).
double sineResidual(const std::vector<float>& x, std::size_t from, std::size_t to, double cycles,
                    double& amplitude) {
  double m[3][3] = {}, y[3] = {};
  for (std::size_t n = from; n < to; ++n) {
    const double w = 2.0 * kPi * cycles * static_cast<double>(n);
    const double v[3] = {std::cos(w), std::sin(w), 1.0};
    for (int i = 0; i < 3; ++i) {
      y[i] += v[i] * x[n];
      for (int j = 0; j < 3; ++j) m[i][j] += v[i] * v[j];
    }
  }
  for (int i = 0; i < 3; ++i) {
    for (int k = i + 1; k < 3; ++k) {
      const double f = m[k][i] / m[i][i];
      for (int j = 0; j < 3; ++j) m[k][j] -= f * m[i][j];
      y[k] -= f * y[i];
    }
  }
  double c[3];
  for (int i = 2; i >= 0; --i) {
    double sum = y[i];
    for (int j = i + 1; j < 3; ++j) sum -= m[i][j] * c[j];
    c[i] = sum / m[i][i];
  }
  amplitude = std::hypot(c[0], c[1]);
  double residual = 0.0;
  for (std::size_t n = from; n < to; ++n) {
    const double w = 2.0 * kPi * cycles * static_cast<double>(n);
    const double e = x[n] - (c[0] * std::cos(w) + c[1] * std::sin(w) + c[2]);
    residual += e * e;
  }
  return residual;
}

struct Conversion {
  double errorDb;  // the output against the exact band-limited signal, relative to the tone
  double rawDb;    // the output's THD+N against its fundamental alone, the file's own products in
  double aliasDb;  // the output's sinusoid at aliasCycles, relative to the tone's amplitude
};

// A layer I tone at 44.1 or 48 kHz played from frame 0 through the host with Smooth on; the
// output from frame `skip` on against the file's band-limited interpolation at the same times.
Conversion convertTone(int fileRate, int subband, float hostRate, float pitchParameter,
                       std::int32_t frames, double bandLimit, double aliasCycles = 0.25) {
  Layer1Signal tone;
  tone.subband = {subband, subband};
  tone.amplitude = 0.5;
  const std::vector<unsigned char> bytes = writeLayer1(fileRate, 448, 1, 400, tone);
  const ReferenceDecode decoded = referenceDecode(bytes);
  const std::vector<float>& samples = decoded.samples[0];
  // The oracle holds only where the decode repeats exactly.
  EXPECT_LT(periodicity(samples, 1024, samples.size() - 1024), 1e-6);
  const PeriodicSignal exact(samples, 16 * kPeriod, bandLimit);
  double filePower = 0.0;
  for (std::size_t n = 16 * kPeriod; n < 17 * kPeriod; ++n) filePower += samples[n] * samples[n];
  filePower /= kPeriod;

  TempFile file(bytes, ".mp1");
  PluginSession plugin(hostRate, true);
  EXPECT_TRUE(plugin.playFromStart(file.path(), pitchParameter));
  StereoBuffer out;
  plugin.effect().render(frames, out);
  const std::int64_t step = fixedStepOf(pitchParameter, hostRate, fileRate);
  const std::int32_t skip = 4000;  // the decoder's first frames and the start's ramp
  double error = 0.0;
  for (std::int32_t m = skip; m < frames; ++m) {
    const double e = out.left[static_cast<std::size_t>(m)] - exact.at(step * m);
    error += e * e;
    EXPECT_EQ(out.left[static_cast<std::size_t>(m)], out.right[static_cast<std::size_t>(m)]);
  }
  const double power = filePower * (frames - skip);
  // The plain THD+N: everything beside the fundamental, at the output's frequency of the tone.
  const double cycles = (2.0 * subband + 1.0) / 128.0 * std::ldexp(static_cast<double>(step), -32);
  double amplitude = 0.0;
  const double residual = sineResidual(out.left, static_cast<std::size_t>(skip), out.left.size(), cycles, amplitude);
  double aliasAmplitude = 0.0;
  sineResidual(out.left, static_cast<std::size_t>(skip), out.left.size(), aliasCycles, aliasAmplitude);
  const double fundamental = amplitude * amplitude / 2.0 * static_cast<double>(frames - skip);
  return {toDb(error / power), toDb(residual / fundamental),
          20.0 * std::log10(aliasAmplitude / std::sqrt(2.0 * filePower))};
}

TEST(SmoothSound, A44k1ToneOnA48kHzHostHasNoDistortionOfItsOwn) {
  struct Case {
    int subband;
    double limitDb;
  };
  // 1033.6 Hz and 9991.4 Hz, the centres of subbands 1 and 14.
  for (const Case c : {Case{1, -100.0}, Case{14, -90.0}}) {
    SCOPED_TRACE(c.subband);
    const Conversion result = convertTone(44100, c.subband, 48000.0f, 0.5f, 72000, 0.5);
    std::printf("figure: %.1f Hz tone, 44.1 kHz file, 48 kHz host, pitch 0: THD+N of the conversion "
                "%.1f dB (against the exact band-limited signal); the output's plain THD+N %.1f dB\n",
                layer1ToneFrequency(44100, c.subband), result.errorDb, result.rawDb);
    EXPECT_LE(result.errorDb, c.limitDb);
  }
}

// A 19875 Hz tone of a 48 kHz file at +12 % on a 44.1 kHz host lies above the output's Nyquist
// (19687.5 Hz of the file): all of it must go, and its alias (21840 Hz at the output) with it.
TEST(SmoothSound, A20kHzToneAboveTheOutputsNyquistLeavesNoAlias) {
  const float pitch = 1.0f;  // +12 %
  const std::int64_t step = fixedStepOf(pitch, 44100.0f, 48000);
  const double ratio = std::ldexp(static_cast<double>(step), -32);
  const double folded = 1.0 - 53.0 / 128.0 * ratio;  // the tone's alias, in cycles an output frame
  const Conversion result = convertTone(48000, 26, 44100.0f, pitch, 66150, 0.5 / ratio, folded);
  const double aliasDb = result.aliasDb;
  std::printf("figure: 19875 Hz tone, 48 kHz file, 44.1 kHz host, +12 %%: alias at %.0f Hz %.1f dB "
              "below the tone; all output beside the band-limited file %.1f dB below it\n",
              folded * 44100.0, -aliasDb, -result.errorDb);
  EXPECT_LE(aliasDb, -90.0);
  EXPECT_LE(result.errorDb, -90.0);
}

// sox's answer for the band-limited pink noise (tests/data/README.md): the 44.1 kHz file played
// on a 48 kHz host at pitch 0 agrees with it.
TEST(SmoothSound, PinkNoiseConvertedTo48kHzAgreesWithSox) {
  const std::vector<unsigned char> answer = readFileBytes(testDataPath("l2_44k1_mono_pink.sox-rate-v.f32"));
  ASSERT_EQ(answer.size(), 32768u * 4u);
  std::vector<float> sox(32768);
  std::memcpy(sox.data(), answer.data(), answer.size());
  PluginSession plugin(48000.0f, true);
  ASSERT_TRUE(plugin.playFromStart(dataFile("l2_44k1_mono_pink.mp2"), 0.5f));
  StereoBuffer out;
  plugin.effect().render(32768, out);
  double difference = 0.0, power = 0.0;
  for (std::size_t m = 2000; m < sox.size(); ++m) {
    const double d = out.left[m] - sox[m];
    difference += d * d;
    power += static_cast<double>(sox[m]) * sox[m];
  }
  const double agreement = toDb(power / difference);
  std::printf("figure: band-limited pink noise, 44.1 kHz file, 48 kHz host: agrees with sox rate -v "
              "to %.1f dB\n", agreement);
  EXPECT_GE(agreement, 80.0);
  EXPECT_GT(power, 0.0);
}

// The cue key's deltaFrames is 300 in a 4096-frame block: the block plays the old position for
// 300 frames and the cue's from frame 300 on, in both modes; with Smooth, a crossfade there with
// no step beyond the music's own. At matched rates Smooth plays the stored samples exactly.
TEST(SmoothSound, ACueAtFrame300SwitchesThereInBothModes) {
  const ReferenceDecode decoded = gaplessReferenceFile("l3_44k1_stereo_128k.mp3");
  const auto stored = [&](int channel, std::int64_t frame) {
    return decoded.samples[static_cast<std::size_t>(channel)][static_cast<std::size_t>(frame)];
  };
  const std::int32_t ramp = static_cast<std::int32_t>(std::lround(44100 * 0.005));
  for (bool smooth : {false, true}) {
    SCOPED_TRACE(smooth ? "smooth" : "hard");
    PluginSession plugin(44100.0f, smooth);
    ASSERT_TRUE(plugin.playFromStart(dataFile("l3_44k1_stereo_128k.mp3"), 0.5f));
    plugin.effect().setBlockSize(4096);
    StereoBuffer before;
    plugin.effect().render(8192, before);
    // Past the start's ramp, both modes play the stored samples exactly.
    StereoBuffer steady;
    steady.left.assign(before.left.begin() + ramp, before.left.end());
    steady.right.assign(before.right.begin() + ramp, before.right.end());
    EXPECT_EQ(framesNotFromFile(steady, decoded, ramp, 1.0f), 0);

    MidiMessage cue = MidiMessage::noteOn(60);  // cue 7: half the file
    cue.deltaFrames = 300;
    plugin.effect().sendMidi({cue});
    const std::int64_t at = static_cast<std::int64_t>(decoded.samples[0].size()) / 2;
    std::vector<float> left(4096), right(4096);
    plugin.effect().processReplacing(left.data(), right.data(), 4096);
    int wrong = 0;
    for (std::int32_t k = 0; k < 4096 && wrong < 5; ++k) {
      const auto i = static_cast<std::size_t>(k);
      float expected = k < 300 ? stored(0, 8192 + k) : stored(0, at + k - 300);
      if (smooth && k >= 300 && k < 300 + ramp) {
        const float in = static_cast<float>(k - 300 + 1) / static_cast<float>(ramp);
        expected = (1.0f - in) * stored(0, 8192 + k) + in * stored(0, at + k - 300);
      }
      const bool exact = !smooth || k < 300 || k >= 300 + ramp;
      if (exact ? left[i] != expected : std::fabs(left[i] - expected) > 2e-6f) {
        ADD_FAILURE() << "frame " << k << ": " << left[i] << " instead of " << expected;
        ++wrong;
      }
    }
    if (smooth) {
      float music = 0.0f;
      for (int channel = 0; channel < 2; ++channel) {
        for (std::int64_t from : {std::int64_t{8192}, at}) {
          for (std::int64_t n = from + 1; n < from + 4096; ++n) {
            music = std::max(music, std::fabs(stored(channel, n) - stored(channel, n - 1)));
          }
        }
      }
      float around = 0.0f;
      for (std::size_t k = 290; k < static_cast<std::size_t>(300 + ramp + 10); ++k) {
        around = std::max({around, std::fabs(left[k] - left[k - 1]), std::fabs(right[k] - right[k - 1])});
      }
      std::printf("figure: cue at frame 300 with Smooth: largest step around it %.4f, the music's own %.4f\n",
                  around, music);
      EXPECT_LE(around, 1.2f * music);
    }
  }
}

// A stop key with Smooth: from its frame the sound ramps down over the ramp's 5 ms, with no step
// beyond the ramp's slope on the music's own, and then is silence.
TEST(SmoothSound, AStopEndsInARamp) {
  const ReferenceDecode decoded = gaplessReferenceFile("l3_44k1_stereo_128k.mp3");
  const std::int32_t ramp = static_cast<std::int32_t>(std::lround(44100 * 0.005));
  PluginSession plugin(44100.0f, true);
  ASSERT_TRUE(plugin.playFromStart(dataFile("l3_44k1_stereo_128k.mp3"), 0.5f));
  plugin.effect().setBlockSize(4096);
  StereoBuffer before;
  plugin.effect().render(4096, before);
  MidiMessage stop = MidiMessage::noteOn(49);  // C sharp: toggle playing
  stop.deltaFrames = 1000;
  plugin.effect().sendMidi({stop});
  EXPECT_EQ(plugin.parameter(0), 0.0f);
  std::vector<float> left(4096), right(4096);
  plugin.effect().processReplacing(left.data(), right.data(), 4096);
  const auto& file = decoded.samples[0];
  float music = 0.0f, step = 0.0f;
  for (std::size_t k = 0; k < 4096; ++k) {
    const float gain = k < 1000 ? 1.0f : std::max(0.0f, 1.0f - static_cast<float>(k - 1000 + 1) / static_cast<float>(ramp));
    ASSERT_NEAR(left[k], gain * file[4096 + k], 1e-6f) << k;
    if (k > 0) {
      music = std::max(music, std::fabs(file[4096 + k] - file[4096 + k - 1]));
      step = std::max(step, std::fabs(left[k] - left[k - 1]));
    }
  }
  EXPECT_EQ(*std::max_element(left.begin() + 1000 + ramp, left.end()), 0.0f);
  EXPECT_LE(step, music + 1.0f / static_cast<float>(ramp));
  std::printf("figure: Smooth stop: ramp of %d frames, largest step %.4f (music's own %.4f, slope %.4f)\n",
              ramp, step, music, 1.0f / static_cast<float>(ramp));
}

}  // namespace
}  // namespace vintrove::test
