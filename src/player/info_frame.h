// The encoder's information frame at the start of most MP3 files: a Xing or Info header (LAME,
// ffmpeg and most encoders) or a VBRI header (Fraunhofer), in a frame that carries no audio. Its
// frame count gives the exact length before anything is decoded, and a LAME tag after the Xing
// fields (written by LAME and by ffmpeg) gives the encoder's delay and padding, which gapless
// players trim so that exactly the encoder's input is heard.
//
// Layout read here (all big-endian but the LAME tag's 12-bit pairs, which are packed the same way):
//   Xing/Info at 4 + side-info bytes (+2 after a CRC): magic, flags, [frames], [bytes], [100 TOC
//   bytes], [quality]; then the LAME tag: 9 bytes of encoder name, 12 bytes we skip, 3 bytes of
//   delay (12 bits) and padding (12 bits).
//   VBRI at 36: magic, version (2), delay (2), quality (2), bytes (4), frames (4).
#pragma once

#include <cstdint>

namespace vintrove {

struct InfoFrame {
  enum class Kind { kNone, kXing, kVbri };
  Kind kind = Kind::kNone;
  std::int64_t frames = -1;        // audio frames after this one; -1 when not given
  std::int32_t samplesPerFrame = 0;
  bool hasLameTag = false;         // encoder delay and padding below are the encoder's word
  std::int32_t encoderDelay = 0;   // samples the encoder put before the input
  std::int32_t encoderPadding = 0; // samples it put after the input

  bool present() const { return kind != Kind::kNone; }
};

// Reads the frame of frameBytes bytes at frame (its header first). Reads nothing beyond
// frameBytes; anything that does not fit or does not look like such a frame gives kind kNone.
InfoFrame readInfoFrame(const unsigned char* frame, std::int32_t frameBytes);

// libmad's own synthesis delay for layer III, which gapless trimming adds to the encoder delay.
inline constexpr std::int32_t kDecoderDelay = 529;

}  // namespace vintrove
