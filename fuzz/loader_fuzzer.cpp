// libFuzzer target: each input is a file that a ClusterSampleLoader maps, scans, decodes with
// libmad in its background thread and stores, drawing the overview on the way; the store is
// then read back at several ratios and positions. Invariants that the loader promises abort.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "player/cluster_sample_loader.h"
#include "player/loader_owner.h"
#include "player/overview.h"
#include "fuzz_checks.h"

namespace {

using vintrove::ClusterSampleLoader;
using vintrove::fuzz::check;
using vintrove::fuzz::noteWarning;
using vintrove::fuzz::warned;


class Owner : public vintrove::LoaderOwner {
 public:
  void setLength(std::int32_t frames) override { lastLength.store(frames); }
  void loadingTick(std::int32_t frames) override { lastTick.store(frames); }

  std::atomic<std::int32_t> lastLength{-1};
  std::atomic<std::int32_t> lastTick{-1};
};


// One path per process, rewritten for every input: parallel fuzzers do not share it.
const std::string& inputPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
    return p + "/vintrove-fuzz-" + std::to_string(static_cast<long>(getpid())) + ".mp3";
  }();
  return path;
}

// libFuzzer ends the process without running exit handlers, so each input cleans up itself.
struct InputFile {
  ~InputFile() { std::remove(inputPath().c_str()); }
};

bool writeInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(inputPath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vintrove::platform::setWarningHandler(&noteWarning);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const InputFile removedAfterwards;
  if (!writeInput(data, size)) return 0;
  warned.store(false);

  Owner owner;
  std::vector<unsigned char> pixels(vintrove::kOverviewBytes);
  {
    auto loader = vintrove::makeLoader<ClusterSampleLoader>(&owner);
    check(loader != nullptr, "a loader can be made");
    loader->setOverviewPixels(pixels.data());
    if (!loader->start(inputPath().c_str())) {
      check(size == 0, "every non-empty file starts a load");
      return 0;
    }
    while (!loader->isComplete()) std::this_thread::sleep_for(std::chrono::microseconds(50));

    const std::int32_t decoded = loader->getDecodedFrames();
    check(decoded >= 0, "decoded frame count is not negative");
    check(owner.lastLength.load() == decoded, "the last length reported is the decoded length");
    check(decoded <= loader->getCapacity() || warned.load(), "decoded frames fit the capacity");

    const bool expectReady = decoded > 0 && !warned.load();
    vintrove::fuzz::readBackEverywhere(*loader, expectReady);
  }
  return 0;
}
