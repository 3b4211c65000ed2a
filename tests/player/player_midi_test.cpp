// MIDI note-ons as transport keys: the 24-key table, which events count, hostile records, and
// each key acting at its own frame of the block (deltaFrames) in both modes.
#include <gtest/gtest.h>

#include <vector>

#include "decoded_player.h"
#include "player/midi_keys.h"
#include "player_test_support.h"

namespace vintrove::test {
namespace {

const std::vector<SentCommand> kTable = {
    {6, 0.0f},        {4, -1.0f},       {6, 0.0714285746f}, {2, 0.0f},        {6, 0.142857149f},
    {6, 0.214285716f}, {6, 1.05f},       {6, 0.285714298f},  {2, -1.0f},       {6, 0.357142866f},
    {6, 2.05f},       {6, 0.428571433f}, {6, 0.5f},          {6, 1.005f},      {6, 0.571428597f},
    {6, 2.005f},      {6, 0.642857134f}, {6, 0.714285731f},  {7, 1.02f},       {6, 0.785714269f},
    {3, 0.0f},        {6, 0.857142866f}, {7, 2.02f},         {6, 0.928571403f},
};

std::vector<SentCommand> press(const std::vector<MidiEventRecord>& events) {
  RecordedPlayer p;
  MidiEventList list(events);
  EXPECT_EQ(p.player->processEvents(list.get()), 1);
  return p.port.commands;
}

TEST(MidiKeys, EachKeyOfTheSpanSendsItsCommand) {
  for (int note = 0; note < 128; ++note) {
    SCOPED_TRACE(note);
    const std::vector<SentCommand> sent = press({midiEvent(0x90, static_cast<unsigned char>(note), 100)});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], kTable[static_cast<std::size_t>(note % 24)]);
  }
}

TEST(MidiKeys, CueValuesAreTheNearestFloatsToFourteenths) {
  for (int k = 0; k < 14; ++k) {
    const int whiteKeys[] = {0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19, 21, 23};
    const KeyCommand command = keyCommand(whiteKeys[k]);
    EXPECT_EQ(command.tag, 6);
    EXPECT_EQ(command.value, static_cast<float>(k / 14.0));
  }
}

TEST(MidiKeys, WhichEventsAreKeys) {
  struct Case {
    const char* what;
    MidiEventRecord event;
    bool sends;
  };
  const Case cases[] = {
      {"note-on channel 1", midiEvent(0x90, 60, 100), true},
      {"note-on channel 5", midiEvent(0x94, 60, 100), true},
      {"note-on channel 16", midiEvent(0x9F, 60, 1), true},
      {"velocity 0", midiEvent(0x90, 60, 0), false},
      {"velocity 0x80 has no low bits", midiEvent(0x90, 60, 0x80), false},
      {"note-off", midiEvent(0x80, 60, 100), false},
      {"control change", midiEvent(0xB0, 60, 100), false},
      {"aftertouch", midiEvent(0xA0, 60, 100), false},
      {"not a MIDI event", midiEvent(0x90, 60, 100, 6), false},
      {"high bit of the note ignored", midiEvent(0x90, 0x80 | 60, 100), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<SentCommand> sent = press({c.event});
    if (c.sends) {
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0], kTable[12]);
    } else {
      EXPECT_TRUE(sent.empty());
    }
  }
}

TEST(MidiKeys, EventsActInTheirOrder) {
  const std::vector<SentCommand> sent =
      press({midiEvent(0x90, 61, 100), midiEvent(0x80, 62, 100), midiEvent(0x91, 37, 9),
             midiEvent(0x92, 25, 9), midiEvent(0x90, 70, 0), midiEvent(0x90, 46, 1)});
  EXPECT_EQ(sent, (std::vector<SentCommand>{kTable[13], kTable[13], kTable[1], kTable[22]}));
}

TEST(MidiKeys, HostileEventRecordsAreSkipped) {
  RecordedPlayer p;
  EXPECT_EQ(p.player->processEvents(nullptr), 1);

  MidiEventList empty({});
  EXPECT_EQ(p.player->processEvents(empty.get()), 1);

  MidiEventList negative({midiEvent(0x90, 60, 100)});
  negative.setCount(-3);
  EXPECT_EQ(p.player->processEvents(negative.get()), 1);
  EXPECT_TRUE(p.port.commands.empty());

  MidiEventList withHoles({midiEvent(0x90, 60, 100), midiEvent(0x90, 61, 100),
                           midiEvent(0x90, 62, 100)});
  withHoles.setPointer(1, nullptr);
  EXPECT_EQ(p.player->processEvents(withHoles.get()), 1);
  EXPECT_EQ(p.port.commands, (std::vector<SentCommand>{kTable[12], kTable[14]}));
}

TEST(MidiKeys, TheDispatcherHandsEventsOn) {
  RecordedPlayer p;
  MidiEventList list({midiEvent(0x90, 20, 64)});
  EffectRecord* record = p.player->getRecord();
  EXPECT_EQ(record->dispatcher(record, 25, 0, 0, list.get(), 0.0f), 1);
  ASSERT_EQ(p.port.commands.size(), 1u);
  EXPECT_EQ(p.port.commands[0], kTable[20]);
}

MidiEventRecord keyAt(unsigned char note, std::int32_t deltaFrames) {
  MidiEventRecord event = midiEvent(0x90, note, 100);
  event.deltaFrames = deltaFrames;
  return event;
}

void press(PlayerEffect& player, const std::vector<MidiEventRecord>& events) {
  MidiEventList list(events);
  EXPECT_EQ(player.processEvents(list.get()), 1);
}

