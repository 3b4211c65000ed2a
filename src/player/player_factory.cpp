// The effect the library presents: the player with its placeholder editor.
#include <memory>

#include "host/plugin_entry.h"
#include "player/placeholder_editor.h"
#include "player/player_effect.h"

namespace vintrove {

std::unique_ptr<EffectBase> createPluginEffect(HostCallback hostCallback) {
  return std::make_unique<PlayerEffect>(hostCallback, &PlaceholderPlayerEditor::create);
}

}  // namespace vintrove
