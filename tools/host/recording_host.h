// The host's side of the callback: answers the plug-in's requests and keeps a bounded log of
// them. A callback carries no user data, so the one host of this process is reached through a
// global; the answers themselves need no host object, so an effect created without one still
// sees a host of version 2400.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
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
  // Requests kept in full, in order; later ones are only counted, so long runs stay bounded.
  static constexpr std::size_t kKeptRequests = 256;
  // Opcodes counted one by one; any other opcode is counted as "other".
  static constexpr std::int32_t kCountedOpcodes = 64;

  RecordingHost();
  ~RecordingHost();
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // The HostCallback to hand to the plug-in's `main`. May be called from any thread.
  static HostInt VINTROVE_HOST_CALL callback(EffectRecord* effect, std::int32_t opcode,
                                             std::int32_t index, HostInt value, void* ptr,
                                             float opt);

  // What the host answers: version 2400 (1); 1 for idle (3) and begin/end of an edit (43, 44),
  // which the host accepts without doing anything; 0 for everything else.
  static HostInt answer(const HostRequest& request);

  // The first kKeptRequests requests, in order (a copy: the log may grow meanwhile).
  std::vector<HostRequest> requests() const;
  // Forgets every request seen so far: the log starts again from the next one.
  void clear();
  // Every request seen, kept or not.
  std::uint64_t requestCount() const;
  // Requests seen with this opcode (opcodes outside 0..kCountedOpcodes-1 share one counter).
  std::uint64_t countOf(std::int32_t opcode) const;

  // Runs action once, inside the plug-in's next idle request (opcode 3), on the thread that
  // asked: hosts do their own work there, closing editors and effects among it.
  void atNextIdle(std::function<void()> action);
  // The same inside the plug-in's next request with this opcode (begin edit, automate, end
  // edit...), before it is answered: a host may react to any request at once.
  void atNextRequest(std::int32_t opcode, std::function<void()> action);

 private:
  void record(const HostRequest& request);

  mutable std::mutex lock_;
  std::vector<HostRequest> kept_;
  std::uint64_t total_ = 0;
  std::array<std::uint64_t, kCountedOpcodes + 1> perOpcode_{};
  std::int32_t actionOpcode_ = 3;
  std::function<void()> action_;
};

const char* hostRequestName(std::int32_t opcode);

}  // namespace vintrove::testhost
