// Writes MPEG-1 layer I streams for tests, since no encoder at hand writes that layer. Each
// channel carries one tone: a sinusoid at a quarter of the subband rate in a single subband,
// which synthesis turns into a tone at that subband's centre. No CRC, no joint stereo.
#pragma once

#include <array>
#include <vector>

namespace vintrove::test {

struct Layer1Signal {
  std::array<int, 2> subband{3, 3};  // per channel, 0..31
  double amplitude = 0.5;            // peak of the tone, 1 = full scale
  // When set, the peak of each frame's tone instead (0 < peak <= 1), so that frames differ.
  double (*frameAmplitude)(int frame) = nullptr;
};

// Frequency in Hz of the tone that a subband carries: (2 * subband + 1) * sampleRate / 128.
double layer1ToneFrequency(int sampleRate, int subband);

// Frames of 384 samples per channel. sampleRate: 32000, 44100 or 48000; bitRateKbps: 32 to 448
// in steps of 32; channels: 1 or 2. At 44.1 kHz the padding bit keeps the average bit rate
// exact. Throws std::invalid_argument for other values, or when a frame is too small to carry
// the signal (two channels need at least 64 kbit/s).
std::vector<unsigned char> writeLayer1(int sampleRate, int bitRateKbps, int channels, int frames,
                                       const Layer1Signal& signal = {});

}  // namespace vintrove::test
