#include "player/transport_fades.h"

#include <cmath>

namespace vintrove {

void TransportFades::setHostRate(float rate) {
  const double frames = std::round(static_cast<double>(rate) * kRampSeconds);
  const auto ramp = static_cast<std::int32_t>(std::clamp(frames, 1.0, static_cast<double>(kMaxRamp)));
  if (ramp == ramp_) return;
  ramp_ = ramp;
  step_ = 1.0f / static_cast<float>(ramp);
}

std::int32_t TransportFades::mainRampLeft() const {
  if (mainGain_ >= 1.0f) return 0;
  return std::min(kMaxRamp, static_cast<std::int32_t>(std::ceil((1.0f - mainGain_) / step_)));
}

void TransportFades::rampMain(float* left, float* right, std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i) {
    mainGain_ = std::min(1.0f, mainGain_ + step_);
    left[i] *= mainGain_;
    right[i] *= mainGain_;
  }
}

void TransportFades::remember(const float* left, const float* right, std::int32_t n) {
  const std::int32_t from = n > kMaxRamp ? n - kMaxRamp : 0;
  for (std::int32_t i = from; i < n; ++i) {
    heardLeft_[heardEnd_] = left[i];
    heardRight_[heardEnd_] = right[i];
    heardEnd_ = (heardEnd_ + 1) % kMaxRamp;
  }
  heard_ = std::min(kMaxRamp, heard_ + (n - from));
}

TransportFades::Voice* TransportFades::freeVoice() {
  Voice* quietest = &voices_[0];
  for (Voice& voice : voices_) {
    if (!voice.active) return &voice;
    if (voice.gain < quietest->gain) quietest = &voice;
  }
  return quietest;  // all busy: the one nearest its end gives way
}

void TransportFades::fadeOutMain(FixedFrames position, std::uint32_t generation) {
  if (mainGain_ > 0.0f) {
    Voice& voice = *freeVoice();
    voice = Voice{};
    voice.active = true;
    voice.position = position;
    voice.generation = generation;
    voice.gain = mainGain_;
  }
  mainGain_ = 0.0f;
  heard_ = 0;
}

void TransportFades::fadeOutHeard() {
  if (heard_ > 0) {
    // One mirror at a time: a second one takes over the first one's voice.
    Voice* voice = nullptr;
    for (Voice& candidate : voices_) {
      if (candidate.active && candidate.mirror) voice = &candidate;
    }
    if (voice == nullptr) voice = freeVoice();
    *voice = Voice{};
    voice->active = true;
    voice->mirror = true;
    voice->gain = 1.0f;  // what was heard already carries the main voice's gain
    // The newest frame heard first, going back; silence where nothing was heard.
    for (std::int32_t back = 0; back < kMaxRamp; ++back) {
      const std::int32_t at = ((heardEnd_ - 1 - back) % kMaxRamp + kMaxRamp) % kMaxRamp;
      mirrorLeft_[back] = back < heard_ ? heardLeft_[at] : 0.0f;
      mirrorRight_[back] = back < heard_ ? heardRight_[at] : 0.0f;
    }
  }
  mainGain_ = 0.0f;
  heard_ = 0;
}

bool TransportFades::fading() const {
  for (const Voice& voice : voices_) {
    if (voice.active) return true;
  }
  return false;
}

void TransportFades::reset() {
  for (Voice& voice : voices_) voice.active = false;
  mainGain_ = 1.0f;
  heard_ = 0;
}

bool TransportFades::addFalling(Voice& voice, float* left, float* right, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    voice.gain = std::max(0.0f, voice.gain - step_);
    left[i] += voice.gain * scratchLeft_[i];
    right[i] += voice.gain * scratchRight_[i];
  }
  return voice.gain > 0.0f;
}

std::int32_t TransportFades::mirrorInto(Voice& voice, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    const std::int32_t back = voice.mirrored + i;
    scratchLeft_[i] = back < kMaxRamp ? mirrorLeft_[back] : 0.0f;
    scratchRight_[i] = back < kMaxRamp ? mirrorRight_[back] : 0.0f;
  }
  voice.mirrored += frames;
  return frames;
}

}  // namespace vintrove
