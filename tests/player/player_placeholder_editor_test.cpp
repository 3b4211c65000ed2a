// The placeholder editor's command channel: the value encoding, the reactions that reach the
// player, and host automation and MIDI keys acting through it end to end.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "player_test_support.h"

namespace vintrove::test {
namespace {

TEST(CommandEncoding, SetsTogglesAndStepsWithinZeroToOne) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float current;
    float value;
    float result;
  };
  const Case cases[] = {
      {0.3f, 0.0f, 0.0f},   {0.3f, 1.0f, 1.0f},   {0.3f, 0.75f, 0.75f},  // set
      {0.0f, -1.0f, 1.0f},  {1.0f, -1.0f, 0.0f},  {0.25f, -0.1f, 0.75f}, // toggle
      {0.8f, 1.5f, 0.3f},   {0.2f, 1.5f, 0.0f},   {0.5f, 1.05f, 0.45f},  // step down
      {0.2f, 2.5f, 0.7f},   {0.8f, 2.5f, 1.0f},   {0.99f, 2.02f, 1.0f},  // step up
      {0.4f, 2.0f, 0.4f},   {0.4f, 3.0f, 0.4f},   {0.4f, 7.0f, 0.4f},    // unchanged
      {0.4f, nan, 0.4f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.current << " with " << c.value);
    EXPECT_FLOAT_EQ(encodedControlValue(c.current, c.value), c.result);
  }
  EXPECT_EQ(encodedControlValue(0.5f, 1.05f), 0.5f - (1.05f - 1.0f));
}

TEST(PlaceholderEditor, StartsLikeTheEditorsControls) {
  PlaceholderPlayer p;
  EXPECT_EQ(p.editor.controlValue(kPlayTag), 0.0f);
  EXPECT_EQ(p.editor.controlValue(kLoopTag), 0.0f);
  EXPECT_EQ(p.editor.controlValue(kPositionTag), 0.0f);
  EXPECT_EQ(p.editor.controlValue(kPitchTag), 0.5f);
  EXPECT_NE(p.editor.overviewBits(), nullptr);
  EXPECT_EQ(p.player->getEditor(), static_cast<EditorBase*>(&p.editor));
}

TEST(PlaceholderEditor, CommandsReachThePlayersSetters) {
  PlaceholderPlayer p;
  p.player->setLength(88200);

  p.editor.command(kPlayTag, -1.0f);
  EXPECT_TRUE(p.player->isPlaying());
  p.editor.command(kPlayTag, -1.0f);
  EXPECT_FALSE(p.player->isPlaying());

  p.editor.command(kLoopTag, 1.0f);
  EXPECT_TRUE(p.player->isLooping());

  p.editor.command(kPositionTag, 0.25f);
  EXPECT_EQ(p.player->getPosition(), 22050);
  p.editor.command(kPositionTag, 2.5f);
  EXPECT_EQ(p.player->getPosition(), 66150);
  p.editor.command(kPositionTag, 1.5f);
  EXPECT_EQ(p.player->getPosition(), 22050);

  p.editor.command(kPitchTag, 1.5f);
  EXPECT_FLOAT_EQ(p.player->getPitch(), -12.0f);
  p.editor.command(kPitchTag, 2.5f);
  EXPECT_FLOAT_EQ(p.player->getPitch(), 0.0f);
  // 2.0 changes nothing but still tells the player the slider's value.
  p.player->setPitch(1.0f);
  p.editor.command(kPitchTag, 2.0f);
  EXPECT_FLOAT_EQ(p.player->getPitch(), 0.0f);
}

TEST(PlaceholderEditor, ButtonsIgnoreTheValue) {
  PlaceholderPlayer p;
  p.player->setLength(1000);
  p.editor.command(kPositionTag, 0.5f);
  p.editor.command(kPitchTag, 1.0f);

  p.editor.command(kToStartTag, 0.9f);
  EXPECT_EQ(p.player->getPosition(), 0);
  EXPECT_EQ(p.editor.controlValue(kPositionTag), 0.0f);

  p.editor.command(kPitchResetTag, -1.0f);
  EXPECT_EQ(p.player->getPitch(), 0.0f);
  EXPECT_EQ(p.editor.controlValue(kPitchTag), 0.5f);

  // Open needs a window; unknown tags do nothing.
  p.player->setPosition(0.5f);
  for (std::int32_t tag : {1, 0, 8, -4}) p.editor.command(tag, 0.7f);
  EXPECT_EQ(p.player->getPosition(), 500);
  EXPECT_FALSE(p.player->isPlaying());
  EXPECT_FALSE(p.player->isLooping());
}

