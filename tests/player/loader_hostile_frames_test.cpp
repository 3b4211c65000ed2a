// Frames written to make the decoder read past them: whatever a frame's side information says,
// nothing beyond the frame's bytes is read, whether the frame is decoded from the copy of a
// file's last bytes, from the file's mapping, or from bytes that the next page cannot be read
// after. The sanitizers (and the guard page) see any read past; the rejected frame stores
// nothing, and the frames before it stay as they are.
#include <gtest/gtest.h>
#include <mad.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "crafted_frames.h"
#include "guarded_bytes.h"
#include "loaded_file.h"
#include "reference_decode.h"
#include "tag_writer.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

// The first `count` frames of the tag-less 44.1 kHz file: the audio the crafted frame follows.
FrameBytes realFrames(std::size_t count) {
  const FrameBytes file = readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  const std::vector<std::size_t> offsets = frameOffsets(file);
  if (offsets.size() <= count) return {};
  return FrameBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offsets[count]));
}

void expectSamplesOf(const Loaded& loaded, const FrameBytes& audio) {
  const ReferenceDecode reference = referenceDecode(audio);
  ASSERT_EQ(loaded.samples.size(), 2u);
  EXPECT_EQ(loaded.samples[0], reference.samples[0]);
  EXPECT_EQ(loaded.samples[1], reference.samples[1]);
}

TEST(CraftedFrame, IsWhatItsDescriptionSays) {
  const FrameBytes frame = scalefactorsPastTheFrameBytes();
  ASSERT_EQ(frame.size(), 417u);
  EXPECT_EQ(frame[0], 0xFF);
  EXPECT_EQ(frame[1], 0xFB);  // MPEG-1 layer III, no CRC
  EXPECT_EQ(frame[2], 0x90);  // 128 kbit/s, 44100 Hz, no padding
  const Layer3Frame fields = scalefactorsPastTheFrame();
  std::uint32_t sum = 0;
  for (const auto& granule : fields.granules) {
    for (const Layer3Granule& channel : granule) sum += channel.part2_3_length;
  }
  EXPECT_EQ(sum, (417u - 4 - 32) * 8) << "the granules add up to exactly the main data";
  // Its legal twin is an ordinary frame: the crafted one differs only in the last granule.
  const Loaded legal = loadBytes(scalefactorsPastTheFrameBytes(false));
  ASSERT_EQ(framesOf(legal), 1152);
  EXPECT_TRUE(std::all_of(legal.samples[0].begin(), legal.samples[0].end(), [](float s) { return s == 0.0f; }));
}

TEST(CraftedFrame, ReadFromTheTailCopyStoresNothing) {
  // The file ends with the frame: the decoder reads it from its copy of the last bytes, which
  // holds 8 zero guard bytes after it.
  const Loaded alone = loadBytes(scalefactorsPastTheFrameBytes());
  EXPECT_EQ(framesOf(alone), 0);
  ASSERT_FALSE(alone.lengths.empty());
  EXPECT_EQ(alone.lengths.back(), 0);

  const FrameBytes audio = realFrames(20);
  FrameBytes file = audio;
  appendBytes(file, scalefactorsPastTheFrameBytes());
  const Loaded after = loadBytes(file);
  ASSERT_EQ(framesOf(after), 20 * 1152);
  expectSamplesOf(after, audio);
}

// The structure-aware fuzzer's first find on the unpatched decoder (fuzz/README.md): the same
// read past the frame in MPEG-2's scalefactor layout.
TEST(CraftedFrame, TheMpeg2LayoutIsHeldToPart2_3LengthToo) {
  const FrameBytes frame = writeLayer3Frame(lsfScalefactorsPastTheFrame());
  ASSERT_EQ(frame.size(), 522u);
  EXPECT_EQ(framesOf(loadBytes(frame)), 0);
  Layer3Frame legal = lsfScalefactorsPastTheFrame();
  legal.granules[0][1].scalefac_compress = 0;
  EXPECT_EQ(framesOf(loadBytes(writeLayer3Frame(legal))), 576);
}

TEST(CraftedFrame, ReadFromTheMappingOfAPageSizedFileStaysInsideTheFile) {
  for (const std::size_t real : {std::size_t{0}, std::size_t{8}}) {
    SCOPED_TRACE(std::to_string(real) + " real frames before it");
    const FrameBytes audio = realFrames(real);
    const FrameBytes file = pageWithTheFrameLast(audio);
    ASSERT_EQ(file.size(), kPageBytes);
    const Loaded loaded = loadBytes(file);
    ASSERT_EQ(framesOf(loaded), static_cast<std::int32_t>(real * 1152));
    if (real > 0) expectSamplesOf(loaded, audio);
  }
}

// The same bytes as the loader's own load of bytes, with the page after them unreadable: a read
// past the file's last byte faults here whatever lies after a mapping on this system.
TEST(CraftedFrame, BytesBeforeAnUnreadablePageAreReadWithinThem) {
  for (const bool hostile : {false, true}) {
    SCOPED_TRACE(hostile ? "hostile" : "legal");
    const GuardedBytes bytes(pageWithTheFrameLast(realFrames(8), hostile));
    RecordingOwner owner;
    auto loader = makeLoader<ClusterSampleLoader>(&owner);
    ASSERT_TRUE(loader->decodeBytes(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    EXPECT_EQ(loader->getDecodedFrames(), (hostile ? 8 : 9) * 1152);
  }
}

// The decoder's bit reader itself (our patch to libmad) never reads at or past its end, whatever
// it is asked for: what lies beyond reads as zero bits. The two bytes are all there is.
TEST(BoundedBitReader, ReadsZeroBitsAtAndBeyondItsEnd) {
  const auto bytes = std::make_unique<unsigned char[]>(2);
  bytes[0] = 0xA5;
  bytes[1] = 0xFF;
  mad_bitptr bits;
  mad_bit_init(&bits, bytes.get(), bytes.get() + 2);
  EXPECT_EQ(mad_bit_read(&bits, 4), 0xAu);
  EXPECT_EQ(mad_bit_read(&bits, 20), 0x5FF00u);
  EXPECT_EQ(mad_bit_read(&bits, 32), 0u);
  mad_bit_skip(&bits, 100);
  EXPECT_EQ(mad_bit_read(&bits, 3), 0u);
  EXPECT_EQ(mad_bit_crc(bits, 64, 0xFFFF), mpegCrc(std::vector<unsigned char>(8, 0).data(), 64));
}

}  // namespace
}  // namespace vintrove::test
