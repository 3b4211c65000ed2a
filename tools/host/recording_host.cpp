#include "recording_host.h"

#include <atomic>

namespace vintrove::testhost {

namespace {
std::atomic<RecordingHost*> currentHost{nullptr};

std::size_t counterIndex(std::int32_t opcode) {
  if (opcode < 0 || opcode >= RecordingHost::kCountedOpcodes) {
    return RecordingHost::kCountedOpcodes;
  }
  return static_cast<std::size_t>(opcode);
}
}  // namespace

RecordingHost::RecordingHost() {
  kept_.reserve(kKeptRequests);
  currentHost.store(this);
}

RecordingHost::~RecordingHost() {
  RecordingHost* self = this;
  currentHost.compare_exchange_strong(self, nullptr);
}

HostInt VINTROVE_HOST_CALL RecordingHost::callback(EffectRecord* effect, std::int32_t opcode,
                                                   std::int32_t index, HostInt value, void* ptr,
                                                   float opt) {
  const HostRequest request{effect, opcode, index, value, ptr, opt};
  RecordingHost* host = currentHost.load();
  if (host != nullptr) host->record(request);
  if (host != nullptr) {
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> guard(host->lock_);
      if (opcode == host->actionOpcode_) action.swap(host->action_);
    }
    if (action) action();
  }
  return answer(request);
}

HostInt RecordingHost::answer(const HostRequest& request) {
  switch (request.opcode) {
    case 1:
      return kVersion;
    case 3:   // idle: the driver pumps its own messages, so nothing is re-entered from here
    case 43:  // begin edit
    case 44:  // end edit
      return 1;
    default:
      return 0;
  }
}

void RecordingHost::record(const HostRequest& request) {
  std::lock_guard<std::mutex> guard(lock_);
  if (kept_.size() < kKeptRequests) kept_.push_back(request);
  ++total_;
  ++perOpcode_[counterIndex(request.opcode)];
}

void RecordingHost::atNextIdle(std::function<void()> action) { atNextRequest(3, std::move(action)); }

void RecordingHost::atNextRequest(std::int32_t opcode, std::function<void()> action) {
  std::lock_guard<std::mutex> guard(lock_);
  actionOpcode_ = opcode;
  action_ = std::move(action);
}

std::vector<HostRequest> RecordingHost::requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return kept_;
}

void RecordingHost::clear() {
  std::lock_guard<std::mutex> guard(lock_);
  kept_.clear();
  total_ = 0;
  perOpcode_.fill(0);
}

std::uint64_t RecordingHost::requestCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return total_;
}

std::uint64_t RecordingHost::countOf(std::int32_t opcode) const {
  std::lock_guard<std::mutex> guard(lock_);
  return perOpcode_[counterIndex(opcode)];
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
