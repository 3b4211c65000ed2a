// The structure-aware fuzzer's input format: the fuzzer's bytes are read as the fields of an MPEG
// stream, so that every input is a stream of syntactically valid frames (every version, layer,
// mode, rate and bit rate, free format too) whose side information and data are the fuzzer's:
// main_data_begin, part2_3_length, big_values, block types, scalefac_compress, table selects,
// layer I and II allocations and scale factor selection. Byte mutation rarely gets past a sync
// search; here every mutation lands in a decoder's field.
//
// The bytes are read as bits, MSB first; past the input's end every field reads as 0.
//   stream   8 bits: 0x80 an ID3v2 tag in front; 0x70 what lies before the first frame (0 nothing,
//            1, 2, 3, 4: 1, 4, 64, 1000 zero bytes, 5: 1000 bytes of junk, 6: a whole layer I frame
//            of another stream); 0x08 an Info frame with a LAME tag first; 0x04 8 zero bytes after
//            the last frame
//   Info     frames 32, delay 12, padding 12 (only with 0x08)
//   frames   up to 32, while at least 16 bits of input are left; each:
//     keep 1: the previous frame's version, layer, rate, mode and protection, else
//       version 2 (01 reads as MPEG-1), layer 2 (00 reads as III), rate 2 (3 reads as 0),
//       mode 2, protection 1
//     bit rate index 4 (15 reads as 14), padding 1, mode extension 2, emphasis 2;
//     free format (index 0) keeps one size for the stream: free size 12 (+ 24 bytes) when first
//     layer III: bad CRC 1, main_data_begin policy 2 (0: 0, 1: the raw value, 2: the raw value
//       within the reservoir, 3: the whole reservoir) and raw value 9 (8 for LSF), private bits,
//       scfsi 4 per channel (MPEG-1), part2_3_length policy 2 (0: the raw values, 1: the main data
//       shared by the raw values as weights, 2: shared evenly but the last granule gets 0,
//       3: shared by weight less up to 15 bits each), then per granule and channel
//       part2_3_length 12, big_values 9, big_values kept to 288 1, global_gain 8,
//       scalefac_compress 4 (9 for LSF), window switching 1, then block type 2, mixed 1,
//       2 table selects 5, 3 subblock gains 3, or 3 table selects 5, region0 4, region1 3;
//       preflag 1 (MPEG-1), scalefac_scale 1, count1 table 1; main data fill 2 (0: the input's
//       bytes, 1: zeros, 2: 0xFF, 3: one input byte repeated)
//     layer I and II: a mask 8 applied to every byte of the frame's data, the CRC word 16 when
//       protected, then the frame's data from the input
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vintrove::fuzz {

struct BuiltStream {
  std::vector<unsigned char> bytes;
  // Where each frame lies in bytes: [begin, end).
  std::vector<std::pair<std::size_t, std::size_t>> frames;
};

BuiltStream buildStream(const std::uint8_t* data, std::size_t size);

// Reads the input as fields.
class FieldReader {
 public:
  FieldReader(const std::uint8_t* data, std::size_t size) : data_(data), bits_(size * 8) {}
  std::uint32_t take(int bits);
  std::size_t bitsLeft() const { return at_ < bits_ ? bits_ - at_ : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t bits_;
  std::size_t at_ = 0;
};

// Writes an input from fields, in the order buildStream reads them (for seeds).
class FieldWriter {
 public:
  void put(std::uint32_t value, int bits);
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bits_ = 0;
};

}  // namespace vintrove::fuzz
