// The effect the Windows library presents: the player with its editor window.
#include <memory>

#include "editor/player_editor.h"
#include "host/plugin_entry.h"
#include "player/player_effect.h"

namespace vintrove {

std::unique_ptr<EffectBase> createPluginEffect(HostCallback hostCallback) {
  return std::make_unique<PlayerEffect>(hostCallback, &PlayerEditor::create);
}

}  // namespace vintrove