TEST(PlaceholderEditor, ReportsMoveTheControlsNudgesStartFrom) {
  PlaceholderPlayer p;
  p.player->setLength(1000);
  p.player->setPosition(0.6f);  // the position display follows
  EXPECT_FLOAT_EQ(p.editor.controlValue(kPositionTag), 0.6f);
  p.editor.command(kPositionTag, 1.05f);
  EXPECT_EQ(p.player->getPosition(), 550);

  p.editor.showPlaying(true);
  p.editor.command(kPlayTag, -1.0f);  // the toggle shows on, so a press stops
  EXPECT_FALSE(p.player->isPlaying());
}

TEST(PlaceholderEditor, HostAutomationActsThroughTheControls) {
  PlaceholderPlayer p;
  p.player->setLength(1000);
  p.player->setParameter(0, 1.0f);
  EXPECT_TRUE(p.player->isPlaying());
  p.player->setParameter(0, 1.0f);
  EXPECT_TRUE(p.player->isPlaying());
  p.player->setParameter(1, 1.0f);
  EXPECT_TRUE(p.player->isLooping());
  p.player->setParameter(2, 0.25f);
  EXPECT_EQ(p.player->getPosition(), 250);
  p.player->setParameter(3, 0.0f);
  EXPECT_FLOAT_EQ(p.player->getPitch(), -12.0f);
  p.player->setParameter(0, 0.0f);
  EXPECT_FALSE(p.player->isPlaying());
}

TEST(PlaceholderEditor, MidiKeysActThroughTheControls) {
  PlaceholderPlayer p;
  p.player->setLength(88200);
  auto press = [&](unsigned char status, unsigned char note, unsigned char velocity) {
    MidiEventList list({midiEvent(status, note, velocity)});
    EXPECT_EQ(p.player->processEvents(list.get()), 1);
  };

  press(0x94, 60, 100);  // key 12 on channel 5: cue 7
  EXPECT_EQ(p.player->getPosition(), 44100);
  press(0x90, 61, 100);  // key 13: back 0.005 of the length
  EXPECT_EQ(p.player->getPosition(), 43659);
  press(0x90, 37, 100);  // key 13 again, an octave lower
  EXPECT_EQ(p.player->getPosition(), 43218);
  press(0x90, 3, 100);   // rewind
  EXPECT_EQ(p.player->getPosition(), 0);

  press(0x90, 1, 100);
  EXPECT_TRUE(p.player->isPlaying());
  press(0x90, 25, 100);
  EXPECT_FALSE(p.player->isPlaying());
  press(0x90, 1, 0);
  press(0x80, 1, 100);
  EXPECT_FALSE(p.player->isPlaying());

  p.editor.command(kPitchTag, 0.99f);
  press(0x90, 22, 100);  // pitch up, not above +12
  EXPECT_FLOAT_EQ(p.player->getPitch(), 12.0f);
  p.editor.command(kPitchTag, 0.01f);
  press(0x90, 18, 100);  // pitch down, not below -12
  EXPECT_FLOAT_EQ(p.player->getPitch(), -12.0f);
  p.player->setPitch(0.5416667f);
  press(0x90, 20, 100);  // pitch reset
  EXPECT_EQ(p.player->getPitch(), 0.0f);
}

// The loader holds the overview image's owner for as long as its decoding thread may draw, and
// that thread may outlive the player by more than the second the player waits for it: the image
// must live as long as that owner does, not as long as the editor.
TEST(PlaceholderEditor, TheOverviewImageLivesAsLongAsWhatTheLoaderHolds) {
  auto p = std::make_unique<PlaceholderPlayer>();
  unsigned char* bits = p->editor.overviewBits();
  std::shared_ptr<const void> heldByALoader = p->editor.overviewOwner();
  ASSERT_NE(heldByALoader, nullptr) << "nothing keeps the image for a decoding thread";
  const std::weak_ptr<const void> image = heldByALoader;
  p.reset();
  bits[0] = 0x5a;  // a late drawing: under AddressSanitizer a use after free if the image went
  EXPECT_EQ(bits[0], 0x5a);
  heldByALoader.reset();
  EXPECT_TRUE(image.expired());
}

}  // namespace
}  // namespace vintrove::test
