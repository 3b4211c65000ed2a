// A whole load for tests: the file (or bytes, through a temporary file) loaded to its end, with
// the store read back as the player reads it and what the loader reported on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loader_test_support.h"
#include "player/cluster_sample_loader.h"
#include "temp_file.h"

namespace vintrove::test {

struct Loaded {
  std::vector<std::vector<float>> samples;  // left and right as the player reads them
  std::vector<std::int32_t> lengths;
  std::int32_t sampleRate = 0;
  std::int32_t bitRate = 0;
  std::int32_t channels = 0;
};

template <class Loader = ClusterSampleLoader>
Loaded loadWhole(const std::string& path, unsigned char* pixels = nullptr) {
  RecordingOwner owner;
  auto loader = makeLoader<Loader>(&owner);
  if (pixels != nullptr) loader->setOverviewPixels(pixels);
  Loaded loaded;
  if (!loader->start(path.c_str()) || !waitForLoad(*loader)) return loaded;
  loaded.samples = readEverything(*loader);
  loaded.lengths = owner.lengths();
  loaded.sampleRate = loader->getSampleRate();
  loaded.bitRate = loader->getBitRate();
  loaded.channels = loader->getChannels();
  return loaded;
}

inline Loaded loadBytes(const std::vector<unsigned char>& bytes, unsigned char* pixels = nullptr) {
  TempFile file(bytes);
  return loadWhole(file.path(), pixels);
}

inline std::int32_t framesOf(const Loaded& loaded) {
  return loaded.samples.empty() ? 0 : static_cast<std::int32_t>(loaded.samples[0].size());
}

}  // namespace vintrove::test
