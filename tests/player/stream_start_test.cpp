// The search for a stream's first frame: a header counts only when the next one confirms it,
// free format included, and the search gives up at its bound rather than read a whole file of
// junk. Frames are written here from their fields.
#include <gtest/gtest.h>

#include <vector>

#include "frame_writer.h"
#include "player/stream_start.h"

namespace vintrove::test {
namespace {

FrameBytes layer3Frames(int count, int bitRateIndex, int rateIndex, int freeBytes = 0) {
  Layer3Frame frame;
  frame.header.bitRateIndex = bitRateIndex;
  frame.header.rateIndex = rateIndex;
  frame.freeFormatBytes = freeBytes;
  FrameBytes bytes;
  for (int i = 0; i < count; ++i) {
    const FrameBytes one = writeLayer3Frame(frame);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  return bytes;
}

StreamStart startOf(const FrameBytes& bytes) {
  return findStreamStart(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

TEST(StreamStart, TheFirstHeaderTheNextOneConfirms) {
  FrameBytes bytes(100, 0);
  // A header of 48 kHz whose frame ends where a 44.1 kHz one begins: not the stream's start.
  const FrameBytes stray = layer3Frames(1, 9, 1);
  bytes.insert(bytes.end(), stray.begin(), stray.end());
  const FrameBytes stream = layer3Frames(3, 9, 0);
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  const StreamStart start = startOf(bytes);
  ASSERT_TRUE(start.found());
  EXPECT_EQ(start.offset, static_cast<std::int32_t>(100 + stray.size()));
  EXPECT_EQ(start.header.sampleRate, 44100);
  EXPECT_EQ(start.header.frameBytes, 417);
}

TEST(StreamStart, AFrameThatEndsTheRangeConfirmsItselfOneThatRunsPastItDoesNot) {
  const FrameBytes one = layer3Frames(1, 9, 0);
  EXPECT_EQ(startOf(one).offset, 0);
  const FrameBytes cut(one.begin(), one.end() - 1);
  EXPECT_FALSE(startOf(cut).found());
}

TEST(StreamStart, FreeFormatIsConfirmedByTheNextHeaderOfItsStream) {
  FrameBytes bytes(7, 0);
  const FrameBytes stream = layer3Frames(3, 0, 2, 900);
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  const StreamStart start = startOf(bytes);
  ASSERT_TRUE(start.found());
  EXPECT_EQ(start.offset, 7);
  EXPECT_TRUE(start.header.freeFormat());
  EXPECT_FALSE(startOf(layer3Frames(1, 0, 2, 900)).found()) << "a lone free format header";
}

TEST(StreamStart, TheSearchEndsAtItsBound) {
  const FrameBytes stream = layer3Frames(3, 9, 0);
  for (const std::int32_t junk : {kStreamStartSearch - 1, kStreamStartSearch}) {
    FrameBytes bytes(static_cast<std::size_t>(junk), 0);
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    EXPECT_EQ(startOf(bytes).found(), junk < kStreamStartSearch) << junk;
  }
}

}  // namespace
}  // namespace vintrove::test
