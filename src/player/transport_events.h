// The transport changes that MIDI keys make, each with the frame of the block it belongs to.
// processEvents sends a note-on to the editor's controls as it arrives, which changes the
// transport at once (the controls move as the keys come in); it records the state before and
// after the key here with the event's deltaFrames, and the next block replays each change at its
// own frame. A fixed ring with one writer (processEvents) and one reader (rendering): no
// allocation, no lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "player/fixed_frames.h"

namespace vintrove {

struct TransportState {
  FixedFrames position = 0;
  float pitch = 0.0f;
  bool playing = false;
};

struct TransportChange {
  enum Field : std::uint8_t { kPosition = 1, kPlaying = 2, kPitch = 4 };

  std::int32_t frame = 0;        // deltaFrames as the host gave it
  std::uint32_t generation = 0;  // the loader's file when the key came
  std::uint8_t fields = 0;       // what the key changed
  TransportState before;
  TransportState after;
};

// The fields in which two states differ.
std::uint8_t changedFields(const TransportState& before, const TransportState& after);

class TransportEvents {
 public:
  static constexpr std::int32_t kCapacity = 128;

  // False, keeping nothing, when the ring is full.
  bool push(const TransportChange& change);
  // Moves every change pushed so far into `into` (room for kCapacity), oldest first; the count.
  std::int32_t take(TransportChange* into);

 private:
  TransportChange ring_[kCapacity];
  std::atomic<std::uint32_t> taken_{0};   // changes taken, written by the reader
  std::atomic<std::uint32_t> pushed_{0};  // changes pushed, written by the writer
};

// Fits the changes taken for a block of `frames` to it: each frame clamped into the block and
// none before the one ahead of it (keys act in the order they came). They hold only while nothing
// else changed the transport after them (current) and the file is the same; otherwise the answer
// is 0 and the block plays the current state throughout. start is the state the block begins in:
// each changed field as it was before its first change, the others as they are now.
std::int32_t fitChangesToBlock(TransportChange* changes, std::int32_t count, std::int32_t frames,
                               const TransportState& current, std::uint32_t generation,
                               TransportState& start);

}  // namespace vintrove
