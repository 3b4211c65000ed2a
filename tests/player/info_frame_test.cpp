// The encoders' information frames: the Xing/Info frames and LAME tags that LAME and ffmpeg
// wrote into the committed files, a VBRI frame written here after Fraunhofer's layout, and frames
// that are cut short or are plain audio. The counts each file's tag gives are held to what
// mpg123 decodes from it (tests/data/README.md): frames x samples - delay - padding.
#include <gtest/gtest.h>

#include <cstring>

#include "player/audio_range.h"
#include "player/gapless_trim.h"
#include "player/info_frame.h"
#include "reference_decode.h"
#include "tag_writer.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

InfoFrame firstFrameOf(const std::string& name) {
  const Bytes file = readFileBytes(testDataPath(name));
  const AudioRange range = findAudioRange(file.data(), static_cast<std::int32_t>(file.size()));
  // The header is checked at the range's start; 1441 bytes cover any frame of these files.
  return readInfoFrame(file.data() + range.begin, std::min(range.size(), 1441));
}

std::int64_t gaplessLength(const InfoFrame& info) {
  const GaplessTrim trim = GaplessTrim::of(info);
  return info.frames * info.samplesPerFrame - trim.start - trim.endHold;
}

TEST(InfoFrame, LameInfoFrameOfACbrFile) {
  const InfoFrame info = firstFrameOf("l3_44k1_stereo_128k.mp3");
  EXPECT_EQ(info.kind, InfoFrame::Kind::kXing);
  EXPECT_EQ(info.frames, 116);
  EXPECT_EQ(info.samplesPerFrame, 1152);
  EXPECT_TRUE(info.hasLameTag);
  EXPECT_EQ(info.encoderDelay, 576);
  EXPECT_EQ(info.encoderPadding, 756);
  EXPECT_EQ(gaplessLength(info), 132300);  // mpg123 and ffmpeg
}

TEST(InfoFrame, EncoderMadeVbrFilesGiveMpg123sLength) {
  struct Case {
    const char* name;
    std::int64_t frames;
    std::int32_t samplesPerFrame, delay, padding;
    std::int64_t mpg123Frames;
  };
  for (const Case& c : {Case{"l3_32k_stereo_vbr.mp3", 85, 1152, 576, 1344, 96000},
                        Case{"l3_22k05_stereo_vbr.mp3", 117, 576, 576, 666, 66150},
                        Case{"l3_44k1_stereo_ffmpeg.mp3", 78, 1152, 576, 1080, 88200}}) {
    SCOPED_TRACE(c.name);
    const InfoFrame info = firstFrameOf(c.name);
    EXPECT_EQ(info.kind, InfoFrame::Kind::kXing);
    EXPECT_EQ(info.frames, c.frames);
    EXPECT_EQ(info.samplesPerFrame, c.samplesPerFrame);
    EXPECT_TRUE(info.hasLameTag);
    EXPECT_EQ(info.encoderDelay, c.delay);
    EXPECT_EQ(info.encoderPadding, c.padding);
    EXPECT_EQ(gaplessLength(info), c.mpg123Frames);
  }
}

TEST(InfoFrame, AudioFramesAreNoInfoFrames) {
  for (const char* name : {"l3_44k1_stereo_128k_notag.mp3", "l3_48k_stereo_320k.mp3",
                           "l2_48k_stereo_192k.mp2", "l3_22k05_mono_64k.mp3"}) {
    EXPECT_FALSE(firstFrameOf(name).present()) << name;
  }
}

TEST(InfoFrame, VbriFrameGivesItsFrameCountAndNoTrim) {
  const Bytes frame = vbriFrame(readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3")), 1234);
  const InfoFrame info = readInfoFrame(frame.data(), static_cast<std::int32_t>(frame.size()));
  EXPECT_EQ(info.kind, InfoFrame::Kind::kVbri);
  EXPECT_EQ(info.frames, 1234);
  EXPECT_FALSE(info.hasLameTag);
  EXPECT_EQ(GaplessTrim::of(info).start, 0);
}

TEST(InfoFrame, NothingIsReadBeyondTheFrame) {
  Bytes file = readFileBytes(testDataPath("l3_44k1_stereo_128k.mp3"));
  // Cut at every length inside the Info frame: the parts that do not fit are not believed.
  for (std::int32_t size = 0; size < 200; ++size) {
    const Bytes cut(file.begin(), file.begin() + size);
    const InfoFrame info = readInfoFrame(cut.data(), size);
    if (size < 44) {
      EXPECT_FALSE(info.present()) << size;  // magic (at 36) and flags (to 44) must fit
    }
    if (info.present() && size < 48) {
      EXPECT_EQ(info.frames, -1) << size;
    }
    if (size < 0x9c + 24) {
      EXPECT_FALSE(info.hasLameTag) << size;
    }
  }
  const Bytes vbri = vbriFrame(readFileBytes(testDataPath("l3_44k1_stereo_128k_notag.mp3")), 5);
  EXPECT_FALSE(readInfoFrame(vbri.data(), 53).present());
  EXPECT_TRUE(readInfoFrame(vbri.data(), 54).present());
}

TEST(InfoFrame, PaddingBelowTheDecoderDelayTrimsNothingAtTheEnd) {
  InfoFrame info;
  info.kind = InfoFrame::Kind::kXing;
  info.hasLameTag = true;
  info.encoderDelay = 576;
  info.encoderPadding = 100;
  const GaplessTrim trim = GaplessTrim::of(info);
  EXPECT_EQ(trim.start, 576 + 529);
  EXPECT_EQ(trim.endHold, 0);
}

}  // namespace
}  // namespace vintrove::test
