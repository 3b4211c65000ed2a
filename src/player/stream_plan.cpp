#include "player/stream_plan.h"

#include <algorithm>
#include <limits>

#include "host/safe_convert.h"
#include "player/audio_range.h"
#include "player/stream_start.h"

namespace vintrove {

namespace {

constexpr int kScanAttempts = 1000;
constexpr std::int32_t kDefaultEstimate = 2646000;  // 60 s at 44100 Hz
constexpr float kCapacityMargin = 1.1f;

std::int32_t clampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::int32_t>::max()));
}

// Decodes up to the first frame of the stream: of the confirmed start's format when there is
// one, else whatever frame libmad's own sync finds first, which then sets the format.
bool decodeFirstFrame(MpegDecoder& decoder, const StreamStart& start, StreamFormat& format) {
  if (start.found()) {
    format = {start.header.layer, start.header.sampleRate, start.header.freeFormat()};
  }
  for (;;) {
    const MpegDecoder::Result result = decoder.decodeFrame();
    if (result == MpegDecoder::Result::kEnd) return false;
    if (result != MpegDecoder::Result::kDecoded) continue;
    const mad_header& header = decoder.header();
    if (!start.found()) {
      format = {static_cast<int>(header.layer), static_cast<std::int32_t>(header.samplerate),
                (header.flags & MAD_FLAG_FREEFORMAT) != 0};
      return true;
    }
    if (format.holds(header)) return true;
  }
}

}  // namespace

StreamPlan planStream(MpegDecoder& decoder, const unsigned char* data, std::int32_t size, std::int32_t storeLimit) {
  StreamPlan plan;
  const AudioRange range = findAudioRange(data, size);
  const StreamStart start = findStreamStart(data + range.begin, range.size());
  // Without a confirmed header libmad's own sync looks for the stream from the range's start.
  const std::int32_t skipped = start.found() ? start.offset : 0;
  const std::int32_t audioBytes = range.size() - skipped;
  decoder.attach(data + range.begin + skipped, audioBytes);
  const InfoFrame info = decoder.takeInfoFrame();
  const MpegDecoder::Scan scan = decoder.scanBitRate(kScanAttempts);
  plan.bitRate = truncateToInt32(scan.averageBitRate);

  plan.found = decodeFirstFrame(decoder, start, plan.format);
  if (plan.found) {
    plan.sampleRate = plan.format.sampleRate;
    plan.channels = static_cast<std::int32_t>(MAD_NCHANNELS(&decoder.header()));
  }

  plan.trim = GaplessTrim::of(info);
  const double average = scan.averageBitRate;
  const std::int32_t estimate =
      average > 0.0 ? truncateToInt32(plan.sampleRate / average * audioBytes * 8.0) : kDefaultEstimate;
  const std::int32_t estimateCapacity =
      truncateToInt32(static_cast<double>(static_cast<float>(estimate) * kCapacityMargin));
  plan.firstLength = estimate;
  plan.capacity = estimateCapacity;
  if (plan.trim.exactLength() > 0) {
    // The encoder counted its frames: the length is exact before anything is decoded. A count
    // far beyond what the bytes can hold is not believed for the memory it would take.
    plan.firstLength = clampToInt32(plan.trim.exactLength());
    plan.capacity = clampToInt32(std::min<std::int64_t>(plan.trim.countedEnd, 2 * std::int64_t{estimateCapacity}));
  }
  plan.capacity = std::min(plan.capacity, storeLimit);
  return plan;
}

}  // namespace vintrove
