#include "player/midi_keys.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "host/effect_record.h"

namespace vintrove {

namespace {

// The host's events record: the array follows a pointer-sized reserved word.
struct EventList {
  std::int32_t count;
  HostInt reserved;
  const void* events[2];
};

constexpr std::int32_t kMidiEventType = 1;
constexpr std::size_t kDeltaOffset = 8;
constexpr std::size_t kStatusOffset = 24;

constexpr float cue(int k) { return static_cast<float>(k) / 14.0f; }

constexpr std::array<KeyCommand, kKeySpan> kKeys{{
    {6, cue(0)},   // C: cue 0
    {4, -1.0f},    // C sharp: toggle playing
    {6, cue(1)},   // D
    {2, 0.0f},     // D sharp: rewind
    {6, cue(2)},   // E
    {6, cue(3)},   // F
    {6, 1.05f},    // F sharp: back 0.05
    {6, cue(4)},   // G
    {2, -1.0f},    // G sharp: rewind (value ignored)
    {6, cue(5)},   // A
    {6, 2.05f},    // A sharp: forward 0.05
    {6, cue(6)},   // B
    {6, cue(7)},   // C
    {6, 1.005f},   // C sharp: back 0.005
    {6, cue(8)},   // D
    {6, 2.005f},   // D sharp: forward 0.005
    {6, cue(9)},   // E
    {6, cue(10)},  // F
    {7, 1.02f},    // F sharp: pitch down 0.02
    {6, cue(11)},  // G
    {3, 0.0f},     // G sharp: pitch reset
    {6, cue(12)},  // A
    {7, 2.02f},    // A sharp: pitch up 0.02
    {6, cue(13)},  // B
}};

}  // namespace

KeyCommand keyCommand(int key) {
  const int wrapped = ((key % kKeySpan) + kKeySpan) % kKeySpan;
  return kKeys[static_cast<std::size_t>(wrapped)];
}

bool noteOnCommand(const void* event, KeyCommand& command) {
  if (event == nullptr) return false;
  const auto* bytes = static_cast<const unsigned char*>(event);
  std::int32_t type = 0;
  std::memcpy(&type, bytes, sizeof type);
  const unsigned char status = bytes[kStatusOffset];
  const unsigned char note = bytes[kStatusOffset + 1];
  const unsigned char velocity = bytes[kStatusOffset + 2];
  if (type != kMidiEventType || (status & 0xF0) != 0x90 || (velocity & 0x7F) == 0) return false;
  command = keyCommand((note & 0x7F) % kKeySpan);
  return true;
}

std::int32_t eventDeltaFrames(const void* event) {
  if (event == nullptr) return 0;
  std::int32_t delta = 0;
  std::memcpy(&delta, static_cast<const unsigned char*>(event) + kDeltaOffset, sizeof delta);
  return delta;
}

namespace midi_detail {

std::int32_t eventCount(const void* events) {
  if (events == nullptr) return 0;
  std::int32_t count = 0;
  std::memcpy(&count, events, sizeof count);
  return count;
}

const void* eventAt(const void* events, std::int32_t index) {
  const void* event = nullptr;
  std::memcpy(&event,
              static_cast<const unsigned char*>(events) + offsetof(EventList, events) +
                  static_cast<std::size_t>(index) * sizeof(const void*),
              sizeof event);
  return event;
}

}  // namespace midi_detail

}  // namespace vintrove
