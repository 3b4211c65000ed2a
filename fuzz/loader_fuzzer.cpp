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

namespace {

using vintrove::ClusterSampleLoader;

// Set when the loader warned that the store could not be had; reads then refuse.
std::atomic<bool> warned{false};

void noteWarning(const char*, const char*) { warned.store(true); }

class Owner : public vintrove::LoaderOwner {
 public:
  void setLength(std::int32_t frames) override { lastLength.store(frames); }
  void loadingTick(std::int32_t frames) override { lastTick.store(frames); }

  std::atomic<std::int32_t> lastLength{-1};
  std::atomic<std::int32_t> lastTick{-1};
};

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "loader_fuzzer: invariant broken: %s\n", what);
    std::abort();
  }
}

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

// Reads frames output samples in both modes; exact-size buffers let ASan see any overrun.
void readBack(ClusterSampleLoader& loader, std::int32_t frames, std::int32_t position, float ratio,
              bool expectReady) {
  for (const bool replace : {true, false}) {
    std::vector<float> left(static_cast<std::size_t>(frames), 0.25f);
    std::vector<float> right(static_cast<std::size_t>(frames), 0.25f);
    float* outputs[2] = {left.data(), right.data()};
    const bool ready = loader.read(outputs, frames, position, ratio, replace);
    check(ready == expectReady, "read is ready exactly when frames were decoded");
    for (std::int32_t i = 0; i < frames; ++i) {
      const float l = left[static_cast<std::size_t>(i)];
      const float r = right[static_cast<std::size_t>(i)];
      // Stored samples are libmad's 28-bit fractions of full scale: inside -8 .. 8.
      const float bound = replace ? 8.0f : 8.25f;
      check(std::isfinite(l) && std::isfinite(r) && std::fabs(l) <= bound &&
                std::fabs(r) <= bound,
            "read yields finite samples within libmad's range");
      if (!ready && !replace) check(l == 0.25f && r == 0.25f, "a refused add leaves the output");
    }
  }
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
    constexpr std::int32_t kBlock = 512;
    for (const float ratio : {1.0f, 1.12f, 0.5f}) {
      for (const std::int32_t position : {0, decoded / 2, decoded + 100}) {
        readBack(*loader, kBlock, position, ratio, expectReady);
      }
    }
  }
  return 0;
}
