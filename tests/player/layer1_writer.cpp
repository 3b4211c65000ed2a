#include "layer1_writer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

namespace vintrove::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubbands = 32;
constexpr int kSamplesPerSubband = 12;

class BitWriter {
 public:
  explicit BitWriter(std::vector<unsigned char>& out) : out_(out) {}

  void write(unsigned value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ % 8 == 0) out_.push_back(0);
      if ((value >> i) & 1u) out_.back() |= static_cast<unsigned char>(0x80u >> (used_ % 8));
      ++used_;
    }
  }

 private:
  std::vector<unsigned char>& out_;
  long used_ = 0;
};

int sampleRateIndex(int sampleRate) {
  switch (sampleRate) {
    case 44100: return 0;
    case 48000: return 1;
    case 32000: return 2;
    default: throw std::invalid_argument("layer I sample rate must be 32000, 44100 or 48000");
  }
}

// Scalefactor index i scales by 2^(1 - i/3); the smallest scale that still holds peak keeps
// the quantisation finest.
int scalefactorIndex(double peak) {
  int index = 0;
  while (index < 62 && std::pow(2.0, 1.0 - (index + 1) / 3.0) >= peak) ++index;
  return index;
}

// Inverse of the decoder's requantisation v = (2 (q + 1) - 2^nb) / (2^nb - 1).
unsigned quantise(double v, int nb) {
  const double levels = std::ldexp(1.0, nb);
  const double q = std::round((v * (levels - 1.0) + levels) / 2.0 - 1.0);
  return static_cast<unsigned>(std::clamp(q, 0.0, levels - 2.0));
}

}  // namespace

double layer1ToneFrequency(int sampleRate, int subband) {
  return (2.0 * subband + 1.0) * sampleRate / 128.0;
}

std::vector<unsigned char> writeLayer1(int sampleRate, int bitRateKbps, int channels, int frames,
                                       const Layer1Signal& signal) {
  const int rateIndex = sampleRateIndex(sampleRate);
  if (bitRateKbps < 32 || bitRateKbps > 448 || bitRateKbps % 32 != 0) {
    throw std::invalid_argument("layer I bit rate must be 32 to 448 kbit/s in steps of 32");
  }
  if (channels != 1 && channels != 2) throw std::invalid_argument("channels must be 1 or 2");
  if (frames < 0) throw std::invalid_argument("frames must not be negative");
  for (int c = 0; c < channels; ++c) {
    const int sb = signal.subband[static_cast<std::size_t>(c)];
    if (sb < 0 || sb >= kSubbands) throw std::invalid_argument("subband must be 0..31");
  }
  if (!(signal.amplitude > 0.0 && signal.amplitude <= 1.0)) {
    throw std::invalid_argument("amplitude must be in (0, 1]");
  }

  // A frame is 4-byte slots: 12 * bitrate / rate of them, one more when padded.
  const long slotsNumerator = 12L * bitRateKbps * 1000;
  const long slotsPerFrame = slotsNumerator / sampleRate;
  const long slotsRest = slotsNumerator % sampleRate;

  // Header, allocations, then per channel a scalefactor and 12 samples of nb bits.
  const long fixedBits = 32 + 4L * kSubbands * channels + 6L * channels;
  int nb = 15;
  while (nb >= 2 && fixedBits + 12L * nb * channels > slotsPerFrame * 32) --nb;
  if (nb < 2) throw std::invalid_argument("bit rate too low for the channels");

  std::vector<unsigned char> out;
  long rest = 0;
  double amplitude = 0.0;
  int sfIndex = 0;
  double scale = 1.0;
  for (int f = 0; f < frames; ++f) {
    const double frameAmplitude = signal.frameAmplitude ? signal.frameAmplitude(f) : signal.amplitude;
    if (!(frameAmplitude > 0.0 && frameAmplitude <= 1.0)) {
      throw std::invalid_argument("frame amplitude must be in (0, 1]");
    }
    if (f == 0 || frameAmplitude != amplitude) {
      amplitude = frameAmplitude;
      // Each sample of the tone is +-0.7071 * amplitude (a quarter-rate cosine shifted by 1/8
      // cycle).
      sfIndex = scalefactorIndex(amplitude * std::cos(kPi / 4.0));
      scale = std::pow(2.0, 1.0 - sfIndex / 3.0);
    }
    rest += slotsRest;
    const bool padded = rest >= sampleRate;
    if (padded) rest -= sampleRate;
    const std::size_t frameStart = out.size();
    const std::size_t frameBytes = static_cast<std::size_t>(slotsPerFrame + (padded ? 1 : 0)) * 4;

    BitWriter bits(out);
    bits.write(0xFFF, 12);                               // sync
    bits.write(1, 1);                                    // MPEG-1
    bits.write(3, 2);                                    // layer I
    bits.write(1, 1);                                    // no CRC
    bits.write(static_cast<unsigned>(bitRateKbps / 32), 4);
    bits.write(static_cast<unsigned>(rateIndex), 2);
    bits.write(padded ? 1 : 0, 1);
    bits.write(0, 1);                                    // private
    bits.write(channels == 1 ? 3 : 0, 2);                // mono or stereo
    bits.write(0, 2);                                    // mode extension
    bits.write(0, 4);                                    // copyright, original, emphasis

    for (int sb = 0; sb < kSubbands; ++sb) {
      for (int c = 0; c < channels; ++c) {
        const bool carries = signal.subband[static_cast<std::size_t>(c)] == sb;
        bits.write(carries ? static_cast<unsigned>(nb - 1) : 0, 4);
      }
    }
    for (int sb = 0; sb < kSubbands; ++sb) {
      for (int c = 0; c < channels; ++c) {
        if (signal.subband[static_cast<std::size_t>(c)] == sb) {
          bits.write(static_cast<unsigned>(sfIndex), 6);
        }
      }
    }
    for (int s = 0; s < kSamplesPerSubband; ++s) {
      const long n = static_cast<long>(f) * kSamplesPerSubband + s;
      const double value = amplitude * std::cos(kPi / 2.0 * static_cast<double>(n) - kPi / 4.0);
      for (int sb = 0; sb < kSubbands; ++sb) {
        for (int c = 0; c < channels; ++c) {
          if (signal.subband[static_cast<std::size_t>(c)] == sb) {
            bits.write(quantise(value / scale, nb), nb);
          }
        }
      }
    }
    out.resize(frameStart + frameBytes, 0);
  }
  return out;
}

}  // namespace vintrove::test
