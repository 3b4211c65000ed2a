// The effect base with the interface's version 2 operations and host services; its dispatcher
// handles opcodes 25 to 68 and hands every other opcode to EffectBase's.
#pragma once

#include <cstdint>

#include "host/effect_base.h"

namespace vintrove {

class ExtendedEffect : public EffectBase {
 public:
  ExtendedEffect(HostCallback callback, std::int32_t programs, std::int32_t parameters);

  HostInt dispatcher(std::int32_t opcode, std::int32_t index, HostInt value, void* ptr,
                     float opt) override;

  // Operations in the order of the effect's operation table, after EffectBase's.
  virtual void formatInteger(std::int32_t value, char* text);
  virtual EditorBase* getEditor();
  virtual HostInt wantEvents(std::int32_t filter);
  virtual void* getTimeInfo(std::int32_t filter);
  virtual HostInt tempoAt(std::int32_t position);
  virtual std::int32_t processEvents(void* events);
  virtual HostInt getNumAutomatableParameters();
  virtual HostInt getParameterQuantization();
  virtual bool canParameterBeAutomated(std::int32_t index);
  virtual bool stringToParameter(std::int32_t index, const char* text);
  virtual float getChannelParameter(std::int32_t channel, std::int32_t index);
  virtual std::int32_t getNumCategories();
  virtual bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text);
  virtual bool copyProgram(std::int32_t destination);
  virtual bool ioChanged();
  virtual bool needIdle();
  virtual bool sizeWindow(std::int32_t width, std::int32_t height);
  virtual float updateSampleRate();
  virtual std::int32_t updateBlockSize();
  virtual HostInt getInputLatency();
  virtual HostInt getOutputLatency();
  virtual EffectRecord* getPreviousPlug(std::int32_t input);
  virtual EffectRecord* getNextPlug(std::int32_t output);
  virtual void inputConnected(std::int32_t index, bool state);
  virtual void outputConnected(std::int32_t index, bool state);
  virtual bool getInputProperties(std::int32_t index, void* properties);
  virtual bool getOutputProperties(std::int32_t index, void* properties);
  virtual std::int32_t getPlugCategory();
  virtual HostInt willReplaceOrAccumulate();
  virtual HostInt getCurrentProcessLevel();
  virtual HostInt getAutomationState();
  virtual void wantAsyncOperation(bool state);
  virtual void hasExternalBuffer(bool state);
  virtual std::int32_t reportCurrentPosition();
  virtual float* reportDestinationBuffer();
  virtual bool offlineRead(void* offline, std::int32_t option, bool readSource);
  virtual bool offlineWrite(void* offline, std::int32_t option);
  virtual bool offlineStart(void* files, std::int32_t count, std::int32_t newCount);
  virtual bool offlineGetCurrentPass();
  virtual bool offlineGetCurrentMetaPass();
  virtual bool offlineNotify(void* files, std::int32_t count, bool start);
  virtual bool offlinePrepare(void* offline, std::int32_t count);
  virtual bool offlineRun(void* offline, std::int32_t count);
  virtual std::int32_t reservedSlot88();
  virtual std::int32_t reservedSlot89();
  virtual HostInt setOutputSampleRate(float rate);
  virtual bool getSpeakerArrangement(void* inputArrangement, void* outputArrangement);
  virtual bool getHostVendorString(char* text);
  virtual bool getHostProductString(char* text);
  virtual HostInt getHostVendorVersion();
  virtual HostInt hostVendorSpecific(std::int32_t index, HostInt value, void* ptr, float opt);
  virtual bool canHostDo(const char* text);
  virtual void isSynth(bool state);
  virtual void noSoundInStop(bool state);
  virtual HostInt getHostLanguage();
  virtual void* openWindow(void* window);
  virtual bool closeWindow(void* window);
  virtual void* getDirectory();
  virtual bool updateDisplay();
  virtual bool processVariableIo(void* io);
  virtual bool setSpeakerArrangement(void* inputArrangement, void* outputArrangement);
  virtual void setBlockSizeAndSampleRate(std::int32_t size, float rate);
  virtual bool setBypass(bool state);
  virtual bool getEffectName(char* text);
  virtual bool getErrorText(char* text);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual std::int32_t getVendorVersion();
  virtual HostInt vendorSpecific(std::int32_t index, HostInt value, void* ptr, float opt);
  virtual std::int32_t canDo(const char* text);
  virtual void* getIcon();
  virtual bool setViewPosition(std::int32_t x, std::int32_t y);
  virtual std::int32_t getTailSize();
  virtual std::int32_t onIdle();
  virtual bool getParameterProperties(std::int32_t index, void* properties);
  virtual bool keysRequired();
  virtual std::int32_t getInterfaceVersion();
  virtual std::int32_t getMidiProgramName(std::int32_t channel, void* name);
  virtual std::int32_t getCurrentMidiProgram(std::int32_t channel, void* current);
  virtual std::int32_t getMidiProgramCategory(std::int32_t channel, void* category);
  virtual bool hasMidiProgramsChanged(std::int32_t channel);
  virtual bool getMidiKeyName(std::int32_t channel, void* keyName);
  virtual bool beginSetProgram();
  virtual bool endSetProgram();
  virtual bool beginEdit(std::int32_t index);
  virtual bool endEdit(std::int32_t index);
  virtual bool openFileSelector(void* selector);
};

}  // namespace vintrove
