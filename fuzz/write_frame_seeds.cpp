// Writes the structure-aware fuzzer's seeds (inputs in frame_stream.h's format) into a folder:
// the crafted frame whose scalefactors reach past its end (tests/player/crafted_frames.h), alone
// and after its legal twin, behind an Info frame, and ordinary streams of the other versions and
// layers. Each seed is checked to build the stream it is meant to.
// Usage: write_frame_seeds FOLDER
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "crafted_frames.h"
#include "frame_stream.h"

namespace {

using vintrove::fuzz::FieldWriter;
using vintrove::test::Layer3Frame;
using vintrove::test::Layer3Granule;

// The fields of a frame in the order buildStream reads them.
void putHeader(FieldWriter& out, const vintrove::test::FrameHeaderFields& h, bool keep) {
  static constexpr std::uint32_t kVersionBits[] = {3, 2, 0};
  out.put(keep ? 1 : 0, 1);
  if (!keep) {
    out.put(kVersionBits[static_cast<int>(h.version)], 2);
    out.put(static_cast<std::uint32_t>(4 - h.layer), 2);
    out.put(static_cast<std::uint32_t>(h.rateIndex), 2);
    out.put(static_cast<std::uint32_t>(h.mode), 2);
    out.put(h.protection ? 1 : 0, 1);
  }
  out.put(static_cast<std::uint32_t>(h.bitRateIndex), 4);
  out.put(h.padding ? 1 : 0, 1);
  out.put(static_cast<std::uint32_t>(h.modeExtension), 2);
  out.put(static_cast<std::uint32_t>(h.emphasis), 2);
}

// Main data given as one repeated byte (fill 3) or as bytes (fill 0).
void putLayer3(FieldWriter& out, const Layer3Frame& f, bool keep, int repeatedByte) {
  const bool lsf = f.header.lsf();
  const int channels = f.header.channels();
  putHeader(out, f.header, keep);
  out.put(0, 1);  // the CRC as computed
  out.put(f.main_data_begin == 0 ? 0 : 1, 2);
  out.put(f.main_data_begin, lsf ? 9 - 1 : 9);
  out.put(f.private_bits, lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
  if (!lsf) {
    for (int ch = 0; ch < channels; ++ch) out.put(f.scfsi[static_cast<std::size_t>(ch)], 4);
  }
  out.put(0, 2);  // part2_3_length as given
  const int granules = lsf ? 1 : 2;
  for (int gr = 0; gr < granules; ++gr) {
    for (int ch = 0; ch < channels; ++ch) out.put(f.granules[static_cast<std::size_t>(gr)][static_cast<std::size_t>(ch)].part2_3_length, 12);
  }
  for (int gr = 0; gr < granules; ++gr) {
    for (int ch = 0; ch < channels; ++ch) {
      const Layer3Granule& g = f.granules[static_cast<std::size_t>(gr)][static_cast<std::size_t>(ch)];
      out.put(g.big_values, 9);
      out.put(0, 1);
      out.put(g.global_gain, 8);
      out.put(g.scalefac_compress, lsf ? 9 : 4);
      out.put(g.window_switching ? 1 : 0, 1);
      if (g.window_switching) {
        out.put(g.block_type, 2);
        out.put(g.mixed_block ? 1 : 0, 1);
        for (int i = 0; i < 2; ++i) out.put(g.table_select[static_cast<std::size_t>(i)], 5);
        for (int i = 0; i < 3; ++i) out.put(g.subblock_gain[static_cast<std::size_t>(i)], 3);
      } else {
        for (int i = 0; i < 3; ++i) out.put(g.table_select[static_cast<std::size_t>(i)], 5);
        out.put(g.region0_count, 4);
        out.put(g.region1_count, 3);
      }
      if (!lsf) out.put(g.preflag ? 1 : 0, 1);
      out.put(g.scalefac_scale ? 1 : 0, 1);
      out.put(g.count1table_select ? 1 : 0, 1);
    }
  }
  if (repeatedByte >= 0) {
    out.put(3, 2);
    out.put(static_cast<std::uint32_t>(repeatedByte), 8);
  } else {
    out.put(0, 2);
    for (const unsigned char b : f.mainData) out.put(b, 8);
  }
}

// An ordinary-looking frame of the given format, its fields from a fixed sequence.
Layer3Frame ordinaryLayer3(vintrove::test::MpegVersion version, int bitRateIndex, vintrove::test::ChannelMode mode,
                           std::uint32_t& seed) {
  Layer3Frame f;
  f.header.version = version;
  f.header.bitRateIndex = bitRateIndex;
  f.header.mode = mode;
  const int space = vintrove::test::frameBytes(f.header) - 4 - vintrove::test::layer3SideInfoBytes(f.header);
  const int granules = (f.header.lsf() ? 1 : 2) * f.header.channels();
  for (auto& granule : f.granules) {
    for (Layer3Granule& g : granule) {
      g.part2_3_length = static_cast<std::uint32_t>(space * 8 / granules);
      g.big_values = 60;
      g.global_gain = 150;
      g.scalefac_compress = 5;
      g.table_select = {7, 13, 24};
      g.region0_count = 5;
      g.region1_count = 3;
    }
  }
  f.mainData.resize(static_cast<std::size_t>(space));
  for (auto& b : f.mainData) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<unsigned char>(seed >> 24);
  }
  return f;
}

bool write(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_frame_seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  using vintrove::test::scalefactorsPastTheFrame;
  bool ok = true;

  // The crafted frame alone: it must build byte for byte.
  FieldWriter crafted;
  crafted.put(0, 8);
  putLayer3(crafted, scalefactorsPastTheFrame(), false, 0xFF);
  const auto built = vintrove::fuzz::buildStream(crafted.bytes().data(), crafted.bytes().size());
  if (built.bytes != vintrove::test::scalefactorsPastTheFrameBytes()) {
    std::fprintf(stderr, "write_frame_seeds: the crafted frame's seed builds another frame\n");
    return 1;
  }
  ok = write(folder, "crafted-frame", crafted.bytes()) && ok;

  // After three legal twins, and behind an Info frame with 8 zero bytes after the stream.
  for (const std::uint32_t flags : {0x00u, 0x0Cu, 0xB4u}) {
    FieldWriter stream;
    stream.put(flags, 8);
    if (flags & 0x08) {
      stream.put(4, 32);
      stream.put(576, 12);
      stream.put(1000, 12);
    }
    for (int i = 0; i < 3; ++i) putLayer3(stream, scalefactorsPastTheFrame(false), i > 0, 0xFF);
    putLayer3(stream, scalefactorsPastTheFrame(), true, 0xFF);
    ok = write(folder, "crafted-after-twins-" + std::to_string(flags), stream.bytes()) && ok;
  }

  // Ordinary streams of MPEG-1, MPEG-2 and MPEG-2.5 layer III in every mode.
  std::uint32_t seed = 7;
  using vintrove::test::ChannelMode;
  using vintrove::test::MpegVersion;
  for (const MpegVersion version : {MpegVersion::kMpeg1, MpegVersion::kMpeg2, MpegVersion::kMpeg25}) {
    for (const ChannelMode mode : {ChannelMode::kStereo, ChannelMode::kJointStereo, ChannelMode::kMono}) {
      FieldWriter stream;
      stream.put(0, 8);
      for (int i = 0; i < 4; ++i) putLayer3(stream, ordinaryLayer3(version, 9, mode, seed), i > 0, -1);
      ok = write(folder, "layer3-" + std::to_string(static_cast<int>(version)) + "-" +
                             std::to_string(static_cast<int>(mode)),
                 stream.bytes()) &&
           ok;
    }
  }

  // Layers I and II: a header, a mask, the data.
  for (const int layer : {1, 2}) {
    FieldWriter stream;
    stream.put(0, 8);
    for (int i = 0; i < 4; ++i) {
      vintrove::test::FrameHeaderFields h;
      h.layer = layer;
      h.bitRateIndex = 10;
      h.mode = ChannelMode::kStereo;
      putHeader(stream, h, i > 0);
      stream.put(0x11, 8);
      for (int b = 0; b < vintrove::test::frameBytes(h) - 4; ++b) {
        seed = seed * 1103515245u + 12345u;
        stream.put(seed >> 24, 8);
      }
    }
    ok = write(folder, "layer" + std::to_string(layer), stream.bytes()) && ok;
  }
  return ok ? 0 : 1;
}
