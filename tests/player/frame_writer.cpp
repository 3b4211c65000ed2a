#include "frame_writer.h"

#include <algorithm>

namespace vintrove::test {
namespace {

// kbit/s by [MPEG-1 or not][layer - 1][index].
constexpr int kBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

}  // namespace

void BitWriter::put(std::uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1u) bytes_.back() |= static_cast<unsigned char>(0x80u >> (bits_ % 8));
    ++bits_;
  }
}

void BitWriter::align() {
  while (bits_ % 8 != 0) put(0, 1);
}

int bitRateKbps(const FrameHeaderFields& header) {
  const int index = std::clamp(header.bitRateIndex, 0, 14);
  return kBitRates[header.lsf() ? 1 : 0][std::clamp(header.layer, 1, 3) - 1][index];
}

int sampleRateHz(const FrameHeaderFields& header) {
  return kRates[static_cast<int>(header.version)][std::clamp(header.rateIndex, 0, 2)];
}

int frameBytes(const FrameHeaderFields& header) {
  const long bitRate = bitRateKbps(header) * 1000L;
  const long rate = sampleRateHz(header);
  const int pad = header.padding ? 1 : 0;
  if (bitRate == 0) return 0;
  if (header.layer == 1) return static_cast<int>((12 * bitRate / rate + pad) * 4);
  const long slots = header.layer == 3 && header.lsf() ? 72 : 144;
  return static_cast<int>(slots * bitRate / rate + pad);
}

int layer3SideInfoBytes(const FrameHeaderFields& header) {
  if (header.lsf()) return header.channels() == 1 ? 9 : 17;
  return header.channels() == 1 ? 17 : 32;
}

void putHeader(BitWriter& bits, const FrameHeaderFields& header) {
  static constexpr std::uint32_t kVersionBits[] = {3, 2, 0};
  bits.put(0x7FF, 11);
  bits.put(kVersionBits[static_cast<int>(header.version)], 2);
  bits.put(static_cast<std::uint32_t>(4 - header.layer), 2);
  bits.put(header.protection ? 0 : 1, 1);
  bits.put(static_cast<std::uint32_t>(header.bitRateIndex), 4);
  bits.put(static_cast<std::uint32_t>(header.rateIndex), 2);
  bits.put(header.padding ? 1 : 0, 1);
  bits.put(0, 1);  // private
  bits.put(static_cast<std::uint32_t>(header.mode), 2);
  bits.put(static_cast<std::uint32_t>(header.modeExtension), 2);
  bits.put(0, 2);  // copyright, original
  bits.put(static_cast<std::uint32_t>(header.emphasis), 2);
}

std::uint16_t mpegCrc(const unsigned char* data, std::int64_t bits, std::uint16_t crc) {
  for (std::int64_t i = 0; i < bits; ++i) {
    const unsigned bit = (data[i / 8] >> (7 - i % 8)) & 1u;
    const unsigned top = (crc >> 15) & 1u;
    crc = static_cast<std::uint16_t>(crc << 1);
    if ((bit ^ top) != 0) crc ^= 0x8005;
  }
  return crc;
}

FrameBytes writeLayer3Frame(const Layer3Frame& frame) {
  const FrameHeaderFields& header = frame.header;
  const bool lsf = header.lsf();
  const int channels = header.channels();
  BitWriter bits;
  putHeader(bits, header);
  if (header.protection) bits.put(0, 16);  // filled in below

  BitWriter side;
  side.put(frame.main_data_begin, lsf ? 8 : 9);
  side.put(frame.private_bits, lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
  if (!lsf) {
    for (int ch = 0; ch < channels; ++ch) side.put(frame.scfsi[static_cast<std::size_t>(ch)], 4);
  }
  for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
    for (int ch = 0; ch < channels; ++ch) {
      const Layer3Granule& g = frame.granules[static_cast<std::size_t>(gr)][static_cast<std::size_t>(ch)];
      side.put(g.part2_3_length, 12);
      side.put(g.big_values, 9);
      side.put(g.global_gain, 8);
      side.put(g.scalefac_compress, lsf ? 9 : 4);
      side.put(g.window_switching ? 1 : 0, 1);
      if (g.window_switching) {
        side.put(g.block_type, 2);
        side.put(g.mixed_block ? 1 : 0, 1);
        for (int i = 0; i < 2; ++i) side.put(g.table_select[static_cast<std::size_t>(i)], 5);
        for (int i = 0; i < 3; ++i) side.put(g.subblock_gain[static_cast<std::size_t>(i)], 3);
      } else {
        for (int i = 0; i < 3; ++i) side.put(g.table_select[static_cast<std::size_t>(i)], 5);
        side.put(g.region0_count, 4);
        side.put(g.region1_count, 3);
      }
      if (!lsf) side.put(g.preflag ? 1 : 0, 1);
      side.put(g.scalefac_scale ? 1 : 0, 1);
      side.put(g.count1table_select ? 1 : 0, 1);
    }
  }
  for (const unsigned char byte : side.bytes()) bits.put(byte, 8);

  FrameBytes bytes = bits.bytes();
  if (header.protection) {
    const std::uint16_t overHeader = mpegCrc(bytes.data() + 2, 16);
    const std::uint16_t crc = mpegCrc(side.bytes().data(), side.bitCount(), overHeader);
    bytes[4] = static_cast<unsigned char>(crc >> 8);
    bytes[5] = static_cast<unsigned char>(crc & 0xFF);
  }
  const int size = frameBytes(header) > 0 ? frameBytes(header) : frame.freeFormatBytes;
  const std::size_t room = static_cast<std::size_t>(std::max<int>(size, 0)) > bytes.size()
                               ? static_cast<std::size_t>(size) - bytes.size()
                               : 0;
  bytes.insert(bytes.end(), frame.mainData.begin(),
               frame.mainData.begin() + static_cast<std::ptrdiff_t>(std::min(room, frame.mainData.size())));
  bytes.resize(std::max<std::size_t>(bytes.size(), static_cast<std::size_t>(std::max(size, 0))), 0);
  return bytes;
}

}  // namespace vintrove::test
