// One effect driven through its record as a music host drives it: the dispatcher for open,
// sample rate, block size, resume/suspend, MIDI events and the editor, the parameter entries and
// processReplacing. The record main hands out is checked first (record_check.h): a broken one
// is refused, never called through, and the session is not valid(). The session closes the
// effect (opcode 1) exactly once, in close() or its destructor; after that every call does
// nothing and answers 0.
//
// Typical use:
//   PluginLibrary library("vintrove.dll");
//   RecordingHost host;                 // optional: logs the plug-in's requests
//   EffectSession effect(library);      // calls the library's main
//   effect.open(); effect.setSampleRate(44100); effect.setBlockSize(512); effect.resume();
//   StereoBuffer out; effect.render(44100, out);
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/effect_record.h"
#include "plugin_library.h"

namespace vintrove::testhost {

// The editor's rectangle as the plug-in hands it out through opcode 13: four 16-bit values.
struct EditorRectangle {
  std::int16_t top = 0;
  std::int16_t left = 0;
  std::int16_t bottom = 0;
  std::int16_t right = 0;

  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
  bool empty() const { return width() <= 0 || height() <= 0; }
};
static_assert(sizeof(EditorRectangle) == 8);

// One MIDI event record of the events record: type 1, its own size, the timing within the
// block, then the up to four MIDI bytes at offset 24.
struct MidiEventRecord {
  std::int32_t type = 1;
  std::int32_t byteSize = 32;
  std::int32_t deltaFrames = 0;
  std::int32_t flags = 0;
  std::int32_t noteLength = 0;
  std::int32_t noteOffset = 0;
  std::uint8_t midiData[4] = {0, 0, 0, 0};
  std::int8_t detune = 0;
  std::uint8_t noteOffVelocity = 0;
  std::uint8_t reserved1 = 0;
  std::uint8_t reserved2 = 0;
};
static_assert(sizeof(MidiEventRecord) == 32);
static_assert(offsetof(MidiEventRecord, midiData) == 24);

// Head of the events record: the count, a reserved word, then (from offset 8 on 32 bits) one
// pointer per event.
struct EventsRecordHead {
  std::int32_t count;
  HostInt reserved;
};
static_assert(sizeof(void*) != 4 || sizeof(EventsRecordHead) == 8);

struct MidiMessage {
  std::uint8_t status = 0x90;
  std::uint8_t data1 = 60;
  std::uint8_t data2 = 100;
  std::int32_t deltaFrames = 0;

  static MidiMessage noteOn(std::uint8_t note, std::uint8_t velocity = 100, std::uint8_t channel = 0) {
    return MidiMessage{static_cast<std::uint8_t>(0x90 | (channel & 0x0F)), note, velocity, 0};
  }
  static MidiMessage noteOff(std::uint8_t note, std::uint8_t velocity = 0, std::uint8_t channel = 0) {
    return MidiMessage{static_cast<std::uint8_t>(0x80 | (channel & 0x0F)), note, velocity, 0};
  }
};

// An events record with its MIDI event records, built for one dispatch of opcode 25; the
// storage lives as long as this object.
class MidiEventList {
 public:
  explicit MidiEventList(const std::vector<MidiMessage>& messages);
  MidiEventList(const MidiEventList&) = delete;
  MidiEventList& operator=(const MidiEventList&) = delete;

  void* record() { return words_.data(); }
  std::int32_t size() const { return static_cast<std::int32_t>(events_.size()); }
  const MidiEventRecord& event(std::size_t i) const { return events_[i]; }

 private:
  std::vector<MidiEventRecord> events_;
  std::vector<std::uintptr_t> words_;  // the head, then the pointers
};

// Rendered audio of the two outputs.
struct StereoBuffer {
  std::vector<float> left;
  std::vector<float> right;

  std::size_t frames() const { return left.size(); }
  // Largest absolute sample of both channels.
  float peak() const;
};

class EffectSession {
 public:
  // Calls the library's `main` with RecordingHost::callback. The library must outlive the
  // session. valid() tells whether an effect was created.
  explicit EffectSession(const PluginLibrary& library);
  ~EffectSession();
  EffectSession(const EffectSession&) = delete;
  EffectSession& operator=(const EffectSession&) = delete;

  bool valid() const { return record_ != nullptr; }
  // Why the record was refused (main answered null, a wrong magic, missing entry points);
  // empty for a valid session.
  const std::string& refusal() const { return refusal_; }
  EffectRecord* record() const { return record_; }
  // The raw dispatcher; 0 once closed.
  HostInt dispatch(std::int32_t opcode, std::int32_t index = 0, HostInt value = 0, void* ptr = nullptr,
                   float opt = 0.0f);

  HostInt open();                           // opcode 0
  void setSampleRate(float rate);           // opcode 10
  void setBlockSize(std::int32_t frames);   // opcode 11
  void resume();                            // opcode 12, value 1
  void suspend();                           // opcode 12, value 0
  float sampleRate() const { return sampleRate_; }
  std::int32_t blockSize() const { return blockSize_; }

  void setParameter(std::int32_t index, float value);
  float getParameter(std::int32_t index) const;
  std::string parameterName(std::int32_t index);     // opcode 8
  std::string parameterDisplay(std::int32_t index);  // opcode 7

  // One processReplacing call: outputs are the two channel buffers, zeroed first, so an effect
  // that writes nothing gives silence. Inputs are two zeroed channels. frames must not exceed
  // the block size given with setBlockSize (it grows the zeroed input to fit otherwise).
  void processReplacing(float* left, float* right, std::int32_t frames);
  // Renders `frames` frames in blocks of at most blockSize() into `out` (resized to fit).
  void render(std::int32_t frames, StereoBuffer& out);

  // Opcode 25 with the events record; answers the plug-in's answer.
  HostInt sendMidi(const std::vector<MidiMessage>& messages);
  HostInt noteOn(std::uint8_t note, std::uint8_t velocity = 100, std::uint8_t channel = 0);

  // Opcode 23: a copy of the state record the effect hands out (empty when it answers 0);
  // isPreset asks for the program's record instead of the bank's.
  std::vector<unsigned char> getChunk(bool isPreset = false);
  // Opcode 24 with the bytes (the size as its value); answers the plug-in's answer.
  HostInt setChunk(std::vector<unsigned char> bytes, bool isPreset = false);

  // Whether the record's flags announce an editor (0x001).
  bool hasEditor() const;
  // Opcode 13: true with the rectangle when the plug-in hands one out.
  bool editorRect(EditorRectangle& out);
  // Opcode 14 with the parent window; answers the plug-in's answer. A later closeEditor (or
  // close) sends opcode 15 once.
  HostInt openEditor(HWND parent);
  void closeEditor();       // opcode 15, only after openEditor
  void idleEditor();        // opcode 19, only while the editor is open
  bool editorOpen() const { return editorOpen_; }

  // Closes the editor if open, then sends opcode 1; the record is gone afterwards.
  void close();
  // Opcode 1 alone, with the editor still open, as some hosts close (also from another thread
  // than the editor's); the record is gone afterwards.
  void closeLeavingTheEditor();

 private:
  EffectRecord* record_ = nullptr;
  std::string refusal_;
  float sampleRate_ = 44100.0f;
  std::int32_t blockSize_ = 1024;
  bool editorOpen_ = false;
  std::vector<float> silentInput_;
};

}  // namespace vintrove::testhost
