#include "player/placeholder_editor.h"

#include <memory>

#include "player/player_effect.h"

namespace vintrove {

float encodedControlValue(float current, float value) {
  if (value >= 0.0f && value <= 1.0f) return value;
  if (value < 0.0f) return 1.0f - current;
  if (value > 1.0f && value < 2.0f) {
    const float lowered = current - (value - 1.0f);
    return lowered < 0.0f ? 0.0f : lowered;
  }
  if (value > 2.0f && value < 3.0f) {
    const float raised = current + (value - 2.0f);
    return raised > 1.0f ? 1.0f : raised;
  }
  return current;
}

PlaceholderPlayerEditor::PlaceholderPlayerEditor(PlayerEffect& owner)
    : EditorBase(&owner), player(owner) {
  // The real editor's controls start with play and loop off and the pitch slider centred.
  values[0].store(0.0f);
  values[1].store(0.0f);
  values[2].store(0.0f);
  values[3].store(0.5f);
}

PlayerEditorHandle PlaceholderPlayerEditor::create(PlayerEffect& player) {
  return makePlayerEditorHandle(std::make_unique<PlaceholderPlayerEditor>(player));
}

std::atomic<float>* PlaceholderPlayerEditor::control(std::int32_t tag) {
  if (tag < kPlayTag || tag > kPitchTag) return nullptr;
  return &values[static_cast<std::size_t>(tag - kPlayTag)];
}

float PlaceholderPlayerEditor::controlValue(std::int32_t tag) const {
  if (tag < kPlayTag || tag > kPitchTag) return 0.0f;
  return values[static_cast<std::size_t>(tag - kPlayTag)].load();
}

void PlaceholderPlayerEditor::command(std::int32_t tag, float value) {
  if (tag < kToStartTag || tag > kPitchTag) return;  // 1 (open) needs a window
  if (std::atomic<float>* held = control(tag)) held->store(encodedControlValue(held->load(), value));
  controlChanged(tag);
}

void PlaceholderPlayerEditor::controlChanged(std::int32_t tag) {
  switch (tag) {
    case kToStartTag:
      values[2].store(0.0f);
      player.setPosition(0.0f);
      break;
    case kPitchResetTag:
      values[3].store(0.5f);
      player.setPitch(0.5f);
      break;
    case kPlayTag:
      player.setPlaying(values[0].load() != 0.0f);
      break;
    case kLoopTag:
      player.setLoop(values[1].load() != 0.0f);
      break;
    case kPositionTag:
      player.setPosition(values[2].load());
      break;
    case kPitchTag:
      player.setPitch(values[3].load());
      break;
    default:
      break;
  }
}

void PlaceholderPlayerEditor::showPlaying(bool playing) { values[0].store(playing ? 1.0f : 0.0f); }

void PlaceholderPlayerEditor::showPosition(float fraction, std::int32_t) {
  values[2].store(fraction);
}

}  // namespace vintrove
