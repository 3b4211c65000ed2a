// The effect that `main` creates: an instrument with no inputs and two outputs that plays the
// decoded file under four parameters (Playing, Loop, Position, Pitch). It owns its editor and
// the ClusterSampleLoader. Host parameter changes and MIDI keys become commands on the editor's
// port; only the editor's reactions (the setters below), loading and the end of the file
// change the transport values.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/extended_effect.h"
#include "player/cluster_sample_loader.h"
#include "player/fixed_frames.h"
#include "player/loader_owner.h"
#include "player/player_editor_port.h"
#include "player/sample_loader.h"
#include "player/state_recall.h"

namespace vintrove {

class PlayerEffect : public ExtendedEffect, public LoaderOwner {
 public:
  static constexpr std::int32_t kProgramNameCapacity = 32;
  static constexpr std::int32_t kFileNameCapacity = SampleLoader::kPathCapacity;
  // Bound of every parameter text written; the longest ("-12.000000") needs 11 bytes.
  static constexpr std::int32_t kParameterTextCapacity = 16;
  static constexpr std::int32_t kDisplayInterval = 4000;  // file frames between position displays

  // makeEditor may be null (no editor).
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
  std::int32_t getVendorVersion() override;
  // The state record saved with the host's project (player_state.cpp, state_record.h).
  std::int32_t getChunk(void** data, bool isPreset) override;
  std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset) override;

  // Called by the editor's reactions to its controls.
  void setPlaying(bool state);
  void setLoop(bool state);
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
  std::int32_t getPosition() const { return wholePart(position.load()); }
  FixedFrames getExactPosition() const { return position.load(); }
  std::int32_t getLength() const { return length.load(); }
  float getPitch() const { return pitch.load(); }
  PlayerEditorPort* editorPort() const { return port; }
  ClusterSampleLoader* getLoader() const { return loader.get(); }

 private:
  void render(float** outputs, std::int32_t sampleFrames, bool replace);
  // Plays what there is of the block; answers how many of its first samples it wrote (or added).
  std::int32_t playBlock(float** outputs, std::int32_t sampleFrames, bool replace);
  // position / length as the parameter, the displays and the cues see it: 0 to 1.
  float positionFraction() const;
  // File frames per output frame, or 0 when the host or file rate gives no usable ratio.
  float speedRatio(std::int32_t fileRate) const;
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
  char fileName[kFileNameCapacity] = {};
  std::atomic<std::int32_t> framesSinceDisplay{0};
  // The host's rate as the audio thread reads it (EffectBase's copy is the GUI thread's).
  std::atomic<float> hostSampleRate{44100.0f};
  PlayerEditorPort* port = nullptr;
  StateRecall recall;

  static_assert(std::atomic<std::int32_t>::is_always_lock_free);
  static_assert(std::atomic<FixedFrames>::is_always_lock_free);
  static_assert(std::atomic<float>::is_always_lock_free);
  static_assert(std::atomic<bool>::is_always_lock_free);
};

}  // namespace vintrove
