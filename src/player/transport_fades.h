// What makes Smooth playback's transport click-free: the gain ramp of the main voice (the one at
// the transport's position) and the voices that fade out behind it. A start ramps the main voice
// in; a stop hands it to a fading voice; a cue, rewind, nudge or position change does both at once
// (a crossfade). When the old position cannot be read any more (a new file replaced the store),
// what was last heard is faded out mirrored: the last frames played backwards, which continues
// the waveform without a step. Linear ramps of kRampSeconds; the loop's wrap is no jump and is
// not faded. Audio thread only; fixed buffers, no allocation.
#pragma once

#include <algorithm>
#include <cstdint>

#include "player/fixed_frames.h"

namespace vintrove {

class TransportFades {
 public:
  static constexpr std::int32_t kMaxRamp = 1024;  // frames; 5 ms at 192 kHz is 960
  static constexpr int kVoices = 4;
  static constexpr double kRampSeconds = 0.005;

  // Ramps of kRampSeconds at the host's rate (at least one frame, at most kMaxRamp).
  void setHostRate(float rate);

  // The main voice's gain, 0 to 1.
  void setMainGain(float gain) { mainGain_ = gain; }
  // Frames until the main voice's ramp is done (0 when steady).
  std::int32_t mainRampLeft() const;
  // Multiplies n frames of the main voice by its rising gain.
  void rampMain(float* left, float* right, std::int32_t n);
  // Keeps the last frames of what the main voice played, for a mirrored fade.
  void remember(const float* left, const float* right, std::int32_t n);
  // Room for kMaxRamp frames of the main voice while it ramps (channel 0 or 1).
  float* mainScratch(int channel) { return channel == 0 ? mainLeft_ : mainRight_; }

  // The main voice fades out from where it is, at its gain, while a new one ramps in from 0.
  void fadeOutMain(FixedFrames position, std::uint32_t generation);
  // What was last heard fades out mirrored (the old position can no longer be read).
  void fadeOutHeard();
  bool fading() const;
  // Drops every fading voice and the memory of what was heard; the main voice is steady.
  void reset();

  // Adds the fading voices' next n frames to the outputs. read(position, step, left, right,
  // frames) fills the given scratch with up to kMaxRamp frames of the file from position, or
  // answers false when it cannot be read (the voice is then dropped, as are voices of another
  // generation). end and loop are the file's length (32.32) and the Loop switch.
  template <typename Read>
  void addFades(float* left, float* right, std::int32_t n, FixedFrames step, FixedFrames end,
                bool loop, std::uint32_t generation, Read&& read);

 private:
  struct Voice {
    bool active = false;
    bool mirror = false;  // reads what was heard, backwards
    FixedFrames position = 0;
    std::uint32_t generation = 0;
    float gain = 0.0f;
    std::int32_t mirrored = 0;  // frames of the mirror played
  };

  Voice* freeVoice();
  // Adds frames of a scratch signal at a falling gain; false once the voice is silent.
  bool addFalling(Voice& voice, float* left, float* right, std::int32_t frames);
  std::int32_t mirrorInto(Voice& voice, std::int32_t frames);

  std::int32_t ramp_ = 221;
  float step_ = 1.0f / 221.0f;
  float mainGain_ = 1.0f;
  Voice voices_[kVoices];
  // The main voice's last kMaxRamp frames, a ring; heard_ of them are valid.
  float heardLeft_[kMaxRamp] = {};
  float heardRight_[kMaxRamp] = {};
  std::int32_t heardEnd_ = 0;
  std::int32_t heard_ = 0;
  // What a mirrored fade plays: the frames heard, newest first.
  float mirrorLeft_[kMaxRamp] = {};
  float mirrorRight_[kMaxRamp] = {};
  float mainLeft_[kMaxRamp] = {};
  float mainRight_[kMaxRamp] = {};
  float scratchLeft_[kMaxRamp] = {};
  float scratchRight_[kMaxRamp] = {};
};

template <typename Read>
void TransportFades::addFades(float* left, float* right, std::int32_t n, FixedFrames step,
                              FixedFrames end, bool loop, std::uint32_t generation, Read&& read) {
  for (Voice& voice : voices_) {
    if (!voice.active) continue;
    if (voice.mirror) {
      for (std::int32_t done = 0; done < n && voice.active;) {
        const std::int32_t got = mirrorInto(voice, std::min(n - done, kMaxRamp));
        if (!addFalling(voice, left + done, right + done, got)) voice.active = false;
        done += got;
      }
      continue;
    }
    if (voice.generation != generation || end <= 0) {
      voice.active = false;
      continue;
    }
    for (std::int32_t done = 0; done < n && voice.active;) {
      const std::int32_t frames = std::min(n - done, kMaxRamp);
      // Without loop a voice stops at the end of the file. Measured from the end: near the
      // largest length, position + advance may pass 2^63.
      const FixedFrames rest = end - voice.position;
      std::int32_t audible = frames;
      if (!loop && step * frames > rest) {
        audible = rest <= 0 ? 0 : static_cast<std::int32_t>((rest + step - 1) / step);
      }
      if (audible <= 0 || !read(voice.position, step, scratchLeft_, scratchRight_, audible)) {
        voice.active = false;
        break;
      }
      if (!addFalling(voice, left + done, right + done, audible) || audible < frames) {
        voice.active = false;
      }
      const FixedFrames advance = step * audible;
      voice.position = advance >= rest ? (advance - rest) % end : voice.position + advance;
      done += frames;
    }
  }
}

}  // namespace vintrove
