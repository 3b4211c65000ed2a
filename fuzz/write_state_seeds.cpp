// Writes the state fuzzer's seed records into a folder: no file, a test file, a missing file,
// the longest path (version 2, Smooth on and off), a version 1 record as players before Smooth
// wrote them, and a newer version with an extra value and trailing bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "player/state_record.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes recordFor(const std::string& path, bool playing, bool loop, double position, double pitch,
                bool smooth = true) {
  vintrove::PlayerState state;
  state.playing = playing;
  state.loop = loop;
  state.position = position;
  state.pitch = pitch;
  state.smooth = smooth;
  std::snprintf(state.path, sizeof state.path, "%s", path.c_str());
  Bytes bytes;
  vintrove::writeStateRecord(state, bytes);
  return bytes;
}

bool save(const std::string& name, const Bytes& bytes) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <folder> <test data folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string data = argv[2];
  Bytes newer = recordFor("/no/such/dir/newer.mp3", true, true, 0.125, -7.5, false);
  newer.insert(newer.begin() + 52, 8, 0);  // a sixth value
  newer[4] = 3;
  newer[8] = 48;
  newer.insert(newer.end(), {1, 2, 3, 4});
  // Version 1: the four values of old, no Smooth.
  Bytes old = recordFor("/no/such/dir/old.mp3", true, false, 0.5, 2.0);
  old.erase(old.begin() + 44, old.begin() + 52);
  old[4] = 1;
  old[8] = 32;
  const struct {
    const char* name;
    Bytes bytes;
  } seeds[] = {
      {"state-no-file", recordFor("", false, false, 0.0, 1.0)},
      {"state-test-file", recordFor(data + "/l2_32k_mono_64k.mp2", true, true, 0.5, 3.0)},
      {"state-missing-file", recordFor("/no/such/dir/set.mp3", true, false, 0.75, -12.0, false)},
      {"state-longest-path", recordFor("/" + std::string(1022, 'p'), false, true, 1.0, 12.0)},
      {"state-version-1", old},
      {"state-version-3", newer},
  };
  for (const auto& seed : seeds) {
    if (!save(folder + "/" + seed.name, seed.bytes)) {
      std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), seed.name);
      return 1;
    }
  }
  return 0;
}
