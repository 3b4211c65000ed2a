#include "player/stream_start.h"

#include <algorithm>

namespace vintrove {

namespace {

bool confirmedAt(const unsigned char* data, std::int32_t size, std::int32_t at, const FrameHeader& first) {
  if (!first.freeFormat()) {
    if (first.frameBytes > size - at) return false;
    const std::int32_t next = at + first.frameBytes;
    if (next == size) return true;  // the only frame, or the last of a cut range
    FrameHeader following;
    return readFrameHeader(data + next, size - next, following) && sameStream(first, following);
  }
  const std::int32_t end = static_cast<std::int32_t>(std::min<std::int64_t>(size, std::int64_t{at} + kLargestFreeFormatFrame));
  for (std::int32_t next = at + 4; next < end; ++next) {
    FrameHeader following;
    if (readFrameHeader(data + next, size - next, following) && sameStream(first, following)) return true;
  }
  return false;
}

}  // namespace

StreamStart findStreamStart(const unsigned char* data, std::int32_t size) {
  StreamStart start;
  if (data == nullptr || size <= 0) return start;
  const std::int32_t last = std::min(size, kStreamStartSearch);
  for (std::int32_t at = 0; at < last; ++at) {
    FrameHeader header;
    if (readFrameHeader(data + at, size - at, header) && confirmedAt(data, size, at, header)) {
      start.offset = at;
      start.header = header;
      return start;
    }
  }
  return start;
}

}  // namespace vintrove
