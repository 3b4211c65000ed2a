// The plug-in's editor: a fixed 256 x 84 window with the file name, mode, bit rate, elapsed and
// total time displays, the overview under the position slider, the pitch slider and the open,
// to-start, pitch-reset, play and loop buttons.
//
// It is also the player's command channel. Commands (host automation, MIDI keys) and reports
// (position, playing, file info, progress) may come from any thread and, open or closed, only
// change the editor's shared state (atomics), act on the player and leave a mark in the
// GuiHandoff; the GUI thread alone moves that state into the controls and draws, at its next
// idle or at the refresh timer of the editor's window, which runs while the editor is open (so
// displays move in hosts that send no idle). So no report reaches the window system, draws off
// the GUI thread or touches a control that close() is destroying. Edits the user makes in the
// editor go to the host as automation; commands from the host or MIDI keys are not echoed.
//
// The open-file dialog runs from a message posted to the editor's window, not inside the open
// button's press, and is owned by the host's top-level window. The host may close the editor
// or the whole effect from inside the dialog's message loop, as from inside a control's drag:
// their NestedLoopGuard then has the return path touch nothing of the editor and keeps the
// library loaded.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "editor/display_texts.h"
#include "editor/file_dialog.h"
#include "editor/gui_handoff.h"
#include "gui/bitmap.h"
#include "gui/control_listener.h"
#include "gui/gui_editor.h"
#include "gui/retained.h"
#include "platform/lock.h"
#include "player/overview.h"
#include "player/player_editor_port.h"

namespace vintrove {

class HorizontalSlider;
class MomentaryButton;
class OverviewBitmap;
class PlayerEffect;
class TextEntry;
class ToggleButton;

class PlayerEditor final : public GuiEditor, public ControlListener, public PlayerEditorPort {
 public:
  explicit PlayerEditor(PlayerEffect& player);
  ~PlayerEditor() override;

  // The factory the plug-in's player is built with.
  static PlayerEditorHandle create(PlayerEffect& player);

  std::int32_t open(void* parent) override;
  void close() override;
  void idle() override;
  void refresh() override;

  void controlChanged(DrawContext* context, Control* control) override;
  std::int32_t parameterIndexOfTag(std::int32_t tag) override;
  void editorMessage(std::uintptr_t what) override;
  void timerFired(std::uintptr_t id) override;

  void command(std::int32_t tag, float value) override;
  void showPlaying(bool playing) override;
  void showNotFound() override;
  void showFileName(const char* path) override;
  void showOutOfMemory(std::int32_t seconds) override;
  void showFileInfo(std::int32_t bitRate, float seconds, bool stereo) override;
  void showPosition(float fraction, std::int32_t seconds) override;
  void showLoadingProgress() override;
  unsigned char* overviewBits() override;
  std::shared_ptr<const void> overviewOwner() override;

  // Loads the first .mp1, .mp2 or .mp3 file of a drop; false when there is none.
  bool loadDroppedFiles(const char* const* paths, std::int32_t count);
  // The first .mp1, .mp2 or .mp3 path of a drop, or null.
  static const char* findLoadableFile(const char* const* paths, std::int32_t count);

  bool isEditorOpen() const { return editorOpen.load(); }
  bool isFileDialogUp() const { return dialogUp; }
  // Brings the controls up to the shared state before the frame paints (GUI thread).
  void syncControlsForPaint();
  // The value the editor holds for control tag 4 to 7, open or closed.
  float controlValue(std::int32_t tag) const;

 private:
  // The tagged controls' values from the player's parameters.
  void takePlayerState();
  void loadChosenFile(const char* path);
  void runFileDialog();
  // Something the displays show changed (any thread): the GUI thread refreshes soon.
  void markChanged();
  // GUI thread, editor open: takes the handoff's marks and refreshes when there were any.
  void pickUpChanges();
  // The host hears the new value of the parameter a user's edit of the tagged control changed.
  void reportEditToHost(std::int32_t tag, const Control& control);
  // What a change of the tagged control does to the player, from the shared state.
  void react(std::int32_t tag);
  // Copies the shared state into the controls (GUI thread, editor open).
  void applyStateToControls();
  bool onGuiThread() const;
  // The player's loader's count of loads started.
  std::uint32_t currentLoad() const;
  std::atomic<float>& value(std::int32_t tag);

  PlayerEffect& player;

  // Owned by the frame while open; null while closed.
  ToggleButton* loopToggle = nullptr;
  ToggleButton* playToggle = nullptr;
  TextEntry* fileNameDisplay = nullptr;
  TextEntry* elapsedDisplay = nullptr;
  TextEntry* totalDisplay = nullptr;
  TextEntry* bitRateDisplay = nullptr;
  TextEntry* modeDisplay = nullptr;
  MomentaryButton* openButton = nullptr;
  MomentaryButton* toStartButton = nullptr;
  MomentaryButton* pitchResetButton = nullptr;
  HorizontalSlider* positionSlider = nullptr;
  HorizontalSlider* pitchSlider = nullptr;

  // The pictures of an open editor, by resource number.
  struct Bitmaps {
    Retained<Bitmap> loop;        // 120
    Retained<Bitmap> play;        // 119
    Retained<Bitmap> open;        // 116
    Retained<Bitmap> toStart;     // 117
    Retained<Bitmap> pitchReset;  // 118
    Retained<Bitmap> handle;      // 115
    Retained<Bitmap> background;  // 114
    Retained<Bitmap> mode;        // 111
    Retained<Bitmap> bitRate;     // 112
    Retained<Bitmap> elapsed;     // 110
    Retained<Bitmap> total;       // 110, a second instance
    Retained<Bitmap> fileName;    // 113
  };
  Bitmaps bitmaps;

  // The loader paints into overviewImage, open or closed; the refresh copies it into the
  // bitmap the position slider draws (GUI thread). The loader shares the image's ownership, so
  // a decoding thread that outlives the editor still draws into live memory.
  std::shared_ptr<std::array<unsigned char, kOverviewBytes>> overviewImage;
  Retained<OverviewBitmap> overviewBitmap;
  std::atomic<bool> editorOpen{false};
  std::atomic<unsigned long> guiThread{0};

  // Shared state: the tagged controls' values (4 play, 5 loop, 6 position, 7 pitch) and what
  // the reports said, written by whichever thread reports.
  std::array<std::atomic<float>, 4> values{};
  std::atomic<std::int32_t> elapsedSeconds{0};
  std::atomic<bool> fileInfoKnown{false};
  std::atomic<float> totalSeconds{0.0f};
  std::atomic<std::int32_t> bitRate{0};
  std::atomic<bool> stereo{false};
  GuiHandoff handoff;
  // GUI thread only: the overview image is to be copied at the next refresh, and when the
  // loader's progress last redrew it (at most every 100 ms).
  bool overviewDue = false;
  std::uint32_t lastProgressRedraw = 0;

  // The file-name display's text, and whether the last load failed to start; a restored state
  // reports them from any thread.
  platform::Lock fileNameLock;
  char fileNameText[kDisplayTextCapacity] = "";
  // The load whose early end the name display shows instead of its name (no name report of
  // that load replaces it, even one that comes late); 0: none.
  std::uint32_t notedLoad = 0;
  // The shared values last put into the tagged controls (4 to 7).
  std::array<float, 4> appliedValues{};
  std::atomic<bool> loadRefused{false};
  // GUI thread only: the dialog has been asked for (posted), or is up.
  bool dialogRequested = false;
  bool dialogUp = false;
};

}  // namespace vintrove
