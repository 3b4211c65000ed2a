// Where a stream's first frame lies in its audio range. Taggers leave zero padding or junk
// between a tag and the first frame, and junk can hold a sync word that reads as a header: a
// header counts as the first frame only when the next one confirms it, a header of the same
// stream (version, layer, sample rate) exactly where the first one says its frame ends, or the
// end of the range right there. A free format header, which leaves its size open, is confirmed
// by a header of its stream within kLargestFreeFormatFrame bytes. The search looks at most
// kStreamStartSearch bytes into the range, as robust decoders bound their resync.
#pragma once

#include <cstdint>

#include "player/frame_header.h"

namespace vintrove {

inline constexpr std::int32_t kStreamStartSearch = 64 * 1024;
inline constexpr std::int32_t kLargestFreeFormatFrame = 8 * 1024;

struct StreamStart {
  std::int32_t offset = -1;  // of the first confirmed header; -1 when none was found
  FrameHeader header;        // that header

  bool found() const { return offset >= 0; }
};

StreamStart findStreamStart(const unsigned char* data, std::int32_t size);

}  // namespace vintrove
