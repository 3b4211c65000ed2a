// libFuzzer target over the loader's decode path in process: each input is handed to a fresh
// ClusterSampleLoader's decodeBytes, which runs the tag and info-frame parsing, libmad, the store
// appends and the overview drawing on this thread, with no file and no thread. The store is read
// back at several ratios and positions; invariants the loader promises abort.
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
  void setLength(std::int32_t frames) override {
    ++lengths;
    lastLength = frames;
  }
  void loadingTick(std::int32_t frames) override {
    if (frames < lastTick) backwards = true;
    lastTick = frames;
  }
  int lengths = 0;
  std::int32_t lastLength = -1;
  std::int32_t lastTick = -1;
  bool backwards = false;
};



}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vintrove::platform::setWarningHandler(&noteWarning);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  warned.store(false);
  Owner owner;
  std::vector<unsigned char> pixels(vintrove::kOverviewBytes, 0x5a);
  auto loader = vintrove::makeLoader<ClusterSampleLoader>(&owner);
  check(loader != nullptr, "a loader can be made");
  loader->setOverviewPixels(pixels.data());
  check(loader->decodeBytes(data, static_cast<std::int32_t>(size)), "no other load holds the slot");
  check(loader->isComplete(), "the load has ended");

  const std::int32_t decoded = loader->getDecodedFrames();
  check(decoded >= 0, "decoded frame count is not negative");
  check(owner.lengths >= 1 && owner.lastLength == decoded, "the last length reported is the decoded length");
  check(decoded <= loader->getCapacity() || warned.load(), "decoded frames fit the capacity");
  check(!owner.backwards && (owner.lastTick <= decoded || warned.load()), "progress only rises, up to the length");
  const std::int32_t channels = loader->getChannels();
  check(decoded == 0 || channels == 1 || channels == 2, "a stored file has one or two channels");
  check(decoded == 0 || loader->getSampleRate() > 0, "a stored file has a sample rate");

  const bool expectReady = decoded > 0 && !warned.load();
  vintrove::fuzz::readBackEverywhere(*loader, expectReady);
  return 0;
}
