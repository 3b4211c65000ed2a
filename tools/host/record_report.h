// Prints what a host sees of an effect: its record byte for byte and field by field, its names
// and its parameters. End-to-end tests read this output.
#pragma once

#include <cstdio>

#include "host/effect_record.h"

namespace vintrove::testhost {

void printRecord(std::FILE* out, const EffectRecord& record);
void printNames(std::FILE* out, EffectRecord& record);
void printParameters(std::FILE* out, EffectRecord& record);

}  // namespace vintrove::testhost
