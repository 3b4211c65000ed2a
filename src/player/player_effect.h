// The effect that `main` creates: an instrument with no inputs and two outputs that plays the
// decoded file under five parameters (Playing, Loop, Position, Pitch, Smooth). It owns its editor
// and the ClusterSampleLoader. Host parameter changes and MIDI keys become commands on the
// editor's port; only the editor's reactions (the setters below), loading and the end of the file
// change the transport values. Smooth, which has no control, the host sets directly.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/extended_effect.h"
#include "player/cluster_sample_loader.h"
#include "player/fixed_frames.h"
#include "player/loader_owner.h"
#include "player/player_editor_port.h"
#include "player/sample_loader.h"
#include "player/sinc_kernel.h"
#include "player/state_recall.h"
#include "player/transport_events.h"
#include "player/transport_fades.h"

namespace vintrove {

class PlayerEffect : public ExtendedEffect, public LoaderOwner {
 public:
  // 24 characters and the terminator: what hosts hand over for a program name.
  static constexpr std::int32_t kProgramNameCapacity = 25;
  static constexpr std::int32_t kFileNameCapacity = SampleLoader::kPathCapacity;
  static constexpr std::int32_t kSmoothParameter = 4;
  // Bound of every parameter name, label and display: 8 characters and the terminator, so the
  // pitch display "-12.000000" shows as "-12.0000".
  static constexpr std::int32_t kParameterTextCapacity = 9;
  static constexpr std::int32_t kDisplayInterval = 4000;  // file frames between position displays

  // makeEditor may be null (no editor); when it throws, so does the constructor.
  PlayerEffect(HostCallback callback, PlayerEditorFactory makeEditor);
  ~PlayerEffect() override;

  void setParameter(std::int32_t index, float value) override;
  float getParameter(std::int32_t index) override;
  void process(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void open() override;
  void suspend() override;
  void resume() override;
  void setSampleRate(float rate) override;
  void setBlockSizeAndSampleRate(std::int32_t size, float rate) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(std::int32_t index, char* label) override;
  void getParameterDisplay(std::int32_t index, char* text) override;
  void getParameterName(std::int32_t index, char* text) override;
  std::int32_t processEvents(void* events) override;
  bool getEffectName(char* text) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  std::int32_t canDo(const char* text) override;
  std::int32_t getVendorVersion() override;
  // The state record saved with the host's project (player_state.cpp, state_record.h).
  std::int32_t getChunk(void** data, bool isPreset) override;
  std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset) override;

  // Called by the editor's reactions to its controls.
  void setPlaying(bool state);
  void setLoop(bool state);
  // Band-limited interpolation and click-free transport (the host's parameter 4).
  void setSmooth(bool state);
  void setPosition(float fraction);  // 0..1 of the length; clamped, NaN counts as 0
  void setPitch(float value);        // 0..1 for -12..+12 per cent; clamped, NaN ignored
  void loadFile(const char* path);
  void getFileName(char* text);      // text holds kFileNameCapacity bytes

  // Called by the loader's decoding thread.
  void setLength(std::int32_t frames) override;
  void loadingTick(std::int32_t frames) override;
  void outOfMemory(std::int32_t frames) override;
  void loadBegins() override;

  // Read-only views for the editor and tests.
  bool isPlaying() const { return playing.load(); }
  bool isLooping() const { return loop.load(); }
  bool isSmooth() const { return smooth.load(); }
  std::int32_t getPosition() const { return wholePart(position.load()); }
  FixedFrames getExactPosition() const { return position.load(); }
  std::int32_t getLength() const { return length.load(); }
  float getPitch() const { return pitch.load(); }
  PlayerEditorPort* editorPort() const { return port; }
  ClusterSampleLoader* getLoader() const { return loader.get(); }

