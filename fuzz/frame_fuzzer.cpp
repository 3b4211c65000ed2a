// Structure-aware libFuzzer target: each input is read as the fields of an MPEG stream
// (frame_stream.h), so the fuzzer's mutations land in headers, side information and frame data
// rather than in the sync search. The stream then goes
//   1. through the loader's whole decode path (ClusterSampleLoader::decodeBytes) from an
//      allocation of exactly its size, as from a file's mapping, with the tail copy at its end;
//   2. frame by frame through libmad, each frame alone in an allocation of its bytes and the 8
//      guard bytes (as the last frame of a file is), one stream throughout, so the bit
//      reservoir carries over: a read past any frame leaves its allocation.
// The sanitizers see any read past; the loader's promises are checked as decode_fuzzer does.
// FRAME_FUZZER_WRITE=path writes each built stream there (to keep a find as an MPEG file).
#include <mad.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "frame_stream.h"
#include "fuzz_checks.h"
#include "platform/message_box.h"
#include "player/cluster_sample_loader.h"
#include "player/loader_owner.h"
#include "player/overview.h"

namespace {

using vintrove::ClusterSampleLoader;
using vintrove::fuzz::check;
using vintrove::fuzz::noteWarning;
using vintrove::fuzz::warned;

class Owner : public vintrove::LoaderOwner {
 public:
  void setLength(std::int32_t frames) override { lastLength = frames; }
  void loadingTick(std::int32_t frames) override {
    if (frames < lastTick) backwards = true;
    lastTick = frames;
  }
  std::int32_t lastLength = -1;
  std::int32_t lastTick = -1;
  bool backwards = false;
};

void decodeThroughTheLoader(const std::vector<unsigned char>& bytes) {
  warned.store(false);
  Owner owner;
  std::vector<unsigned char> pixels(vintrove::kOverviewBytes, 0x5a);
  auto loader = vintrove::makeLoader<ClusterSampleLoader>(&owner);
  check(loader != nullptr, "a loader can be made");
  loader->setOverviewPixels(pixels.data());
  // An allocation of exactly the stream's bytes: nothing after them may be read.
  const auto exact = std::make_unique<unsigned char[]>(bytes.size() + 1);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  check(loader->decodeBytes(bytes.empty() ? nullptr : exact.get(), static_cast<std::int32_t>(bytes.size())),
        "no other load holds the slot");
  const std::int32_t decoded = loader->getDecodedFrames();
  check(decoded >= 0, "decoded frame count is not negative");
  check(owner.lastLength == decoded, "the last length reported is the decoded length");
  check(decoded <= loader->getCapacity() || warned.load(), "decoded frames fit the capacity");
  check(!owner.backwards && (owner.lastTick <= decoded || warned.load()), "progress only rises, up to the length");
  check(decoded == 0 || loader->getSampleRate() > 0, "a stored file has a sample rate");
  vintrove::fuzz::readBackEverywhere(*loader, decoded > 0 && !warned.load());
}

struct Mad {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
};

void decodeFrameByFrame(const vintrove::fuzz::BuiltStream& built) {
  auto mad = std::make_unique<Mad>();
  mad_stream_init(&mad->stream);
  mad_frame_init(&mad->frame);
  mad_synth_init(&mad->synth);
  mad->stream.options = 0;
  for (const auto& [begin, end] : built.frames) {
    const std::size_t size = end - begin + MAD_BUFFER_GUARD;
    const auto alone = std::make_unique<unsigned char[]>(size);
    std::fill(alone.get(), alone.get() + size, 0);
    std::copy(built.bytes.begin() + static_cast<std::ptrdiff_t>(begin),
              built.bytes.begin() + static_cast<std::ptrdiff_t>(end), alone.get());
    mad_stream_buffer(&mad->stream, alone.get(), size);
    if (mad_frame_decode(&mad->frame, &mad->stream) == 0) mad_synth_frame(&mad->synth, &mad->frame);
  }
  mad_frame_finish(&mad->frame);
  mad_stream_finish(&mad->stream);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vintrove::platform::setWarningHandler(&noteWarning);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vintrove::fuzz::BuiltStream built = vintrove::fuzz::buildStream(data, size);
  if (const char* path = std::getenv("FRAME_FUZZER_WRITE")) {
    if (std::FILE* out = std::fopen(path, "wb")) {
      std::fwrite(built.bytes.data(), 1, built.bytes.size(), out);
      std::fclose(out);
    }
  }
  decodeThroughTheLoader(built.bytes);
  decodeFrameByFrame(built);
  return 0;
}
