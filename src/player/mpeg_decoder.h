// One load's libmad session over a mapped file: the bit-rate scan, then frame after frame.
//
// libmad decodes a frame only when MAD_BUFFER_GUARD bytes follow it, so decoding straight from
// the mapping would lose the file's last frame. When the mapping runs out, the undecoded rest is
// copied once into a small buffer followed by zero guard bytes and decoding goes on there; an
// error met inside that padding is the end of the file, not a frame to repeat. A trailing ID3v1
// tag is not audio and is left out of the decoded range.
#pragma once

#include <mad.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace vintrove {

class MpegDecoder {
 public:
  enum class Result { kDecoded, kRecoverable, kEnd };

  struct Scan {
    float averageBitRate;    // bit/s; 128000 when no header decoded
    std::int32_t sampleRate; // of the last header decoded, 0 when none was
  };

  MpegDecoder();
  ~MpegDecoder();
  MpegDecoder(const MpegDecoder&) = delete;
  MpegDecoder& operator=(const MpegDecoder&) = delete;

  // False when the decoder state could not be allocated.
  bool valid() const { return state_ != nullptr; }

  // The audio bytes of a file: everything but a trailing ID3v1 tag.
  static std::int32_t audioLength(const unsigned char* data, std::int32_t size);

  void attach(const unsigned char* data, std::int32_t size);
  // Averages the bit rate over up to maxAttempts header decodes, then rewinds to the start.
  Scan scanBitRate(int maxAttempts);
  Result decodeFrame();
  // Synthesises the frame last decoded (after a recoverable error: the previous one again).
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
