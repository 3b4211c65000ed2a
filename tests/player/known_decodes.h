// What independent decoders make of the committed test files, measured once with mpg123 and
// ffmpeg (tests/data/measure-references.sh, tests/data/README.md), and the plain libmad decode
// trimmed to match: the yardstick for everything that plays a file through the loader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "reference_decode.h"
#include "test_data.h"

namespace vintrove::test {

// What mpg123 1.31.2 (gapless, its default) decodes from a committed file, and where in a plain
// libmad decode of the whole file (Info frame included) its first sample lies, found by
// aligning the two decodes (they then agree within 2e-6 over the whole file). ffmpeg 5.1
// decodes the same frame counts.
struct KnownDecode {
  const char* name;
  std::int32_t mpg123Frames;
  std::int32_t libmadOffset;  // info frame + encoder delay + 529 for files with a LAME tag
  bool hasInfoFrame;
  float mpg123Samples[4];  // left and right at frames 0 and 1000
};

inline constexpr KnownDecode kKnownDecodes[] = {
    {"l3_44k1_stereo_128k.mp3", 132300, 2257, true, {0.00372978f, 0.00485738f, -0.0675959f, -0.101043f}},
    {"l3_32k_stereo_vbr.mp3", 96000, 2257, true, {0.000247657f, 0.13783f, 0.246617f, -0.00476283f}},
    {"l3_22k05_stereo_vbr.mp3", 66150, 1681, true, {0.00253546f, 0.0050385f, 0.398099f, -0.355694f}},
    {"l3_44k1_stereo_ffmpeg.mp3", 88200, 2257, true, {0.0046534f, 0.00559922f, 0.0507181f, 0.084375f}},
    {"l3_44k1_stereo_128k_notag.mp3", 133632, 0, false, {0, 0, -0.000131798f, -0.00137413f}},
    {"l3_44k1_stereo_id3.mp3", 89856, 0, false, {0, 0, 0.000962302f, 0.000328084f}},
    {"l3_48k_stereo_320k.mp3", 97920, 0, false, {0, 0, -0.000225925f, -0.00110019f}},
    {"l3_22k05_mono_64k.mp3", 45504, 0, false, {0, 0, 0.000227246f, 0.000227246f}},
    {"l2_48k_stereo_192k.mp2", 96768, 0, false, {0, 0, -0.410626f, 0.0603588f}},
    {"l2_32k_mono_64k.mp2", 64512, 0, false, {0, 0, 0.242391f, 0.242391f}},
    {"l2_44k1_mono_pink.mp2", 66816, 0, false, {0, 0, -0.0230305f, -0.0230305f}},
};

// The plain libmad decode of a committed file cut to what mpg123 decodes from it (frames from
// libmadOffset on); files the table does not name are returned whole.
inline ReferenceDecode gaplessReferenceFile(const std::string& name) {
  ReferenceDecode decode = referenceDecodeFile(testDataPath(name));
  for (const KnownDecode& known : kKnownDecodes) {
    if (name != known.name) continue;
    for (auto& channel : decode.samples) {
      const auto end = std::min<std::size_t>(channel.size(), static_cast<std::size_t>(known.libmadOffset) + known.mpg123Frames);
      channel.assign(channel.begin() + std::min<std::size_t>(channel.size(), static_cast<std::size_t>(known.libmadOffset)),
                     channel.begin() + end);
    }
  }
  return decode;
}

}  // namespace vintrove::test
