// MIDI note-ons as transport keys: each key of a two-octave span (note mod 24) is one command
// to the editor's controls: white keys jump to 14 cue points, black keys toggle playing, rewind,
// nudge the position or the pitch, or reset the pitch.
#pragma once

#include <cstdint>

namespace vintrove {

struct KeyCommand {
  std::int32_t tag;
  float value;
};

inline constexpr int kKeySpan = 24;

// The command of key 0..23 (key 0 is a C).
KeyCommand keyCommand(int key);

// Reads one event record of the host: true with the key's command for a MIDI note-on (any
// channel) with a velocity; false for anything else, a null record included.
bool noteOnCommand(const void* event, KeyCommand& command);

// The deltaFrames of an event record: the frame of the coming block it belongs to.
std::int32_t eventDeltaFrames(const void* event);

// Visits the events record the host hands to processEvents: its count at offset 0 and its
// array of event pointers after the reserved word. A null record, a count of 0 or less and
// null entries are skipped. Calls send(tag, value, deltaFrames) for each note-on, in order.
template <typename Send>
void forEachKeyCommand(const void* events, Send&& send);

namespace midi_detail {
std::int32_t eventCount(const void* events);
const void* eventAt(const void* events, std::int32_t index);
}  // namespace midi_detail

template <typename Send>
void forEachKeyCommand(const void* events, Send&& send) {
  const std::int32_t count = midi_detail::eventCount(events);
  for (std::int32_t i = 0; i < count; ++i) {
    KeyCommand command{};
    const void* event = midi_detail::eventAt(events, i);
    if (noteOnCommand(event, command)) send(command.tag, command.value, eventDeltaFrames(event));
  }
}

}  // namespace vintrove
