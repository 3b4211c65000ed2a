// The player's editor until the GUI editor exists: no window, but the command channel of the
// real editor with the last value of each tagged control, so host automation and MIDI keys act
// on the player (even with no window open), and the overview image the loader paints into.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "host/editor_base.h"
#include "player/overview.h"
#include "player/player_editor_port.h"

namespace vintrove {

class PlayerEffect;

// The command encoding for a control holding current: 0..1 sets, negative toggles, 1..2 steps
// down by (value - 1) not below 0, 2..3 steps up by (value - 2) not above 1; any other value
// (2, 3 and above, NaN) leaves current.
float encodedControlValue(float current, float value);

class PlaceholderPlayerEditor final : public EditorBase, public PlayerEditorPort {
 public:
  explicit PlaceholderPlayerEditor(PlayerEffect& player);

  void command(std::int32_t tag, float value) override;
  void showPlaying(bool playing) override;
  void showNotFound() override {}
  void showFileName(const char*) override {}
  void showOutOfMemory(std::int32_t) override {}
  void showFileInfo(std::int32_t, float, bool) override {}
  void showPosition(float fraction, std::int32_t seconds) override;
  void showLoadingProgress() override {}
  unsigned char* overviewBits() override { return overview->data(); }
  // A decoding thread that outlives the player may still draw into the image: it holds this.
  std::shared_ptr<const void> overviewOwner() override { return overview; }

  // The value of control tag 4 to 7 (0 for other tags).
  float controlValue(std::int32_t tag) const;

  // The factory the player is built with.
  static PlayerEditorHandle create(PlayerEffect& player);

 private:
  // What the editor's reaction to a control does to the player.
  void controlChanged(std::int32_t tag);
  std::atomic<float>* control(std::int32_t tag);

  PlayerEffect& player;
  // Tags 4 (play), 5 (loop), 6 (position), 7 (pitch), written by whichever thread reports.
  std::array<std::atomic<float>, 4> values{};
  std::shared_ptr<std::array<unsigned char, kOverviewBytes>> overview =
      std::make_shared<std::array<unsigned char, kOverviewBytes>>();
};

}  // namespace vintrove
