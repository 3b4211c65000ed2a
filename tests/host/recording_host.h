// A host whose callback records every request and answers what the test sets.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/effect_record.h"

namespace vintrove::test {

struct HostCall {
  EffectRecord* effect;
  std::int32_t opcode;
  std::int32_t index;
  HostInt value;
  void* ptr;
  float opt;
};

// One instance at a time: the callback is a plain function and finds it through `current`.
class RecordingHost {
 public:
  RecordingHost() { current = this; }
  ~RecordingHost() { current = nullptr; }
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  HostCallback callback() const { return &RecordingHost::entry; }

  std::vector<HostCall> calls;
  HostInt answer = 0;
  // When set, decides the answer per request instead of `answer`.
  std::function<HostInt(const HostCall&)> answerFor;

 private:
  static HostInt VINTROVE_HOST_CALL entry(EffectRecord* effect, std::int32_t opcode,
                                          std::int32_t index, HostInt value, void* ptr,
                                          float opt) {
    if (current == nullptr) {
      return 0;
    }
    const HostCall call{effect, opcode, index, value, ptr, opt};
    current->calls.push_back(call);
    return current->answerFor ? current->answerFor(call) : current->answer;
  }

  static inline RecordingHost* current = nullptr;
};

}  // namespace vintrove::test
