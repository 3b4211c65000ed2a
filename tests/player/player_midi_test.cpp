// MIDI note-ons as transport keys: the 24-key table, which events count, and hostile records.
#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
}  // namespace vintrove::test
