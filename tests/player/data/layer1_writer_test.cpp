// Layer I streams from the test writer decode with libmad: every frame, at the stated rate,
// channel count and bit rate, with the intended tone in each channel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "layer1_writer.h"
#include "reference_decode.h"
#include "signal_measures.h"

namespace vintrove::test {
namespace {

struct Layer1Case {
  int sampleRate;
  int bitRateKbps;
  int channels;
};

void PrintTo(const Layer1Case& c, std::ostream* os) {
  *os << c.sampleRate << " Hz, " << c.bitRateKbps << " kbit/s, " << c.channels << " ch";
}

class Layer1WriterTest : public ::testing::TestWithParam<Layer1Case> {};

constexpr int kFrames = 40;

TEST_P(Layer1WriterTest, DecodesEveryFrameWithItsTone) {
  const Layer1Case& c = GetParam();
  Layer1Signal signal;
  signal.subband = {2, 5};
  const ReferenceDecode decoded =
      referenceDecode(writeLayer1(c.sampleRate, c.bitRateKbps, c.channels, kFrames, signal));

  EXPECT_EQ(decoded.layer, 1);
  EXPECT_EQ(decoded.sampleRate, c.sampleRate);
  EXPECT_EQ(decoded.bitRate, c.bitRateKbps * 1000L);
  EXPECT_EQ(decoded.channels, c.channels);
  EXPECT_EQ(decoded.frames, kFrames);
  ASSERT_EQ(decoded.samples.size(), static_cast<std::size_t>(c.channels));
  for (int ch = 0; ch < c.channels; ++ch) {
    const std::vector<float>& x = decoded.samples[static_cast<std::size_t>(ch)];
    ASSERT_EQ(x.size(), static_cast<std::size_t>(kFrames) * 384);
    // A sine of peak 0.5 has an RMS of 0.354; skip the first frame, where the filter bank fills.
    EXPECT_NEAR(rms(x, 384), 0.354, 0.02);
    EXPECT_LT(peak(x), 0.6);
    const double frequency =
        layer1ToneFrequency(c.sampleRate, signal.subband[static_cast<std::size_t>(ch)]);
    const double expected = 2.0 * frequency * static_cast<double>(x.size() - 384) / c.sampleRate;
    EXPECT_NEAR(static_cast<double>(zeroCrossings(x, 384, x.size())), expected, expected * 0.01 + 2)
        << "channel " << ch;
  }
}

// Frames are whole 4-byte slots; at 44.1 kHz padded frames keep the average bit rate exact.
TEST_P(Layer1WriterTest, StreamLengthFollowsTheBitRate) {
  const Layer1Case& c = GetParam();
  const std::vector<unsigned char> bytes =
      writeLayer1(c.sampleRate, c.bitRateKbps, c.channels, kFrames);
  const double slots = std::floor(kFrames * 12.0 * c.bitRateKbps * 1000.0 / c.sampleRate);
  EXPECT_EQ(static_cast<double>(bytes.size()), slots * 4);
}

INSTANTIATE_TEST_SUITE_P(Streams, Layer1WriterTest,
                         ::testing::Values(Layer1Case{32000, 32, 1}, Layer1Case{32000, 192, 2},
                                           Layer1Case{44100, 32, 1}, Layer1Case{44100, 64, 2},
                                           Layer1Case{44100, 96, 1}, Layer1Case{44100, 384, 2},
                                           Layer1Case{48000, 128, 1}, Layer1Case{48000, 448, 2}));

TEST(Layer1Writer, AmplitudeSetsTheLevel) {
  for (double amplitude : {0.05, 0.2, 0.9}) {
    Layer1Signal signal;
    signal.amplitude = amplitude;
    const ReferenceDecode decoded = referenceDecode(writeLayer1(44100, 128, 1, 10, signal));
    ASSERT_EQ(decoded.frames, 10);
    EXPECT_NEAR(rms(decoded.samples[0], 384), amplitude / std::sqrt(2.0), amplitude * 0.05)
        << "amplitude " << amplitude;
  }
}

double steppedAmplitude(int frame) { return 0.1 + 0.1 * (frame % 8); }

TEST(Layer1Writer, AFrameAmplitudeSetsEachFramesLevel) {
  Layer1Signal signal;
  signal.frameAmplitude = &steppedAmplitude;
  const ReferenceDecode decoded = referenceDecode(writeLayer1(44100, 64, 2, 20, signal));
  ASSERT_EQ(decoded.frames, 20);
  for (int frame = 1; frame < 19; ++frame) {
    // The filter banks delay each frame by about 220 samples.
    const std::vector<float> inside(decoded.samples[1].begin() + frame * 384 + 240,
                                    decoded.samples[1].begin() + frame * 384 + 560);
    EXPECT_NEAR(rms(inside, 0), steppedAmplitude(frame) / std::sqrt(2.0), 0.03) << "frame " << frame;
  }
}

// The excerpt helper: frames decoded from a few frames before equal the whole decode's.
TEST(Layer1Writer, AnExcerptDecodesAsTheWholeStreamDoes) {
  Layer1Signal signal;
  signal.frameAmplitude = &steppedAmplitude;
  const std::vector<unsigned char> bytes = writeLayer1(44100, 64, 2, 200, signal);
  const ReferenceDecode whole = referenceDecode(bytes);
  for (long first : {0L, 1L, 2L, 3L, 117L, 195L}) {
    const ReferenceDecode excerpt = referenceDecodeLayer1Frames(bytes, first, 10);
    const long frames = std::min(10L, 200 - first);
    ASSERT_EQ(excerpt.frames, frames) << first;
    for (int c = 0; c < 2; ++c) {
      const auto& all = whole.samples[static_cast<std::size_t>(c)];
      const std::vector<float> expected(all.begin() + first * 384, all.begin() + (first + frames) * 384);
      EXPECT_TRUE(excerpt.samples[static_cast<std::size_t>(c)] == expected) << "from frame " << first;
    }
  }
}

TEST(Layer1Writer, RefusesAFrameTooSmallForTwoChannels) {
  EXPECT_THROW(writeLayer1(48000, 32, 2, 1), std::invalid_argument);
  EXPECT_NO_THROW(writeLayer1(48000, 64, 2, 1));
}

}  // namespace
}  // namespace vintrove::test
