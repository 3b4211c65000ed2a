// The host's side of the callback: answers the plug-in's requests and keeps a log of them.
// A callback carries no user data, so the one host of this process is reached through a global.
#pragma once

#include <cstdint>
#include <vector>

#include "host/effect_record.h"

namespace vintrove::testhost {

struct HostRequest {
  EffectRecord* effect;
  std::int32_t opcode;
  std::int32_t index;
  HostInt value;
  void* ptr;
  float opt;
};

class RecordingHost {
 public:
  static constexpr HostInt kVersion = 2400;

  RecordingHost();
  ~RecordingHost();
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  static HostInt VINTROVE_HOST_CALL callback(EffectRecord* effect, std::int32_t opcode,
                                             std::int32_t index, HostInt value, void* ptr,
                                             float opt);

  const std::vector<HostRequest>& requests() const { return requests_; }

 private:
  HostInt answer(const HostRequest& request);

  std::vector<HostRequest> requests_;
};

const char* hostRequestName(std::int32_t opcode);

}  // namespace vintrove::testhost
