#include "host/plugin_entry.h"

namespace vintrove {

namespace {
constexpr std::int32_t kHostVersionRequest = 1;
}  // namespace

EffectRecord* createEffectRecord(HostCallback hostCallback, EffectFactory factory) {
  if (hostCallback == nullptr || factory == nullptr) {
    return nullptr;
  }
  try {
    if (hostCallback(nullptr, kHostVersionRequest, 0, 0, nullptr, 0.0f) == 0) {
      return nullptr;
    }
    std::unique_ptr<EffectBase> effect = factory(hostCallback);
    if (!effect) {
      return nullptr;
    }
    // The host owns the effect from here; its close request hands it back for destruction.
    return effect.release()->getRecord();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace vintrove

extern "C" vintrove::EffectRecord* VINTROVE_HOST_CALL vintroveMain(
    vintrove::HostCallback hostCallback) {
  return vintrove::createEffectRecord(hostCallback, &vintrove::createPluginEffect);
}
