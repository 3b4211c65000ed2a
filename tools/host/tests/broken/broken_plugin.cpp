// Plug-ins broken the ways a validator must survive, one per build (VINTROVE_BROKEN_KIND):
// 1 main answers null, 2 main answers a record of zeros, 3 every dispatcher call throws a C++
// exception, 4 the dispatcher writes through a null pointer, 5 the dispatcher never returns (a
// plug-in deadlocked on its own thread). The record of 3 to 5 is otherwise well formed, so the
// validator gets as far as calling through it.
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "host/effect_record.h"

using vintrove::EffectRecord;
using vintrove::HostCallback;
using vintrove::HostInt;

namespace {

EffectRecord record{};

HostInt VINTROVE_HOST_CALL throwingDispatcher(EffectRecord*, std::int32_t opcode, std::int32_t, HostInt, void*,
                                              float) {
  throw std::runtime_error("broken dispatcher, opcode " + std::to_string(opcode));
}

volatile int* nowhere = nullptr;

HostInt VINTROVE_HOST_CALL faultingDispatcher(EffectRecord*, std::int32_t opcode, std::int32_t, HostInt, void*,
                                              float) {
  *nowhere = opcode;
  return 0;
}

HostInt VINTROVE_HOST_CALL hangingDispatcher(EffectRecord*, std::int32_t, std::int32_t, HostInt, void*, float) {
  for (;;) Sleep(INFINITE);
}

void VINTROVE_HOST_CALL process(EffectRecord*, float**, float**, std::int32_t) {}
void VINTROVE_HOST_CALL setParameter(EffectRecord*, std::int32_t, float) {}
float VINTROVE_HOST_CALL getParameter(EffectRecord*, std::int32_t) { return 0.0f; }

void fillRecord(vintrove::DispatcherEntry dispatcher) {
  record.magic = vintrove::kEffectMagic;
  record.dispatcher = dispatcher;
  record.process = &process;
  record.setParameter = &setParameter;
  record.getParameter = &getParameter;
  record.processReplacing = &process;
  record.numPrograms = 1;
  record.numParams = 2;
  record.numOutputs = 2;
  record.flags = vintrove::kFlagCanReplacing | vintrove::kFlagIsSynth;
  record.ioRatio = 1.0f;
  record.version = 1;
}

}  // namespace

extern "C" EffectRecord* VINTROVE_HOST_CALL brokenMain(HostCallback) {
  switch (VINTROVE_BROKEN_KIND) {
    case 1:
      return nullptr;
    case 2:
      record = EffectRecord{};
      return &record;
    case 3:
      fillRecord(&throwingDispatcher);
      return &record;
    case 5:
      fillRecord(&hangingDispatcher);
      return &record;
    default:
      fillRecord(&faultingDispatcher);
      return &record;
  }
}
