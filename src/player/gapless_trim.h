// What gapless playback leaves out of the decoded samples, as mpg123 and ffmpeg do: with a LAME
// tag, the encoder's delay plus libmad's own decoder delay at the start, and the encoder's padding
// less that decoder delay at the end, so that the store holds exactly the encoder's input.
// Without a LAME tag nothing is left out.
#pragma once

#include <algorithm>
#include <cstdint>

#include "player/info_frame.h"

namespace vintrove {

struct GaplessTrim {
  std::int32_t start = 0;    // decoded samples dropped before the first stored one
  std::int32_t endHold = 0;  // samples at the end of the decode that are stored but never shown

  static GaplessTrim of(const InfoFrame& info) {
    if (!info.hasLameTag) return {};
    return {info.encoderDelay + kDecoderDelay, std::max(0, info.encoderPadding - kDecoderDelay)};
  }
};

}  // namespace vintrove
