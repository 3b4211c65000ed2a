#include "frame_stream.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "frame_writer.h"

namespace vintrove::fuzz {

using test::BitWriter;
using test::ChannelMode;
using test::FrameBytes;
using test::FrameHeaderFields;
using test::Layer3Frame;
using test::Layer3Granule;
using test::MpegVersion;

std::uint32_t FieldReader::take(int bits) {
  std::uint32_t value = 0;
  for (int i = 0; i < bits; ++i) {
    value <<= 1;
    if (at_ < bits_) value |= (data_[at_ / 8] >> (7 - at_ % 8)) & 1u;
    ++at_;
  }
  return value;
}

void FieldWriter::put(std::uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1u) bytes_.back() |= static_cast<std::uint8_t>(0x80u >> (bits_ % 8));
    ++bits_;
  }
}

namespace {

constexpr int kMostFrames = 32;

struct StreamState {
  FrameHeaderFields header;
  bool haveHeader = false;
  int freeSize = 0;
  std::uint32_t reservoir = 0;  // main data bytes the previous frame left for the next
};

FrameHeaderFields readHeader(FieldReader& in, StreamState& state) {
  FrameHeaderFields header = state.header;
  const bool keep = in.take(1) != 0 && state.haveHeader;
  if (!keep) {
    static constexpr MpegVersion kVersions[] = {MpegVersion::kMpeg25, MpegVersion::kMpeg1, MpegVersion::kMpeg2,
                                                MpegVersion::kMpeg1};
    header.version = kVersions[in.take(2)];
    const std::uint32_t layerBits = in.take(2);
    header.layer = layerBits == 0 ? 3 : 4 - static_cast<int>(layerBits);
    const std::uint32_t rate = in.take(2);
    header.rateIndex = rate == 3 ? 0 : static_cast<int>(rate);
    header.mode = static_cast<ChannelMode>(in.take(2));
    header.protection = in.take(1) != 0;
    state.freeSize = 0;
  }
  const std::uint32_t bitRate = in.take(4);
  header.bitRateIndex = bitRate == 15 ? 14 : static_cast<int>(bitRate);
  header.padding = in.take(1) != 0;
  header.modeExtension = static_cast<int>(in.take(2));
  header.emphasis = static_cast<int>(in.take(2));
  if (header.bitRateIndex == 0 && state.freeSize == 0) state.freeSize = 24 + static_cast<int>(in.take(12));
  state.header = header;
  state.haveHeader = true;
  return header;
}

int sizeOf(const FrameHeaderFields& header, const StreamState& state) {
  const int bytes = test::frameBytes(header);
  return bytes > 0 ? bytes : state.freeSize;
}

// part2_3_length of each granule channel by the frame's policy; bits is the main data there is.
void shareMainData(FieldReader& in, std::uint32_t policy, std::uint32_t bits, std::vector<Layer3Granule*>& granules) {
  std::vector<std::uint32_t> raw;
  for (std::size_t i = 0; i < granules.size(); ++i) raw.push_back(in.take(12));
  std::uint64_t weights = 0;
  for (const std::uint32_t w : raw) weights += w + 1;
  for (std::size_t i = 0; i < granules.size(); ++i) {
    std::uint32_t length = raw[i];
    if (policy == 1 || policy == 3) {
      length = static_cast<std::uint32_t>(std::uint64_t{bits} * (raw[i] + 1) / weights);
      if (policy == 3) length -= std::min(length, raw[i] & 15u);
    } else if (policy == 2) {
      length = i + 1 == granules.size() ? 0 : bits / static_cast<std::uint32_t>(granules.size() - 1);
    }
    granules[i]->part2_3_length = std::min<std::uint32_t>(length, 4095);
  }
}

FrameBytes layer3Frame(FieldReader& in, const FrameHeaderFields& header, StreamState& state) {
  Layer3Frame frame;
  frame.header = header;
  frame.freeFormatBytes = state.freeSize;
  const bool lsf = header.lsf();
  const int channels = header.channels();
  const bool badCrc = in.take(1) != 0;
  const std::uint32_t beginPolicy = in.take(2);
  const std::uint32_t beginRaw = in.take(lsf ? 8 : 9);
  frame.main_data_begin = beginPolicy == 0   ? 0
                          : beginPolicy == 1 ? beginRaw
                          : beginPolicy == 2 ? beginRaw % (state.reservoir + 1)
                                             : state.reservoir;
  frame.private_bits = in.take(lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
  if (!lsf) {
    for (int ch = 0; ch < channels; ++ch) frame.scfsi[static_cast<std::size_t>(ch)] = in.take(4);
  }
  const int size = sizeOf(header, state);
  const int space = std::max(0, size - 4 - (header.protection ? 2 : 0) - test::layer3SideInfoBytes(header));
  const std::uint32_t policy = in.take(2);
  std::vector<Layer3Granule*> granules;
  for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
    for (int ch = 0; ch < channels; ++ch) granules.push_back(&frame.granules[static_cast<std::size_t>(gr)][static_cast<std::size_t>(ch)]);
  }
  shareMainData(in, policy, (frame.main_data_begin + static_cast<std::uint32_t>(space)) * 8, granules);
  for (Layer3Granule* g : granules) {
    g->big_values = in.take(9);
    if (in.take(1) != 0) g->big_values %= 289;
    g->global_gain = in.take(8);
    g->scalefac_compress = in.take(lsf ? 9 : 4);
    g->window_switching = in.take(1) != 0;
    if (g->window_switching) {
      g->block_type = in.take(2);
      g->mixed_block = in.take(1) != 0;
      for (int i = 0; i < 2; ++i) g->table_select[static_cast<std::size_t>(i)] = in.take(5);
      for (int i = 0; i < 3; ++i) g->subblock_gain[static_cast<std::size_t>(i)] = in.take(3);
    } else {
      for (int i = 0; i < 3; ++i) g->table_select[static_cast<std::size_t>(i)] = in.take(5);
      g->region0_count = in.take(4);
      g->region1_count = in.take(3);
    }
    if (!lsf) g->preflag = in.take(1) != 0;
    g->scalefac_scale = in.take(1) != 0;
    g->count1table_select = in.take(1) != 0;
  }
  const std::uint32_t fill = in.take(2);
  const auto repeated = static_cast<unsigned char>(fill == 3 ? in.take(8) : 0);
  frame.mainData.resize(static_cast<std::size_t>(space));
  for (auto& byte : frame.mainData) {
    byte = fill == 0 ? static_cast<unsigned char>(in.take(8)) : fill == 1 ? 0 : fill == 2 ? 0xFF : repeated;
  }
  state.reservoir = std::min<std::uint32_t>(static_cast<std::uint32_t>(space), lsf ? 255 : 511);
  FrameBytes bytes = test::writeLayer3Frame(frame);
  if (badCrc && header.protection && bytes.size() > 5) bytes[5] ^= 0x5A;
  return bytes;
}

FrameBytes layer12Frame(FieldReader& in, const FrameHeaderFields& header, const StreamState& state) {
  BitWriter bits;
  test::putHeader(bits, header);
  const auto mask = static_cast<unsigned char>(in.take(8));
  if (header.protection) bits.put(in.take(16), 16);
  FrameBytes bytes = bits.bytes();
  const int size = sizeOf(header, state);
  while (static_cast<int>(bytes.size()) < size) bytes.push_back(static_cast<unsigned char>(in.take(8)) & mask);
  bytes.resize(static_cast<std::size_t>(std::max(size, 4)));
  return bytes;
}

// An Info frame with a LAME tag, in the first frame's format (LAME's layout: Xing fields, then
// the tag's name, 12 bytes, delay and padding).
FrameBytes infoFrame(const FrameHeaderFields& header, int size, std::uint32_t frames, std::uint32_t delay,
                     std::uint32_t padding) {
  BitWriter bits;
  test::putHeader(bits, header);
  if (header.protection) bits.put(0, 16);
  const int sideInfo = header.lsf() ? (header.channels() == 1 ? 9 : 17) : (header.channels() == 1 ? 17 : 32);
  for (int i = 0; i < sideInfo; ++i) bits.put(0, 8);
  for (const char c : {'I', 'n', 'f', 'o'}) bits.put(static_cast<std::uint8_t>(c), 8);
  bits.put(0x0F, 32);
  bits.put(frames, 32);
  bits.put(0, 32);
  for (int i = 0; i < 100 + 4; ++i) bits.put(0, 8);
  for (const char c : {'L', 'A', 'M', 'E', '3', '.', '1', '0', '0'}) bits.put(static_cast<std::uint8_t>(c), 8);
  for (int i = 0; i < 12; ++i) bits.put(0, 8);
  bits.put(delay, 12);
  bits.put(padding, 12);
  FrameBytes bytes = bits.bytes();
  bytes.resize(static_cast<std::size_t>(std::max(size, 4)), 0);
  return bytes;
}

void appendTo(BuiltStream& stream, const FrameBytes& frame) {
  const std::size_t begin = stream.bytes.size();
  stream.bytes.insert(stream.bytes.end(), frame.begin(), frame.end());
  stream.frames.emplace_back(begin, stream.bytes.size());
}

}  // namespace

