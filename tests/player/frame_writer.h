// Writes MPEG audio frames from their fields, for tests and the fuzzer: a header of any version,
// layer, rate and bit rate, and for layer III the side information field by field and the main
// data as given, so that a hostile frame is stated by the fields that make it hostile. Layouts
// after ISO/IEC 11172-3 and 13818-3: header (32 bits), CRC word (16 bits, when protected), then
// the layer's data.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vintrove::test {

using FrameBytes = std::vector<unsigned char>;

// MSB first, as MPEG streams are written.
class BitWriter {
 public:
  void put(std::uint32_t value, int bits);
  // Pads with zero bits to the next whole byte.
  void align();
  std::int64_t bitCount() const { return bits_; }
  const FrameBytes& bytes() const { return bytes_; }

 private:
  FrameBytes bytes_;
  std::int64_t bits_ = 0;
};

enum class MpegVersion { kMpeg1, kMpeg2, kMpeg25 };
enum class ChannelMode { kStereo = 0, kJointStereo = 1, kDualChannel = 2, kMono = 3 };

struct FrameHeaderFields {
  MpegVersion version = MpegVersion::kMpeg1;
  int layer = 3;             // 1, 2 or 3
  bool protection = false;   // a CRC word follows the header
  int bitRateIndex = 9;      // 1..14; 0 is free format
  int rateIndex = 0;         // 0..2
  bool padding = false;
  ChannelMode mode = ChannelMode::kJointStereo;
  int modeExtension = 0;
  int emphasis = 0;

  int channels() const { return mode == ChannelMode::kMono ? 1 : 2; }
  bool lsf() const { return version != MpegVersion::kMpeg1; }
};

int bitRateKbps(const FrameHeaderFields& header);
int sampleRateHz(const FrameHeaderFields& header);
// Bytes of the whole frame, header included; 0 for free format.
int frameBytes(const FrameHeaderFields& header);
// Bytes of layer III side information: 17 or 32 (MPEG-1), 9 or 17 (MPEG-2 and 2.5).
int layer3SideInfoBytes(const FrameHeaderFields& header);
void putHeader(BitWriter& bits, const FrameHeaderFields& header);

// The CRC-16 of MPEG audio (polynomial 0x8005, start 0xFFFF) over `bits` bits of data from its
// first byte, continuing from crc.
std::uint16_t mpegCrc(const unsigned char* data, std::int64_t bits, std::uint16_t crc = 0xFFFF);

// One granule of one channel.
struct Layer3Granule {
  std::uint32_t part2_3_length = 0;
  std::uint32_t big_values = 0;
  std::uint32_t global_gain = 0;
  std::uint32_t scalefac_compress = 0;  // 4 bits (MPEG-1) or 9 bits (LSF)
  bool window_switching = false;
  std::uint32_t block_type = 0;         // with window switching: 1, 2 or 3
  bool mixed_block = false;
  std::array<std::uint32_t, 3> table_select{};  // two with window switching
  std::array<std::uint32_t, 3> subblock_gain{};
  std::uint32_t region0_count = 0;
  std::uint32_t region1_count = 0;
  bool preflag = false;  // MPEG-1 only
  bool scalefac_scale = false;
  bool count1table_select = false;
};

struct Layer3Frame {
  FrameHeaderFields header;
  std::uint32_t main_data_begin = 0;
  std::uint32_t private_bits = 0;
  std::array<std::uint32_t, 2> scfsi{};                 // MPEG-1 only
  std::array<std::array<Layer3Granule, 2>, 2> granules{};  // [granule][channel]; LSF uses one
  FrameBytes mainData;  // after the side information, cut or zero-padded to the frame
  int freeFormatBytes = 0;  // the frame's size when the header is free format
};

// The frame's bytes; the CRC word, when protected, is computed over the side information as a
// decoder checks it.
FrameBytes writeLayer3Frame(const Layer3Frame& frame);

}  // namespace vintrove::test
