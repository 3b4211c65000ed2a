// What gapless playback leaves out of the decoded samples, as mpg123 does: with a LAME tag, the
// encoder's delay plus libmad's own decoder delay at the start, and at the end the encoder's
// padding less that decoder delay, trimmed against the frame count of the Info frame: only a
// decode that reaches the end the count gives ends with padding, so a file cut short keeps every
// sample it has, and a whole file ends exactly on the encoder's input. Without a LAME tag nothing
// is left out; without a frame count (or a count of 0) nothing at the end.
#pragma once

#include <algorithm>
#include <cstdint>

#include "player/info_frame.h"

namespace vintrove {

struct GaplessTrim {
  std::int32_t start = 0;        // decoded samples dropped before the first stored one
  std::int32_t endHold = 0;      // padding at the end of a whole file
  std::int64_t countedEnd = -1;  // stored frames of the whole file, padding included; -1: no count

  static GaplessTrim of(const InfoFrame& info) {
    GaplessTrim trim;
    if (info.hasLameTag) {
      trim.start = info.encoderDelay + kDecoderDelay;
      trim.endHold = std::max(0, info.encoderPadding - kDecoderDelay);
    }
    if (info.frames > 0) trim.countedEnd = std::max<std::int64_t>(0, info.frames * info.samplesPerFrame - trim.start);
    if (trim.countedEnd < 0) trim.endHold = 0;
    return trim;
  }

  // The length the count gives once the padding is trimmed; -1 without a count.
  std::int64_t exactLength() const { return countedEnd < 0 ? -1 : std::max<std::int64_t>(0, countedEnd - endHold); }

  // What of `stored` frames plays while the decode goes on: everything up to the exact length,
  // beyond it (a count that says too little) all but what may yet turn out to be padding.
  std::int32_t shownWhileDecoding(std::int32_t stored) const {
    if (endHold == 0 || stored <= exactLength()) return stored;
    return static_cast<std::int32_t>(std::max<std::int64_t>(exactLength(), std::int64_t{stored} - endHold));
  }

  // What plays once the decode has ended with `stored` frames: the padding goes only where the
  // file has reached the end its count gives.
  std::int32_t shownAtEnd(std::int32_t stored) const {
    if (endHold == 0 || stored < countedEnd) return stored;
    return std::max(0, stored - endHold);
  }
};

}  // namespace vintrove
