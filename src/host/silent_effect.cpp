// Placeholder effect until the player exists: a valid record that makes no sound.
#include <memory>

#include "host/extended_effect.h"
#include "host/plugin_entry.h"

namespace vintrove {

namespace {

class SilentEffect final : public ExtendedEffect {
 public:
  explicit SilentEffect(HostCallback callback) : ExtendedEffect(callback, 1, 0) {}

  void process(float**, float**, std::int32_t) override {}
  void processReplacing(float**, float**, std::int32_t) override {}
};

}  // namespace

std::unique_ptr<EffectBase> createPluginEffect(HostCallback hostCallback) {
  return std::make_unique<SilentEffect>(hostCallback);
}

}  // namespace vintrove
