#include "recording_host.h"

namespace vintrove::testhost {

namespace {
RecordingHost* currentHost = nullptr;
}

RecordingHost::RecordingHost() { currentHost = this; }

RecordingHost::~RecordingHost() {
  if (currentHost == this) currentHost = nullptr;
}

HostInt VINTROVE_HOST_CALL RecordingHost::callback(EffectRecord* effect, std::int32_t opcode,
                                                   std::int32_t index, HostInt value, void* ptr,
                                                   float opt) {
  if (currentHost == nullptr) return 0;
  HostRequest request{effect, opcode, index, value, ptr, opt};
  currentHost->requests_.push_back(request);
  return currentHost->answer(request);
}

HostInt RecordingHost::answer(const HostRequest& request) {
  switch (request.opcode) {
    case 1:
      return kVersion;
    default:
      return 0;
  }
}

const char* hostRequestName(std::int32_t opcode) {
  switch (opcode) {
    case 0: return "automate";
    case 1: return "version";
    case 3: return "idle";
    case 43: return "begin edit";
    case 44: return "end edit";
    default: return "other";
  }
}

}  // namespace vintrove::testhost
