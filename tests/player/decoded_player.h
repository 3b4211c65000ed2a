// A player with a whole test file decoded and the file's plain decode beside it, for tests that
// compare what the player renders with the stored frames.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "loader_test_support.h"
#include "player_test_support.h"
#include "reference_decode.h"
#include "test_data.h"

namespace vintrove::test {

inline const char* const kDecodedFile = "l3_44k1_stereo_128k_notag.mp3";  // 440 and 660 Hz, -6 dB

struct Stereo {
  std::vector<float> left;
  std::vector<float> right;
};

// A player with the placeholder editor (keys and automation act), the whole test file decoded,
// stopped at frame 0 after one silent block, 44.1 kHz host, pitch 0; Smooth as asked.
struct DecodedPlayer {
  explicit DecodedPlayer(bool smooth = true) {
    player().setSmooth(smooth);
    player().loadFile(testDataPath(kDecodedFile).c_str());
    ClusterSampleLoader& loader = *player().getLoader();
    loaded = waitUntil(
        [&] { return loader.isComplete() && player().getLength() == loader.getDecodedFrames(); });
    reference = referenceDecodeFile(testDataPath(kDecodedFile));
    player().setPlaying(false);
    player().setPitch(0.5f);
    player().setPosition(0.0f);
    render(512);
    ramp = static_cast<std::int32_t>(std::lround(44100.0 * 0.005));
  }
  PlayerEffect& player() { return *p.player; }
  Stereo render(std::int32_t frames) {
    Stereo out{std::vector<float>(static_cast<std::size_t>(frames), 9.0f),
               std::vector<float>(static_cast<std::size_t>(frames), 9.0f)};
    float* outputs[2] = {out.left.data(), out.right.data()};
    player().processReplacing(nullptr, outputs, frames);
    return out;
  }
  float stored(int channel, std::int64_t frame) const {
    return reference.samples[static_cast<std::size_t>(channel)][static_cast<std::size_t>(frame)];
  }
  // The largest sample-to-sample step of the file's own left channel over a stretch.
  float musicStep(std::int64_t from, std::int64_t count) const {
    float largest = 0.0f;
    for (std::int64_t i = from + 1; i < from + count; ++i) {
      largest = std::max(largest, std::fabs(stored(0, i) - stored(0, i - 1)));
    }
    return largest;
  }

  PlaceholderPlayer p;
  ReferenceDecode reference;
  bool loaded = false;
  std::int32_t ramp = 0;
};

}  // namespace vintrove::test
