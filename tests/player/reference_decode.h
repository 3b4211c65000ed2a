// A plain libmad decode of a whole MPEG audio file, the yardstick that decoded output is compared
// with sample for sample. The buffer is the file's bytes followed by MAD_BUFFER_GUARD (8) zero
// bytes, so the last frame decodes too. Frames that fail with a recoverable error are skipped
// (nothing is synthesised for them); BUFLEN or a non-recoverable error ends the decode.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vintrove::test {

struct ReferenceDecode {
  int channels = 0;        // of the first decoded frame; 0 when none decoded
  int sampleRate = 0;      // Hz, of the first decoded frame
  int layer = 0;           // 1, 2 or 3, of the first decoded frame
  long bitRate = 0;        // bit/s, of the first decoded frame
  int frames = 0;          // MPEG frames decoded and synthesised
  int recoverableErrors = 0;  // the lost sync in the guard bytes after the last frame included
  // One vector per channel: each sample as static_cast<float>(fixed) * 2^-28.
  std::vector<std::vector<float>> samples;
};

ReferenceDecode referenceDecode(const std::vector<unsigned char>& fileBytes);

// The plain decode of MPEG-1 layer I frames first .. first + count - 1 of a stream (fewer at its
// end), without decoding the whole stream: a layer I frame holds nothing of earlier frames, and
// the synthesis filter's memory (512 samples) is filled by decoding from up to three frames
// earlier, whose output is dropped. The samples equal those of the whole decode.
ReferenceDecode referenceDecodeLayer1Frames(const std::vector<unsigned char>& streamBytes, long first,
                                            long count);

// Throws std::runtime_error when the file cannot be read.
ReferenceDecode referenceDecodeFile(const std::string& path);
std::vector<unsigned char> readFileBytes(const std::string& path);

// Byte offsets of the frames of a clean file, as libmad's header decode finds them.
std::vector<std::size_t> frameOffsets(const std::vector<unsigned char>& file);

}  // namespace vintrove::test
