// Where the audio of an MPEG file lies: the bytes left once the tags around it are set aside.
// Tags are not audio, and a cover picture inside one holds byte pairs that look like frame sync
// words, so the decoder and the length estimate must only ever see this range.
//
// At the start: any number of ID3v2 tags in a row (versions 2.2, 2.3 and 2.4, with or without a
// footer). At the end, peeled in any order until none is left: ID3v1, APEv2 (with or without its
// header), Lyrics3v2 and an appended ID3v2 tag with a footer. A WAVE file's audio is its data
// chunk when its format is MPEG audio; a WAVE file of any other format (PCM) holds none, nor does
// an AIFF file. Only the
// tags' and chunks' sizes are read; every size is checked against the bytes that are there before
// it is believed.
#pragma once

#include <cstdint>

namespace vintrove {

struct AudioRange {
  std::int32_t begin = 0;  // first byte of audio
  std::int32_t end = 0;    // one past the last byte of audio; never below begin

  std::int32_t size() const { return end - begin; }
  friend bool operator==(const AudioRange&, const AudioRange&) = default;
};

// The audio range of size bytes at data. A tag at the start that claims more bytes than the file
// has leaves nothing to decode (the file ends inside the tag).
AudioRange findAudioRange(const unsigned char* data, std::int32_t size);

// Bytes of the ID3v2 tag that starts at data (header, body and footer), 0 when none starts there;
// may exceed size when the tag claims more than is there.
std::int64_t id3v2TagSize(const unsigned char* data, std::int32_t size);

// Bytes of the one tag that ends at data + size (ID3v1, APEv2, Lyrics3v2 or an ID3v2 tag with a
// footer), 0 when none ends there or it would reach before data.
std::int32_t trailingTagSize(const unsigned char* data, std::int32_t size);

}  // namespace vintrove
