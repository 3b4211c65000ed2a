// The audio callback: plays the decoded file into the two outputs at the speed of the pitch and
// the two sample rates, advances the exact (32.32) position, ends or wraps the file, and moves
// the editor's position display every 4000 file frames. MIDI keys change the transport at the
// frame they were sent for: the block plays in stretches with each key's change between two.
// With Smooth off, output samples are the nearest lower stored sample and every change cuts hard;
// with Smooth on, they are interpolated (sinc_kernel.h) and starts, stops and jumps ramp and
// crossfade (transport_fades.h). Replacing mode writes every output sample, silence when there
// is nothing to play. Allocates nothing and takes no lock.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "player/player_effect.h"

namespace vintrove {

namespace {

// A block may advance at most this many file frames; beyond it the rates are taken as unusable,
// which keeps the position arithmetic far inside 64 bits.
constexpr FixedFrames kLargestAdvance = wholeFrames(1073741824);  // 2^30 frames

bool usableOutputs(float** outputs) {
  return outputs != nullptr && outputs[0] != nullptr && outputs[1] != nullptr;
}

void writeSilence(float** outputs, std::int32_t from, std::int32_t to) {
  if (from >= to) return;
  std::fill(outputs[0] + from, outputs[0] + to, 0.0f);
  std::fill(outputs[1] + from, outputs[1] + to, 0.0f);
}

}  // namespace

void PlayerEffect::process(float**, float** outputs, std::int32_t sampleFrames) {
  render(outputs, sampleFrames, false);
}

void PlayerEffect::processReplacing(float**, float** outputs, std::int32_t sampleFrames) {
  render(outputs, sampleFrames, true);
}

float PlayerEffect::speedRatio(std::int32_t fileRate, float pitchPercent) const {
  const float hostRate = hostSampleRate.load();
  if (!(hostRate > 0.0f) || !std::isfinite(hostRate) || fileRate <= 0) return 0.0f;
  const float ratio =
      static_cast<float>((pitchPercent * 0.01 + 1.0) / hostRate * static_cast<double>(fileRate));
  return ratio > 0.0f && std::isfinite(ratio) ? ratio : 0.0f;
}

TransportState PlayerEffect::transportNow() const {
  TransportState state;
  state.position = position.load();
  state.pitch = pitch.load();
  state.playing = playing.load();
  return state;
}

void PlayerEffect::render(float** outputs, std::int32_t sampleFrames, bool replace) {
  if (sampleFrames <= 0 || !usableOutputs(outputs)) return;
  if (restoredBeforeAnyBlock.load(std::memory_order_relaxed)) restoredBeforeAnyBlock.store(false);
  // Every block takes the keys sent before it; their changes already show in the transport.
  const std::int32_t keys = keyChanges.take(blockChanges);
  const bool withFades = smooth.load();
  BlockPlay block;
  block.frames = sampleFrames;
  block.replace = replace;
  block.length = length.load();
  if (block.length <= 0 || loader == nullptr) {
    if (replace) writeSilence(outputs, 0, sampleFrames);
    // Nothing plays: whatever comes next starts with a ramp.
    fades.reset();
    smoothMemory = SmoothMemory{};
    smoothMemory.valid = withFades;
    smoothMemory.generation = loader != nullptr ? loader->loadGeneration() : 0;
    return;
  }
  // The generation first: a position and a rate read after it belong to that file (see
  // loadBegins); the read refuses when either has changed.
  block.generation = loader->loadGeneration();
  block.fileRate = fileSampleRate();
  block.loop = loop.load();
  const TransportState current = transportNow();
  block.expected = current.position;
  const std::int32_t changes =
      fitChangesToBlock(blockChanges, keys, sampleFrames, current, block.generation, block.state);

  if (!withFades) {
    smoothMemory.valid = false;
    if (!block.state.playing && changes == 0) {
      if (replace) writeSilence(outputs, 0, sampleFrames);
      return;
    }
  } else {
    fades.setHostRate(hostSampleRate.load());
    catchUpSmooth(block);
  }

  std::int32_t from = 0;
  for (std::int32_t i = 0; i <= changes; ++i) {
    const std::int32_t to = i < changes ? blockChanges[i].frame : sampleFrames;
    if (to > from) {
      if (withFades) {
        playSmooth(outputs, from, to, block);
      } else {
        playHard(outputs, from, to, block);
      }
      from = to;
    }
    if (i < changes) applyChange(blockChanges[i], block, withFades);
  }
  if (withFades) {
    smoothMemory.valid = true;
    smoothMemory.position = block.state.position;
    smoothMemory.playing = block.state.playing;
    smoothMemory.generation = block.generation;
  }
  publish(block);
}

PlayerEffect::SegmentRun PlayerEffect::planRun(const BlockPlay& block, std::int32_t frames) const {
  SegmentRun run;
  const FixedFrames step = fixedStep(speedRatio(block.fileRate, block.state.pitch));
  if (step == 0 || step > kLargestAdvance / block.frames) return run;
  run.step = step;
  const FixedFrames start = block.state.position;
  const FixedFrames end = wholeFrames(block.length);
  const FixedFrames advance = step * frames;
  // A position and a length near 2^31 frames plus an advance near 2^30 pass 2^63: the sum is
  // taken unsigned, where it fits (both parts are at or above 0 and below 2^63).
  const std::uint64_t reached = static_cast<std::uint64_t>(start) + static_cast<std::uint64_t>(advance);
  const auto endAt = static_cast<std::uint64_t>(end);
  // Without loop the part of the stretch past the end is silence, not the start of the file.
  run.audible = frames;
  if (!block.loop && reached > endAt) {
    run.audible = start >= end ? 0 : static_cast<std::int32_t>((end - start + step - 1) / step);
  }
  if (reached <= endAt) {
    run.next = static_cast<FixedFrames>(reached);
  } else if (block.loop) {
    run.next = static_cast<FixedFrames>(reached % endAt);
  } else {
    run.next = 0;
    run.ends = true;
  }
  run.passed = static_cast<std::int32_t>((reached >> kFractionBits) - static_cast<std::uint64_t>(wholePart(start)));
  return run;
}

void PlayerEffect::finishRun(BlockPlay& block, const SegmentRun& run) {
  block.passed += run.passed;
  block.state.position = run.next;
  if (run.ends) {
    block.state.playing = false;
    block.endedPass = true;
  }
}

void PlayerEffect::playHard(float** outputs, std::int32_t from, std::int32_t to, BlockPlay& block) {
  float* out[2] = {outputs[0] + from, outputs[1] + from};
  const std::int32_t frames = to - from;
  std::int32_t written = 0;
  if (block.state.playing) {
    const SegmentRun run = planRun(block, frames);
    // A stretch the loader cannot produce leaves the position where it was.
    if (run.step != 0 &&
        (run.audible == 0 || loader->play(out, run.audible, block.state.position, run.step,
                                          block.replace, block.generation, block.fileRate))) {
      written = run.audible;
      finishRun(block, run);
    }
  }
  if (block.replace) writeSilence(out, written, frames);
}

void PlayerEffect::playSmooth(float** outputs, std::int32_t from, std::int32_t to,
                              BlockPlay& block) {
  float* out[2] = {outputs[0] + from, outputs[1] + from};
  const std::int32_t frames = to - from;
  const SegmentRun run = planRun(block, frames);
  if (run.step == 0) {
    // No usable rate: nothing can be read, what was heard fades.
    if (block.state.playing) fades.fadeOutHeard();
  } else {
    kernel.setStep(run.step);
  }
  std::int32_t written = 0;
  if (block.state.playing && run.step != 0) {
    if (run.audible == 0 || playMainSmooth(out, run, block)) {
      written = run.audible;
      finishRun(block, run);
    } else {
      // Not readable now (not decoded yet, a load starting): the position waits, what was heard
      // fades out, and the voice ramps in again once it can be read.
      fades.fadeOutHeard();
    }
  }
  if (block.replace) writeSilence(out, written, frames);
  if (!fades.fading()) return;
  if (run.step == 0) {
    fades.reset();
    return;
  }
  auto readVoice = [&](FixedFrames at, FixedFrames step, float* left, float* right,
                       std::int32_t n) {
    float* voice[2] = {left, right};
    return loader->play(voice, n, at, step, true, block.generation, block.fileRate, &kernel,
                        block.loop);
  };
  fades.addFades(out[0], out[1], frames, run.step, wholeFrames(block.length), block.loop,
                 block.generation, readVoice);
}

bool PlayerEffect::playMainSmooth(float** out, const SegmentRun& run, const BlockPlay& block) {
  const FixedFrames start = block.state.position;
  std::int32_t done = 0;
  while (done < run.audible) {
    const FixedFrames at = start + run.step * done;
    const std::int32_t ramp = fades.mainRampLeft();
    if (ramp == 0 && block.replace) {
      // Steady: straight into the outputs.
      float* rest[2] = {out[0] + done, out[1] + done};
      const std::int32_t n = run.audible - done;
      if (!loader->play(rest, n, at, run.step, true, block.generation, block.fileRate, &kernel,
                        block.loop)) {
        return false;
      }
      fades.remember(rest[0], rest[1], n);
      return true;
    }
    const std::int32_t n = std::min(run.audible - done, ramp > 0 ? ramp : TransportFades::kMaxRamp);
    float* scratch[2] = {fades.mainScratch(0), fades.mainScratch(1)};
    if (!loader->play(scratch, n, at, run.step, true, block.generation, block.fileRate, &kernel,
                      block.loop)) {
      return false;
    }
    if (ramp > 0) fades.rampMain(scratch[0], scratch[1], n);
    fades.remember(scratch[0], scratch[1], n);
    for (std::int32_t c = 0; c < 2; ++c) {
      float* to = out[c] + done;
      if (block.replace) {
        std::copy(scratch[c], scratch[c] + n, to);
      } else {
        for (std::int32_t i = 0; i < n; ++i) to[i] += scratch[c][i];
      }
    }
    done += n;
  }
  return true;
}

void PlayerEffect::applyChange(const TransportChange& change, BlockPlay& block, bool withFades) {
  const TransportState before = block.state;
  if (change.fields & TransportChange::kPosition) block.state.position = change.after.position;
  if (change.fields & TransportChange::kPlaying) block.state.playing = change.after.playing;
  if (change.fields & TransportChange::kPitch) block.state.pitch = change.after.pitch;
  if (!withFades) return;
  const bool jumped = block.state.position != before.position;
  if (before.playing && (!block.state.playing || jumped)) {
    fades.fadeOutMain(before.position, block.generation);
  } else if (!before.playing && block.state.playing) {
    fades.setMainGain(0.0f);
  }
}

void PlayerEffect::catchUpSmooth(const BlockPlay& block) {
  const TransportState& now = block.state;
  if (!smoothMemory.valid) {
    // Smooth just came on: nothing to fade from, and a voice already playing goes on without a
    // ramp.
    fades.reset();
    if (!now.playing) fades.setMainGain(0.0f);
    return;
  }
  if (block.generation != smoothMemory.generation) {
    // Another file: the old position cannot be read any more.
    if (smoothMemory.playing) fades.fadeOutHeard();
    fades.setMainGain(0.0f);
    return;
  }
  const bool jumped = now.position != smoothMemory.position;
  if (smoothMemory.playing && (!now.playing || jumped)) {
    fades.fadeOutMain(smoothMemory.position, block.generation);
  } else if (!smoothMemory.playing && now.playing) {
    fades.setMainGain(0.0f);
  }
}

void PlayerEffect::publish(BlockPlay& block) {
  FixedFrames expected = block.expected;
  // Someone else moved the position meanwhile (a new file, the slider): theirs stands.
  if (!position.compare_exchange_strong(expected, block.state.position)) return;
  const bool stopped = block.endedPass && !block.state.playing;
  if (stopped) {
    playing.store(false);
    if (port != nullptr) port->showPlaying(false);
  }
  const std::int32_t sinceDisplay = framesSinceDisplay.load() + block.passed;
  if (sinceDisplay > kDisplayInterval || stopped) refreshPositionDisplay();
  framesSinceDisplay.store(sinceDisplay % kDisplayInterval);
}

}  // namespace vintrove
