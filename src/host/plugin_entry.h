// The library's only export (exported as `main`) and the factory of the effect it creates.
#pragma once

#include <memory>

#include "host/effect_base.h"
#include "host/effect_record.h"

namespace vintrove {

// Defined once per library by the effect it presents.
std::unique_ptr<EffectBase> createPluginEffect(HostCallback hostCallback);

using EffectFactory = std::unique_ptr<EffectBase> (*)(HostCallback hostCallback);

// What `main` does, with the factory as a parameter: asks the host's version (0 gives null and
// creates nothing), creates the effect and hands its record and ownership to the host. Any
// failure, allocation included, gives null.
EffectRecord* createEffectRecord(HostCallback hostCallback, EffectFactory factory);

}  // namespace vintrove

extern "C" vintrove::EffectRecord* VINTROVE_HOST_CALL vintroveMain(
    vintrove::HostCallback hostCallback);
