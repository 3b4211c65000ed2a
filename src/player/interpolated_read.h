// Playback's stepping read with band-limited interpolation: output sample i is the SincKernel's
// value at the 32.32 position start + i x step (modulo the length), from the window of stored
// samples around that position. The rules of the file live here, not in the kernel: a window that
// reaches past either end of the file reads across the loop seam (seamless: the file's start
// after its end, its end before its start) or silence, and nothing at or beyond the length (not
// decoded yet) is read: it counts as silence. Windows that lie inside one run of stored samples
// are read in place, others are gathered first.
//
// Runs is the store's accessor: const float* (int channel, std::int32_t at, std::int32_t& room),
// the samples from frame `at` on with room set to how many follow contiguously (null where none).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "player/fixed_frames.h"
#include "player/sinc_kernel.h"

namespace vintrove {

template <typename Runs>
class InterpolatedRead {
 public:
  // length: the frames that may be read (at least 1); a mono file names channel 0 twice.
  InterpolatedRead(const SincKernel& kernel, Runs& runs, int leftChannel, int rightChannel,
                   std::int32_t length, bool seamless)
      : kernel_(kernel),
        runs_(runs),
        channels_{leftChannel, rightChannel},
        length_(length),
        seamless_(seamless) {}

  // frames output samples from `at` (0 <= at < length frames), step > 0; writes or adds.
  void run(float* left, float* right, std::int32_t frames, FixedFrames at, FixedFrames step,
           bool replace) {
    const FixedFrames end = wholeFrames(length_);
    const bool mono = channels_[0] == channels_[1];
    for (std::int32_t j = 0; j < frames; ++j) {
      const std::int32_t first = wholePart(at) - kernel_.lead();
      const auto fraction = static_cast<std::uint32_t>(at);
      const float* windows[2];
      window(first, mono, windows);
      float a = 0.0f;
      float b = 0.0f;
      if (mono) {
        a = b = kernel_.value(windows[0], fraction);
      } else {
        kernel_.values(windows[0], windows[1], fraction, a, b);
      }
      if (replace) {
        left[j] = a;
        right[j] = b;
      } else {
        left[j] += a;
        right[j] += b;
      }
      at += step;
      if (at >= end) at %= end;
    }
  }

 private:
  void window(std::int32_t first, bool mono, const float* (&windows)[2]) {
    const std::int32_t taps = kernel_.taps();
    if (first >= runStart_ && first <= runEnd_ - taps) {
      windows[0] = runBases_[0] + (first - runStart_);
      windows[1] = runBases_[1] + (first - runStart_);
      return;
    }
    if (first >= 0 && first <= length_ - taps && refill(first, mono, taps)) {
      windows[0] = runBases_[0];
      windows[1] = runBases_[1];
      return;
    }
    gather(channels_[0], first, taps, gathered_[0]);
    if (!mono) gather(channels_[1], first, taps, gathered_[1]);
    windows[0] = gathered_[0];
    windows[1] = mono ? gathered_[0] : gathered_[1];
  }

  // The runs of both channels from first on, when a whole window fits in them.
  bool refill(std::int32_t first, bool mono, std::int32_t taps) {
    std::int32_t room = 0;
    const float* a = runs_(channels_[0], first, room);
    std::int32_t otherRoom = room;
    const float* b = mono ? a : runs_(channels_[1], first, otherRoom);
    room = std::min({room, otherRoom, length_ - first});
    if (a == nullptr || b == nullptr || room < taps) return false;
    runStart_ = first;
    runEnd_ = first + room;
    runBases_[0] = a;
    runBases_[1] = b;
    return true;
  }

  void gather(int channel, std::int32_t first, std::int32_t taps, float* to) const {
    std::int32_t k = 0;
    while (k < taps) {
      std::int64_t index = static_cast<std::int64_t>(first) + k;
      if (index < 0 || index >= length_) {
        if (!seamless_) {
          const std::int64_t outside = index < 0 ? -index : taps - k;
          const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(outside, taps - k));
          std::fill_n(to + k, n, 0.0f);
          k += n;
          continue;
        }
        index %= length_;
        if (index < 0) index += length_;
      }
      const auto at = static_cast<std::int32_t>(index);
      std::int32_t room = 0;
      const float* samples = runs_(channel, at, room);
      room = std::min({room, length_ - at, taps - k});
      if (samples == nullptr || room <= 0) {
        to[k++] = 0.0f;  // no memory there: silence rather than a guess
        continue;
      }
      std::memcpy(to + k, samples, sizeof(float) * static_cast<std::size_t>(room));
      k += room;
    }
  }

  const SincKernel& kernel_;
  Runs& runs_;
  int channels_[2];
  std::int32_t length_;
  bool seamless_;
  // The run the last windows were read from, frames runStart_ .. runEnd_ - 1.
  std::int32_t runStart_ = 0;
  std::int32_t runEnd_ = 0;
  const float* runBases_[2] = {nullptr, nullptr};
  float gathered_[2][SincKernel::kMaxTaps] = {};
};

}  // namespace vintrove
