// The only way the player reaches its editor: commands to the editor's controls (host
// automation and MIDI keys) and the reports the editor shows. The editor object derives from
// both EditorBase (attached to the effect, which owns it) and this port.
#pragma once

#include <cstdint>
#include <memory>

#include "host/editor_base.h"

namespace vintrove {

class PlayerEffect;

// Control tags, shared by commands and the editor's controls.
enum PlayerControlTag : std::int32_t {
  kOpenTag = 1,
  kToStartTag = 2,
  kPitchResetTag = 3,
  kPlayTag = 4,
  kLoopTag = 5,
  kPositionTag = 6,
  kPitchTag = 7,
};

class PlayerEditorPort {
 public:
  virtual ~PlayerEditorPort() = default;

  // The command channel: value 0..1 sets the tagged control, negative toggles, 1..2 steps it
  // down, 2..3 steps it up; the control's reaction then reaches the player's setters.
  virtual void command(std::int32_t tag, float value) = 0;
  virtual void showPlaying(bool playing) = 0;
  virtual void showNotFound() = 0;
  // The name of a file whose load the player started itself (a restored state); any thread.
  virtual void showFileName(const char* path) = 0;
  // Memory ran out while the file decoded: what decoded, seconds long, plays. The name display
  // says so until the next load; decoding thread.
  virtual void showOutOfMemory(std::int32_t seconds) = 0;
  virtual void showFileInfo(std::int32_t bitRate, float seconds, bool stereo) = 0;
  virtual void showPosition(float fraction, std::int32_t seconds) = 0;
  virtual void showLoadingProgress() = 0;
  // The 248 x 16 overview image the loader paints into; may be null.
  virtual unsigned char* overviewBits() = 0;
  // What keeps that image's memory alive; the loader holds it for as long as it may draw, so
  // the image outlives a decoding thread that outlives the editor. Null: the image lives as
  // long as the port.
  virtual std::shared_ptr<const void> overviewOwner() { return nullptr; }
};

// What an editor factory hands the player: the editor it attaches and the port it talks to,
// normally one object seen through both bases.
struct PlayerEditorHandle {
  std::unique_ptr<EditorBase> editor;
  PlayerEditorPort* port = nullptr;
};

template <class Editor>
PlayerEditorHandle makePlayerEditorHandle(std::unique_ptr<Editor> created) {
  PlayerEditorHandle handle;
  handle.port = created.get();
  handle.editor = std::move(created);
  return handle;
}

// Creates the player's editor; may throw (the player then runs without one).
using PlayerEditorFactory = PlayerEditorHandle (*)(PlayerEffect& player);

}  // namespace vintrove