// Where a cue key puts the position: the fraction of the length, as the position slider does.
std::int32_t cueFrame(PlayerEffect& player, int key) {
  return static_cast<std::int32_t>(static_cast<double>(player.getLength()) * keyCommand(key).value);
}

// The left output against the stored frames: frames from..to - 1 are stored frames at + k.
void expectStored(const DecodedPlayer& s, const Stereo& out, std::int32_t from, std::int32_t to,
                  std::int64_t at) {
  for (std::int32_t k = from; k < to; ++k) {
    ASSERT_EQ(out.left[static_cast<std::size_t>(k)], s.stored(0, at + k - from)) << "frame " << k;
    ASSERT_EQ(out.right[static_cast<std::size_t>(k)], s.stored(1, at + k - from)) << "frame " << k;
  }
}

// A cue, a toggle and a pitch key each act at their own frame; the controls, and with them the
// parameters, move as the keys come. (Both modes, through our host: smooth_sound_e2e_test.cpp.)
TEST(MidiKeyFrames, KeysActAtTheirFrames) {
  DecodedPlayer s(false);
  ASSERT_TRUE(s.loaded);
  s.player().setPlaying(true);
  s.render(4096);
  press(s.player(), {keyAt(60, 300)});  // cue 7, half the file
  const std::int32_t cue = cueFrame(s.player(), 12);
  EXPECT_EQ(s.player().getPosition(), cue);
  Stereo out = s.render(4096);
  expectStored(s, out, 0, 300, 4096);
  expectStored(s, out, 300, 4096, cue);
  EXPECT_EQ(s.player().getPosition(), cue + 4096 - 300);

  const std::int32_t at = s.player().getPosition();
  press(s.player(), {keyAt(49, 200)});  // C sharp: toggle playing
  EXPECT_FALSE(s.player().isPlaying());
  out = s.render(512);
  expectStored(s, out, 0, 200, at);
  for (std::size_t k = 200; k < 512; ++k) ASSERT_EQ(out.left[k], 0.0f) << k;
  EXPECT_EQ(s.player().getPosition(), at + 200);

  // A start at frame 100 and a pitch key at 256 of the same block.
  press(s.player(), {keyAt(49, 100)});
  const FixedFrames before = s.player().getExactPosition();
  press(s.player(), {keyAt(70, 256)});  // A sharp: pitch up by 0.02 of the slider
  const float ratio = static_cast<float>((s.player().getPitch() * 0.01 + 1.0) / 44100.0f * 44100.0);
  out = s.render(512);
  for (std::size_t k = 0; k < 100; ++k) ASSERT_EQ(out.left[k], 0.0f) << k;
  expectStored(s, out, 100, 256, at + 200);
  EXPECT_EQ(s.player().getExactPosition(), before + 156 * kOneFrame + 256 * fixedStep(ratio));
}

// Deltas outside the block act at its first or last frame; a key sent for an earlier frame than
// the one before it acts no earlier than that one: keys act in the order they came.
TEST(MidiKeyFrames, DeltasOutsideTheBlockAreClampedAndTheOrderKept) {
  DecodedPlayer s(false);
  ASSERT_TRUE(s.loaded);
  s.player().setPlaying(true);
  s.render(2000);
  press(s.player(), {keyAt(48, -50), keyAt(60, 9999)});  // cue 0 before the block, cue 7 after
  Stereo out = s.render(512);
  expectStored(s, out, 0, 511, 0);
  expectStored(s, out, 511, 512, cueFrame(s.player(), 12));

  // Two calls before one block, the second key sent for an earlier frame than the first.
  const std::int32_t at = s.player().getPosition();
  press(s.player(), {keyAt(52, 400)});  // cue 2 at 400
  press(s.player(), {keyAt(53, 100)});  // then cue 3 "at 100"
  out = s.render(512);
  expectStored(s, out, 0, 400, at);
  expectStored(s, out, 400, 512, cueFrame(s.player(), 5));
}

// When something else moves the transport after the keys (the slider here), their frames no
// longer say what plays when: the block plays the transport as it is, from its first frame.
TEST(MidiKeyFrames, AChangeAfterTheKeysPlaysFromTheBlocksStart) {
  DecodedPlayer s(false);
  ASSERT_TRUE(s.loaded);
  s.player().setPlaying(true);
  s.render(512);
  press(s.player(), {keyAt(60, 300)});
  s.player().setPosition(0.25f);
  const std::int32_t quarter = s.player().getPosition();
  const Stereo out = s.render(512);
  expectStored(s, out, 0, 512, quarter);
}

// More keys than the queue holds: every key still acts on the controls; the block then plays the
// last state from its first frame, and the next block's keys keep their frames again.
TEST(MidiKeyFrames, KeysBeyondTheQueueActFromTheBlocksStart) {
  DecodedPlayer s(false);
  ASSERT_TRUE(s.loaded);
  s.player().setPlaying(true);
  s.render(512);
  std::vector<MidiEventRecord> many;
  for (int i = 0; i < 31; ++i) {
    many.push_back(keyAt(48, 100));
    many.push_back(keyAt(60, 100));
  }
  many.push_back(keyAt(52, 100));  // cue 2 last
  for (int call = 0; call < 4; ++call) press(s.player(), many);  // 252 keys, 63 a call
  const std::int32_t cue2 = cueFrame(s.player(), 4);
  EXPECT_EQ(s.player().getPosition(), cue2);
  const Stereo out = s.render(512);
  expectStored(s, out, 0, 512, cue2);

  press(s.player(), {keyAt(48, 64)});
  const Stereo next = s.render(512);
  expectStored(s, next, 0, 64, cue2 + 512);
  expectStored(s, next, 64, 512, 0);
}

}  // namespace
}  // namespace vintrove::test
