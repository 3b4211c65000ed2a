#include "crafted_frames.h"

#include "tag_writer.h"

namespace vintrove::test {
namespace {

constexpr std::size_t kGuardBytes = 8;
constexpr int kId3HeaderBytes = 10;

}  // namespace

Layer3Frame scalefactorsPastTheFrame(bool hostile) {
  Layer3Frame frame;
  frame.header.version = MpegVersion::kMpeg1;
  frame.header.layer = 3;
  frame.header.bitRateIndex = 9;  // 128 kbit/s
  frame.header.rateIndex = 0;     // 44100 Hz
  frame.header.mode = ChannelMode::kStereo;
  const int mainDataBytes = frameBytes(frame.header) - 4 - layer3SideInfoBytes(frame.header);
  frame.main_data_begin = 0;
  for (auto& granule : frame.granules) {
    for (Layer3Granule& channel : granule) {
      // Long blocks, no big values: count1 table A, where each 1 bit is a quadruple of zeros.
      channel.part2_3_length = static_cast<std::uint32_t>(mainDataBytes * 8 / 3);
      channel.global_gain = 140;
    }
  }
  Layer3Granule& last = frame.granules[1][1];
  last.part2_3_length = 0;
  last.window_switching = true;
  last.block_type = 2;
  last.mixed_block = false;
  last.scalefac_compress = hostile ? 15 : 0;
  frame.mainData.assign(static_cast<std::size_t>(mainDataBytes), 0xFF);
  return frame;
}

Layer3Frame lsfScalefactorsPastTheFrame() {
  Layer3Frame frame;
  frame.header.version = MpegVersion::kMpeg2;
  frame.header.layer = 3;
  frame.header.bitRateIndex = 14;  // 160 kbit/s
  frame.header.rateIndex = 0;      // 22050 Hz
  frame.header.mode = ChannelMode::kJointStereo;
  frame.header.modeExtension = 1;  // intensity stereo
  const int mainDataBytes = frameBytes(frame.header) - 4 - layer3SideInfoBytes(frame.header);
  Layer3Granule& first = frame.granules[0][0];
  first.part2_3_length = static_cast<std::uint32_t>(mainDataBytes * 8);
  first.global_gain = 140;
  first.window_switching = true;  // joint stereo wants one block type in both channels
  first.block_type = 2;
  Layer3Granule& last = frame.granules[0][1];
  last.window_switching = true;
  last.block_type = 2;
  last.scalefac_compress = 274;
  frame.mainData.assign(static_cast<std::size_t>(mainDataBytes), 0xFF);
  return frame;
}

FrameBytes scalefactorsPastTheFrameBytes(bool hostile) { return writeLayer3Frame(scalefactorsPastTheFrame(hostile)); }

FrameBytes pageWithTheFrameLast(const FrameBytes& audio, bool hostile) {
  const FrameBytes frame = scalefactorsPastTheFrameBytes(hostile);
  const std::size_t used = audio.size() + frame.size() + kGuardBytes + kId3HeaderBytes;
  if (used > kPageBytes) return {};
  FrameBytes file = id3v2Tag(3, Bytes(kPageBytes - used, 0));
  appendBytes(file, audio);
  appendBytes(file, frame);
  file.insert(file.end(), kGuardBytes, 0);
  return file;
}

}  // namespace vintrove::test
