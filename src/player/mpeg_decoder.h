// One load's libmad session over a mapped file: the bit-rate scan, then frame after frame.
//
// libmad decodes a frame only when MAD_BUFFER_GUARD bytes follow it, so decoding straight from
// the mapping would lose the file's last frame. When the mapping runs out, the undecoded rest is
// copied once into a small buffer followed by zero guard bytes and decoding goes on there; an
// error met inside that padding is the end of the file, not a frame to repeat. The caller
// attaches only the file's audio range (tags left out); an encoder's information frame at its
// start is read by takeInfoFrame and then left out of the decode.
#pragma once

#include <mad.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "player/info_frame.h"

namespace vintrove {

class MpegDecoder {
 public:
  enum class Result { kDecoded, kRecoverable, kEnd };

  struct Scan {
    float averageBitRate;  // bit/s; 128000 when no header decoded
  };

  MpegDecoder();
  ~MpegDecoder();
  MpegDecoder(const MpegDecoder&) = delete;
  MpegDecoder& operator=(const MpegDecoder&) = delete;

  // False when the decoder state could not be allocated.
  bool valid() const { return state_ != nullptr; }

  void attach(const unsigned char* data, std::int32_t size);
  // Reads the first frame's header; when that frame is a Xing, Info or VBRI frame, the decode
  // starts after it. Call before anything else is decoded.
  InfoFrame takeInfoFrame();
  // Averages the bit rate over up to maxAttempts header decodes, then rewinds to the start.
  Scan scanBitRate(int maxAttempts);
  Result decodeFrame();
  // The header of the frame last decoded.
  const mad_header& header() const;
  // Synthesises the frame last decoded; only meaningful after kDecoded.
  const mad_pcm& synthesize();

 private:
  struct State;
  void rewind();
  bool moveRestToTail();

  std::unique_ptr<State> state_;
  const unsigned char* data_ = nullptr;
  std::int32_t size_ = 0;
  std::vector<unsigned char> tail_;
  bool inTail_ = false;
  std::size_t tailAudio_ = 0;  // bytes of the tail that are file data, not padding
};

}  // namespace vintrove