BuiltStream buildStream(const std::uint8_t* data, std::size_t size) {
  FieldReader in(data, size);
  BuiltStream stream;
  const std::uint32_t flags = in.take(8);
  std::array<std::uint32_t, 3> info{};
  if (flags & 0x08) info = {in.take(32), in.take(12), in.take(12)};

  if (flags & 0x80) {
    static constexpr unsigned char kTag[] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    stream.bytes.assign(std::begin(kTag), std::end(kTag));
    stream.bytes.resize(stream.bytes.size() + 20, 0);
  }
  switch ((flags >> 4) & 7) {
    case 1: stream.bytes.insert(stream.bytes.end(), 1, 0); break;
    case 2: stream.bytes.insert(stream.bytes.end(), 4, 0); break;
    case 3: stream.bytes.insert(stream.bytes.end(), 64, 0); break;
    case 4: stream.bytes.insert(stream.bytes.end(), 1000, 0); break;
    case 5: {
      std::uint32_t x = 12345;
      for (int i = 0; i < 1000; ++i) {
        x = x * 1103515245u + 12345u;
        stream.bytes.push_back(static_cast<unsigned char>(x >> 24));
      }
      break;
    }
    case 6: {
      const unsigned char falseSync[] = {0xFF, 0xFF, 0x18, 0xC0};
      stream.bytes.insert(stream.bytes.end(), std::begin(falseSync), std::end(falseSync));
      stream.bytes.resize(stream.bytes.size() + 44, 0);
      break;
    }
    default: break;
  }
  StreamState state;
  for (int f = 0; f < kMostFrames && in.bitsLeft() >= 16; ++f) {
    const FrameHeaderFields header = readHeader(in, state);
    const FrameBytes frame = header.layer == 3 ? layer3Frame(in, header, state) : layer12Frame(in, header, state);
    if (f == 0 && (flags & 0x08)) appendTo(stream, infoFrame(header, sizeOf(header, state), info[0], info[1], info[2]));
    appendTo(stream, frame);
  }
  if (flags & 0x04) stream.bytes.insert(stream.bytes.end(), 8, 0);
  return stream;
}

}  // namespace vintrove::fuzz
