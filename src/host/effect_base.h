// Base of every effect: owns the record the host holds, keeps what the host sets, owns the
// editor, and turns the dispatcher's opcodes 0 to 24 into virtual operations with defaults.
#pragma once

#include <cstdint>
#include <memory>

#include "host/editor_base.h"
#include "host/effect_record.h"

namespace vintrove {

class EffectBase {
 public:
  EffectBase(HostCallback callback, std::int32_t programs, std::int32_t parameters);
  EffectBase(const EffectBase&) = delete;
  EffectBase& operator=(const EffectBase&) = delete;

  // Operations in the order of the effect's operation table.
  virtual ~EffectBase();
  virtual void setParameter(std::int32_t index, float value);
  virtual float getParameter(std::int32_t index);
  virtual HostInt setParameterAutomated(std::int32_t index, float value);
  virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames);
  virtual HostInt dispatcher(std::int32_t opcode, std::int32_t index, HostInt value, void* ptr,
                             float opt);
  virtual void open();
  virtual void close();
  virtual std::int32_t getProgram();
  virtual void setProgram(std::int32_t program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  virtual void getParameterLabel(std::int32_t index, char* label);
  virtual void getParameterDisplay(std::int32_t index, char* text);
  virtual void getParameterName(std::int32_t index, char* text);
  virtual float getVu();
  virtual std::int32_t getChunk(void** data, bool isPreset);
  virtual std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset);
  virtual void setSampleRate(float rate);
  virtual void setBlockSize(std::int32_t size);
  virtual void suspend();
  virtual void resume();
  virtual void setUniqueID(std::int32_t id);
  virtual void setNumInputs(std::int32_t inputs);
  virtual void setNumOutputs(std::int32_t outputs);
  virtual void hasVu(bool state);
  virtual void hasClip(bool state);
  virtual void canMono(bool state);
  virtual void canProcessReplacing(bool state);
  virtual void programsAreChunks(bool state);
  virtual void setRealtimeQualities(std::int32_t qualities);
  virtual void setOfflineQualities(std::int32_t qualities);
  virtual void setInitialDelay(std::int32_t delay);
  virtual float getSampleRate();
  virtual std::int32_t getBlockSize();
  virtual HostInt getHostVersion();
  virtual HostInt getCurrentUniqueId();
  virtual HostInt hostIdle();
  virtual bool isInputConnected(std::int32_t input);
  virtual bool isOutputConnected(std::int32_t output);
  virtual void formatDecibels(float gain, char* text);
  virtual void formatHertz(float samples, char* text);
  virtual void formatMilliseconds(float samples, char* text);
  virtual void formatFloat(float value, char* text);

  // Tells the host a parameter's new value after the user changed it in the editor (between
  // the edit's begin and end): the host's automation request, without setting anything here.
  HostInt reportEdit(std::int32_t index, float value);

  // Takes ownership and sets the has-editor flag (cleared again for null).
  void attachEditor(std::unique_ptr<EditorBase> attached);

  EffectRecord* getRecord() { return &record; }

  // The record's entries; each finds the effect through the record's `object`.
  static HostInt VINTROVE_HOST_CALL dispatcherEntry(EffectRecord* effect, std::int32_t opcode,
                                                    std::int32_t index, HostInt value, void* ptr,
                                                    float opt);
  static void VINTROVE_HOST_CALL processEntry(EffectRecord* effect, float** inputs,
                                              float** outputs, std::int32_t sampleFrames);
  static void VINTROVE_HOST_CALL processReplacingEntry(EffectRecord* effect, float** inputs,
                                                       float** outputs,
                                                       std::int32_t sampleFrames);
  static void VINTROVE_HOST_CALL setParameterEntry(EffectRecord* effect, std::int32_t index,
                                                   float value);
  static float VINTROVE_HOST_CALL getParameterEntry(EffectRecord* effect, std::int32_t index);

 protected:
  // True when the opcode's ptr is a text, out-address or record the effect would touch and the
  // host sent null: such a request answers 0 without calling anything.
  static bool lacksRequiredPointer(std::int32_t opcode, const void* ptr);

  // One request to the host; answers withoutHost when the effect has no HostCallback.
  HostInt callHost(HostInt withoutHost, std::int32_t opcode, std::int32_t index = 0,
                   HostInt value = 0, void* ptr = nullptr, float opt = 0.0f);

  void setFlag(std::int32_t flag, bool state);

  float sampleRate = 44100.0f;
  std::unique_ptr<EditorBase> editor;
  HostCallback hostCallback;
  std::int32_t programCount;
  std::int32_t parameterCount;
  std::int32_t currentProgram = 0;
  std::int32_t blockSize = 1024;
  EffectRecord record{};
};

}  // namespace vintrove
