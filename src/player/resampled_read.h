// The stepping rule shared by both sample stores: output sample i of a block takes the stored
// sample at the truncated source position start + i x ratio (nearest lower sample), and a block
// that runs off the end of the file continues from frame 0. The stores supply the sample
// access; this header only decides which source index each output sample reads.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vintrove::resampled_read {

// Reads that cannot step through any stored sample: they write silence in replace mode and
// leave the output alone in add mode.
inline bool canStep(std::int32_t length, float ratio) {
  return length > 0 && ratio > 0.0f && std::isfinite(ratio);
}

// The caller passes position mod length; anything outside 0 .. length - 1 is brought back into
// the file the same way.
inline std::int32_t wrapStart(std::int32_t start, std::int32_t length) {
  if (start >= 0 && start < length) {
    return start;
  }
  const std::int32_t wrapped = start % length;
  return wrapped < 0 ? wrapped + length : wrapped;
}

// Source index of step `step` of a run that begins at frame `from`. Positions are computed in
// double: a float loses whole frames beyond 2^24 (about six minutes at 44100 Hz). The clamp
// only matters when rounding lands exactly on the end of the file.
inline std::int32_t sourceIndex(std::int32_t from, std::int32_t step, double ratio,
                                std::int32_t length) {
  const double position = from + step * ratio;
  if (position >= length) {
    return length - 1;
  }
  return static_cast<std::int32_t>(position);
}

// Steps of a run from frame 0 that stay inside the file: every i with i x ratio < length, so
// at least frame 0 itself, counted with the same arithmetic as sourceIndex.
inline std::int32_t stepsFromZero(std::int32_t length, double ratio, std::int32_t limit) {
  const double estimate = std::ceil(length / ratio);
  std::int32_t count = estimate < limit ? static_cast<std::int32_t>(estimate) : limit;
  if (count < 1) {
    count = 1;
  }
  while (count > 1 && (count - 1) * ratio >= length) {
    --count;
  }
  while (count < limit && count * ratio < length) {
    ++count;
  }
  return count;
}

// Splits a block of `frames` output samples into runs that never pass the end of the file and
// calls run(outputOffset, from, count) for each. The first run begins at start and, when the
// block runs off the end (start + frames x ratio > length), holds trunc((length - start) /
// ratio) steps. The rest restarts at frame 0 without the fractional phase left at the end and
// goes on while its positions lie inside the file; a block longer than the whole file repeats
// that run as often as it needs to. Requires canStep and 0 <= start < length.
template <typename Run>
void forEachRun(std::int32_t frames, std::int32_t start, float ratio, std::int32_t length,
                Run&& run) {
  const double step = ratio;
  std::int32_t first = frames;
  if (start + frames * step > length) {
    const double fits = (length - start) / step;
    first = fits < frames ? static_cast<std::int32_t>(fits) : frames;
  }
  if (first > 0) {
    run(0, start, first);
  }
  std::int32_t done = first;
  if (done == frames) {
    return;
  }
  const std::int32_t pass = stepsFromZero(length, step, frames - done);
  while (done < frames) {
    const std::int32_t count = pass < frames - done ? pass : frames - done;
    run(done, 0, count);
    done += count;
  }
}

template <typename Fetch>
void stepRun(float* dst, std::int32_t from, std::int32_t count, float ratio, bool replace,
             std::int32_t length, Fetch&& fetch) {
  const double step = ratio;
  for (std::int32_t i = 0; i < count; ++i) {
    const float value = fetch(sourceIndex(from, i, step, length));
    dst[i] = replace ? value : dst[i] + value;
  }
}

inline void silence(float* dst, std::int32_t frames) {
  std::memset(dst, 0, sizeof(float) * static_cast<std::size_t>(frames));
}

}  // namespace vintrove::resampled_read
