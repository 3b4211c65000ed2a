// Writes the state fuzzer's seed records into a folder: no file, a test file, a missing file,
// the longest path, and a newer version with an extra value and trailing bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "player/state_record.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes recordFor(const std::string& path, bool playing, bool loop, double position, double pitch) {
  vintrove::PlayerState state;
  state.playing = playing;
  state.loop = loop;
  state.position = position;
  state.pitch = pitch;
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
  Bytes newer = recordFor("/no/such/dir/newer.mp3", true, true, 0.125, -7.5);
  newer.insert(newer.begin() + 44, 8, 0);  // a fifth value
  newer[4] = 2;
  newer[8] = 40;
  newer.insert(newer.end(), {1, 2, 3, 4});
  const struct {
    const char* name;
    Bytes bytes;
  } seeds[] = {
      {"state-no-file", recordFor("", false, false, 0.0, 1.0)},
      {"state-test-file", recordFor(data + "/l2_32k_mono_64k.mp2", true, true, 0.5, 3.0)},
      {"state-missing-file", recordFor("/no/such/dir/set.mp3", true, false, 0.75, -12.0)},
      {"state-longest-path", recordFor("/" + std::string(1022, 'p'), false, true, 1.0, 12.0)},
      {"state-version-2", newer},
  };
  for (const auto& seed : seeds) {
    if (!save(folder + "/" + seed.name, seed.bytes)) {
      std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), seed.name);
      return 1;
    }
  }
  return 0;
}
