// What a host checks of the record a plug-in's `main` hands out before it calls anything
// through it: a record at all, the magic, every entry point the host calls, and counts a host
// can loop over. A broken plug-in is refused here instead of being called through null.
#pragma once

#include <string>

#include "host/effect_record.h"

namespace vintrove::testhost {

// Empty when the record can be used; otherwise every problem, separated by "; ".
std::string recordProblems(const EffectRecord* record);

}  // namespace vintrove::testhost
