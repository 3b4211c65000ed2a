// Helpers for player tests: an editor port that records what the player sends it, players built
// with it or with the placeholder editor, and the host's MIDI events record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/editor_base.h"
#include "host/effect_record.h"
#include "player/overview.h"
#include "player/placeholder_editor.h"
#include "player/player_editor_port.h"
#include "player/player_effect.h"

namespace vintrove::test {

struct SentCommand {
  std::int32_t tag;
  float value;
  friend bool operator==(const SentCommand&, const SentCommand&) = default;
};

struct PositionShown {
  float fraction;
  std::int32_t seconds;
};

struct FileInfoShown {
  std::int32_t bitRate;
  float seconds;
  bool stereo;
};

// Records every call; the decoding thread reports too, hence the lock.
class RecordingPort final : public EditorBase, public PlayerEditorPort {
 public:
  explicit RecordingPort(EffectBase* owner) : EditorBase(owner) {}

  void command(std::int32_t tag, float value) override {
    std::lock_guard<std::mutex> guard(mutex);
    commands.push_back({tag, value});
  }
  void showPlaying(bool playing) override {
    std::lock_guard<std::mutex> guard(mutex);
    playingShown.push_back(playing);
  }
  void showNotFound() override {
    std::lock_guard<std::mutex> guard(mutex);
    ++notFound;
  }
  void showFileName(const char* path) override {
    std::lock_guard<std::mutex> guard(mutex);
    fileNames.emplace_back(path);
  }
  void showOutOfMemory(std::int32_t seconds) override {
    std::lock_guard<std::mutex> guard(mutex);
    outOfMemoryAt.push_back(seconds);
  }
  void showFileInfo(std::int32_t bitRate, float seconds, bool stereo) override {
    std::lock_guard<std::mutex> guard(mutex);
    fileInfo.push_back({bitRate, seconds, stereo});
  }
  void showPosition(float fraction, std::int32_t seconds) override {
    std::lock_guard<std::mutex> guard(mutex);
    positions.push_back({fraction, seconds});
  }
  void showLoadingProgress() override {
    std::lock_guard<std::mutex> guard(mutex);
    ++progress;
  }
  unsigned char* overviewBits() override { return overview.data(); }

  void clear() {
    std::lock_guard<std::mutex> guard(mutex);
    commands.clear();
    playingShown.clear();
    positions.clear();
    fileInfo.clear();
    fileNames.clear();
    outOfMemoryAt.clear();
    notFound = 0;
    progress = 0;
  }

  std::mutex mutex;
  std::vector<SentCommand> commands;
  std::vector<bool> playingShown;
  std::vector<PositionShown> positions;
  std::vector<FileInfoShown> fileInfo;
  std::vector<std::string> fileNames;
  std::vector<std::int32_t> outOfMemoryAt;
  int notFound = 0;
  int progress = 0;
  std::vector<unsigned char> overview = std::vector<unsigned char>(kOverviewBytes);

  static PlayerEditorHandle create(PlayerEffect& player) {
    return makePlayerEditorHandle(std::make_unique<RecordingPort>(&player));
  }
};

// A player whose editor is a RecordingPort.
struct RecordedPlayer {
  std::unique_ptr<PlayerEffect> player =
      std::make_unique<PlayerEffect>(nullptr, &RecordingPort::create);
  RecordingPort& port = *static_cast<RecordingPort*>(player->editorPort());
};

// A player with the placeholder editor, as the library builds it.
struct PlaceholderPlayer {
  std::unique_ptr<PlayerEffect> player =
      std::make_unique<PlayerEffect>(nullptr, &PlaceholderPlayerEditor::create);
  PlaceholderPlayerEditor& editor = *static_cast<PlaceholderPlayerEditor*>(player->editorPort());
};

// One event record of the host's interface (32 bytes; MIDI bytes at offset 24).
struct MidiEventRecord {
  std::int32_t type = 1;
  std::int32_t byteSize = 32;
  std::int32_t deltaFrames = 0;
  std::int32_t flags = 0;
  std::int32_t noteLength = 0;
  std::int32_t noteOffset = 0;
  unsigned char midiData[4] = {};
  std::int32_t detune = 0;
};
static_assert(offsetof(MidiEventRecord, midiData) == 24);

inline MidiEventRecord midiEvent(unsigned char status, unsigned char note, unsigned char velocity,
                                 std::int32_t type = 1) {
  MidiEventRecord event;
  event.type = type;
  event.midiData[0] = status;
  event.midiData[1] = note;
  event.midiData[2] = velocity;
  return event;
}

// The events record the host hands to processEvents: a count, a reserved word and the pointers.
class MidiEventList {
 public:
  explicit MidiEventList(std::vector<MidiEventRecord> list) : records(std::move(list)) {
    for (std::size_t i = 0; i < records.size() && i < kMost; ++i) layout.events[i] = &records[i];
    layout.count = static_cast<std::int32_t>(records.size());
  }
  void* get() { return &layout; }
  void setCount(std::int32_t count) { layout.count = count; }
  void setPointer(std::size_t index, void* event) { layout.events[index] = event; }

 private:
  static constexpr std::size_t kMost = 64;
  struct Layout {
    std::int32_t count = 0;
    HostInt reserved = 0;
    void* events[kMost] = {};
  };
  std::vector<MidiEventRecord> records;
  Layout layout;
};

}  // namespace vintrove::test
