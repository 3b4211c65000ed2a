// What a load decides about its stream before it stores anything: where the stream starts, its
// format, channels and rates, the gapless trim, the length it first reports and the store's
// capacity. Worked out once, from the file's bytes and its first frame, so that the frame loop
// only follows it.
#pragma once

#include <cstdint>

#include "player/gapless_trim.h"
#include "player/mpeg_decoder.h"

namespace vintrove {

// What a frame must be to belong to the stream; others (false syncs in junk, a joined file of
// another rate) store nothing.
struct StreamFormat {
  int layer = 0;
  std::int32_t sampleRate = 0;
  bool freeFormat = false;

  bool holds(const mad_header& header) const {
    return static_cast<int>(header.layer) == layer && static_cast<std::int32_t>(header.samplerate) == sampleRate &&
           ((header.flags & MAD_FLAG_FREEFORMAT) != 0) == freeFormat;
  }
};

struct StreamPlan {
  bool found = false;  // a frame of the stream decoded; the decoder holds it, not yet synthesized
  StreamFormat format;
  std::int32_t sampleRate = 0;  // 0 when nothing was found
  std::int32_t channels = 2;    // of the first frame
  std::int32_t bitRate = 0;     // average of the scanned headers
  GaplessTrim trim;
  std::int32_t firstLength = 0;  // exact when the encoder counted its frames, else estimated
  std::int32_t capacity = 0;     // frames the store is first made for, at most storeLimit
};

// Attaches the decoder to the stream in size bytes at data (tags left out) and decodes up to its
// first frame.
StreamPlan planStream(MpegDecoder& decoder, const unsigned char* data, std::int32_t size, std::int32_t storeLimit);

}  // namespace vintrove
