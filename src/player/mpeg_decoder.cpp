#include "player/mpeg_decoder.h"

#include <cstring>
#include <new>

namespace vintrove {

struct MpegDecoder::State {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  mad_header scanHeader;
};

MpegDecoder::MpegDecoder() : state_(new (std::nothrow) State) {
  if (state_) {
    mad_stream_init(&state_->stream);
    mad_frame_init(&state_->frame);
    mad_synth_init(&state_->synth);
    mad_header_init(&state_->scanHeader);
    state_->stream.options = 0;
  }
}

MpegDecoder::~MpegDecoder() {
  if (state_) {
    mad_frame_finish(&state_->frame);
    mad_stream_finish(&state_->stream);
  }
}

void MpegDecoder::attach(const unsigned char* data, std::int32_t size) {
  data_ = data;
  size_ = size > 0 ? size : 0;
  rewind();
}

void MpegDecoder::rewind() {
  inTail_ = false;
  tailAudio_ = 0;
  mad_stream_buffer(&state_->stream, data_, static_cast<unsigned long>(size_));
}

InfoFrame MpegDecoder::takeInfoFrame() {
  mad_stream& stream = state_->stream;
  InfoFrame info;
  if (mad_header_decode(&state_->scanHeader, &stream) == 0 && stream.this_frame != nullptr &&
      stream.next_frame != nullptr && stream.next_frame > stream.this_frame &&
      stream.next_frame <= data_ + size_) {
    info = readInfoFrame(stream.this_frame, static_cast<std::int32_t>(stream.next_frame - stream.this_frame));
    if (info.present()) {
      size_ -= static_cast<std::int32_t>(stream.next_frame - data_);
      data_ = stream.next_frame;
    }
  }
  rewind();
  return info;
}

MpegDecoder::Scan MpegDecoder::scanBitRate(int maxAttempts) {
  float sum = 0.0f;
  int count = 0;
  for (int attempt = 0; attempt < maxAttempts; ++attempt) {
    if (mad_header_decode(&state_->scanHeader, &state_->stream) == 0) {
      sum += static_cast<float>(state_->scanHeader.bitrate);
      ++count;
    } else if (!MAD_RECOVERABLE(state_->stream.error)) {
      break;
    }
  }
  Scan scan{count > 0 ? sum / static_cast<float>(count) : 128000.0f};
  rewind();
  return scan;
}

bool MpegDecoder::moveRestToTail() {
  const mad_stream& stream = state_->stream;
  const unsigned char* rest = stream.next_frame != nullptr ? stream.next_frame : stream.this_frame;
  const unsigned char* end = data_ + size_;
  if (rest == nullptr || rest < data_ || rest > end) rest = end;
  tailAudio_ = static_cast<std::size_t>(end - rest);
  // Once per load, at the very end of the file; the frame loop itself allocates nothing.
  try {
    tail_.assign(tailAudio_ + MAD_BUFFER_GUARD, 0);
  } catch (...) {
    return false;
  }
  if (tailAudio_ > 0) std::memcpy(tail_.data(), rest, tailAudio_);
  inTail_ = true;
  mad_stream_buffer(&state_->stream, tail_.data(), static_cast<unsigned long>(tail_.size()));
  return true;
}

MpegDecoder::Result MpegDecoder::decodeFrame() {
  mad_stream& stream = state_->stream;
  for (;;) {
    if (mad_frame_decode(&state_->frame, &stream) == 0) {
      return Result::kDecoded;
    }
    if (stream.error == MAD_ERROR_BUFLEN && !inTail_) {
      if (!moveRestToTail()) return Result::kEnd;
      continue;
    }
    if (inTail_ && stream.this_frame != nullptr &&
        stream.this_frame >= tail_.data() + tailAudio_) {
      return Result::kEnd;  // inside the padding: the file has ended
    }
    return MAD_RECOVERABLE(stream.error) ? Result::kRecoverable : Result::kEnd;
  }
}

const mad_header& MpegDecoder::header() const { return state_->frame.header; }

const mad_pcm& MpegDecoder::synthesize() {
  mad_synth_frame(&state_->synth, &state_->frame);
  return state_->synth.pcm;
}

}  // namespace vintrove