 private:
  // One block as it plays: the file, the running transport state and what it did.
  struct BlockPlay {
    std::int32_t frames = 0;  // of the block
    bool replace = true;
    std::int32_t length = 0;  // of the file
    std::uint32_t generation = 0;
    std::int32_t fileRate = 0;
    bool loop = false;
    TransportState state;            // at the frame being played
    FixedFrames expected = 0;        // the position as it was when the block began
    std::int32_t passed = 0;         // whole file frames played
    bool endedPass = false;          // the end of the file stopped playback
  };
  // What one stretch of a block does: its step, the frames inside the file, the position after.
  struct SegmentRun {
    FixedFrames step = 0;  // 0: the rates give no usable step
    std::int32_t audible = 0;
    FixedFrames next = 0;
    bool ends = false;
    std::int32_t passed = 0;
  };
  // Where the previous Smooth block left the main voice; not valid after a block with Smooth
  // off. A new player's first file starts like any other, with a ramp.
  struct SmoothMemory {
    bool valid = true;
    FixedFrames position = 0;
    bool playing = false;
    std::uint32_t generation = 0;
  };

  void render(float** outputs, std::int32_t sampleFrames, bool replace);
  TransportState transportNow() const;
  SegmentRun planRun(const BlockPlay& block, std::int32_t frames) const;
  void finishRun(BlockPlay& block, const SegmentRun& run);
  // Frames from..to of the block with Smooth off: the nearest lower sample, hard cuts.
  void playHard(float** outputs, std::int32_t from, std::int32_t to, BlockPlay& block);
  // The same frames interpolated, with the main voice's ramp and the fading voices.
  void playSmooth(float** outputs, std::int32_t from, std::int32_t to, BlockPlay& block);
  bool playMainSmooth(float** out, const SegmentRun& run, const BlockPlay& block);
  // A key's change at its frame; with Smooth, the jump or stop fades.
  void applyChange(const TransportChange& change, BlockPlay& block, bool withFades);
  // Smooth: what changed since the previous block (the GUI, a restore, a new file) fades too.
  void catchUpSmooth(const BlockPlay& block);
  void publish(BlockPlay& block);
  // position / length as the parameter, the displays and the cues see it: 0 to 1.
  float positionFraction() const;
  // File frames per output frame at a pitch, or 0 when the host or file rate gives no usable
  // ratio.
  float speedRatio(std::int32_t fileRate, float pitchPercent) const;
  void refreshPositionDisplay();
  std::int32_t fileSampleRate() const;
  // The load both loadFile and a restore use: file name, position 0, the loader's start; shows
  // "Not Found" when it does not start. The caller holds recall.loads.
  bool startLoading(const char* path);
  // A restore's Position and Playing once the loader reports the file's exact length.
  void applyRecalledTransport(std::int32_t frames);

  char programName[kProgramNameCapacity] = {};
  LoaderPtr<ClusterSampleLoader> loader;
  // Transport values, shared by the GUI, audio and decoding threads; each read and written whole.
  // File frames in 32.32 fixed point: the whole part is what the parameter and displays show.
  std::atomic<FixedFrames> position{0};
  std::atomic<std::int32_t> length{0};
  std::atomic<bool> loop{false};
  std::atomic<bool> playing{false};
  std::atomic<float> pitch{1.0f};
  std::atomic<bool> smooth{true};
  char fileName[kFileNameCapacity] = {};
  std::atomic<std::int32_t> framesSinceDisplay{0};
  // The host's rate as the audio thread reads it (EffectBase's copy is the GUI thread's).
  std::atomic<float> hostSampleRate{44100.0f};
  PlayerEditorPort* port = nullptr;
  StateRecall recall;
  // A state was restored and no block rendered since: the next resume keeps the position.
  std::atomic<bool> restoredBeforeAnyBlock{false};
  // MIDI keys' changes on their way to the block they belong to, and that block's copy of them.
  TransportEvents keyChanges;
  TransportChange blockChanges[TransportEvents::kCapacity];
  // Smooth playback's interpolation and fades (audio thread).
  SincKernel kernel;
  TransportFades fades;
  SmoothMemory smoothMemory;

  static_assert(std::atomic<std::int32_t>::is_always_lock_free);
  static_assert(std::atomic<FixedFrames>::is_always_lock_free);
  static_assert(std::atomic<float>::is_always_lock_free);
  static_assert(std::atomic<bool>::is_always_lock_free);
};

}  // namespace vintrove
