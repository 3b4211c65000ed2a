// Writes a few short layer I files into a folder for the fuzzer's seed corpus: no encoder at
// hand writes layer I, so without them the fuzzer would have to find that layer by itself.
#include <cstdio>
#include <string>
#include <vector>

#include "layer1_writer.h"

namespace {

struct Seed {
  const char* name;
  int sampleRate;
  int bitRateKbps;
  int channels;
  int frames;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const Seed seeds[] = {
      {"l1_44k1_stereo_128k.mp1", 44100, 128, 2, 12},
      {"l1_48k_mono_64k.mp1", 48000, 64, 1, 8},
      {"l1_32k_stereo_448k.mp1", 32000, 448, 2, 4},
      {"l1_44k1_mono_32k.mp1", 44100, 32, 1, 20},
  };
  for (const Seed& seed : seeds) {
    vintrove::test::Layer1Signal signal;
    signal.subband = {2, 7};
    const std::vector<unsigned char> bytes =
        vintrove::test::writeLayer1(seed.sampleRate, seed.bitRateKbps, seed.channels, seed.frames, signal);
    const std::string path = std::string(argv[1]) + "/" + seed.name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      std::perror(path.c_str());
      return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
