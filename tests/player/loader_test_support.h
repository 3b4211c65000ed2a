// Helpers for loader tests: an owner that records the loader's reports and can hold the
// decoding thread inside a report, waiting with a bound, and reading a whole store back.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "player/loader_owner.h"
#include "player/sample_loader.h"

namespace vintrove::test {

// Waits until the condition holds; false after the limit (a failure guard, not a timing test).
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(120)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class RecordingOwner : public LoaderOwner {
 public:
  void setLength(std::int32_t frames) override {
    std::lock_guard<std::mutex> guard(mutex_);
    lengths_.push_back(frames);
    if (onLength_) onLength_(frames);
  }

  void loadingTick(std::int32_t frames) override {
    std::unique_lock<std::mutex> guard(mutex_);
    ticks_.push_back(frames);
    if (onTick_) onTick_(frames);
    if (holdAt_ >= 0 && frames >= holdAt_) {
      holdAt_ = -1;
      held_ = true;
      changed_.notify_all();
      changed_.wait(guard, [this] { return !held_; });
    }
  }

  void outOfMemory(std::int32_t frames) override {
    std::lock_guard<std::mutex> guard(mutex_);
    outOfMemory_.push_back(frames);
  }

  // The next tick reporting at least frames keeps the decoding thread until release().
  void holdAtTick(std::int32_t frames) {
    std::lock_guard<std::mutex> guard(mutex_);
    holdAt_ = frames;
  }
  bool waitUntilHeld() {
    std::unique_lock<std::mutex> guard(mutex_);
    return changed_.wait_for(guard, std::chrono::seconds(120), [this] { return held_; });
  }
  void release() {
    std::lock_guard<std::mutex> guard(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  // Called on the decoding thread inside each tick, with the owner's lock held.
  void onTick(std::function<void(std::int32_t)> callback) {
    std::lock_guard<std::mutex> guard(mutex_);
    onTick_ = std::move(callback);
  }
  // Called inside each length report, with the owner's lock held.
  void onLength(std::function<void(std::int32_t)> callback) {
    std::lock_guard<std::mutex> guard(mutex_);
    onLength_ = std::move(callback);
  }

  std::vector<std::int32_t> lengths() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lengths_;
  }
  std::vector<std::int32_t> ticks() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return ticks_;
  }
  std::vector<std::int32_t> outOfMemoryReports() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return outOfMemory_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::int32_t> lengths_;
  std::vector<std::int32_t> ticks_;
  std::vector<std::int32_t> outOfMemory_;
  std::function<void(std::int32_t)> onTick_;
  std::function<void(std::int32_t)> onLength_;
  std::int32_t holdAt_ = -1;
  bool held_ = false;
};

inline bool waitForLoad(const SampleLoader& loader) {
  return waitUntil([&] { return loader.isComplete(); });
}

// Reads the whole store at ratio 1 through the loader's read, in blocks.
inline std::vector<std::vector<float>> readEverything(SampleLoader& loader, std::int32_t block = 4096) {
  const std::int32_t total = loader.getDecodedFrames();
  std::vector<std::vector<float>> out(2, std::vector<float>(static_cast<std::size_t>(total)));
  std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));
  for (std::int32_t at = 0; at < total; at += block) {
    const std::int32_t frames = std::min(block, total - at);
    float* outputs[2] = {left.data(), right.data()};
    if (!loader.read(outputs, frames, at, 1.0f, true)) return {};
    std::copy_n(left.begin(), frames, out[0].begin() + at);
    std::copy_n(right.begin(), frames, out[1].begin() + at);
  }
  return out;
}

}  // namespace vintrove::test
