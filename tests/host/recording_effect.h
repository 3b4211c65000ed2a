// Effects for the dispatcher tests: plain ones that keep every default, and one that records
// each operation the dispatcher calls, with its arguments, and answers what the test sets.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "host/effect_base.h"
#include "host/extended_effect.h"

namespace vintrove::test {

// Only the defaults, on top of the base dispatcher.
class BaseOnlyEffect : public EffectBase {
 public:
  explicit BaseOnlyEffect(HostCallback callback = nullptr, std::int32_t programs = 1,
                          std::int32_t parameters = 0)
      : EffectBase(callback, programs, parameters) {}
  void process(float**, float**, std::int32_t) override {}
};

// Every default of both tables.
class PlainEffect : public ExtendedEffect {
 public:
  explicit PlainEffect(HostCallback callback = nullptr, std::int32_t programs = 1,
                       std::int32_t parameters = 0)
      : ExtendedEffect(callback, programs, parameters) {}
  void process(float**, float**, std::int32_t) override {}

  // The fields are the base classes'; tests read them here.
  float storedSampleRate() const { return sampleRate; }
  std::int32_t storedBlockSize() const { return blockSize; }
  std::int32_t storedProgram() const { return currentProgram; }
};

// The pointers the tests hand the dispatcher; calls describe them by these names.
inline char testText[64];
inline char testOther[8];

inline std::string describePointer(const void* pointer) {
  if (pointer == nullptr) {
    return "null";
  }
  if (pointer == testText) {
    return "ptr";
  }
  if (pointer == testOther) {
    return "other";
  }
  return "unknown";
}

template <typename T>
std::string describe(T argument) {
  if constexpr (std::is_same_v<T, bool>) {
    return argument ? "true" : "false";
  } else if constexpr (std::is_pointer_v<T>) {
    return describePointer(argument);
  } else {
    std::ostringstream text;
    text << argument;
    return text.str();
  }
}

class RecordingEffect : public ExtendedEffect {
 public:
  explicit RecordingEffect(HostCallback callback = nullptr, std::int32_t programs = 4,
                           std::int32_t parameters = 2)
      : ExtendedEffect(callback, programs, parameters) {}

  std::vector<std::string> calls;
  // What every recorded operation answers, converted to its result type.
  HostInt answer = 0;

  void process(float**, float**, std::int32_t) override {}

  void open() override { log("open"); }
  void close() override { log("close"); }
  std::int32_t getProgram() override { return log("getProgram"), number(); }
  void setProgram(std::int32_t program) override { log("setProgram", program); }
  void setProgramName(char* name) override { log("setProgramName", name); }
  void getProgramName(char* name) override { log("getProgramName", name); }
  void getParameterLabel(std::int32_t index, char* label) override {
    log("getParameterLabel", index, label);
  }
  void getParameterDisplay(std::int32_t index, char* text) override {
    log("getParameterDisplay", index, text);
  }
  void getParameterName(std::int32_t index, char* text) override {
    log("getParameterName", index, text);
  }
  float getVu() override { return log("getVu"), static_cast<float>(answer); }
  std::int32_t getChunk(void** data, bool isPreset) override {
    return log("getChunk", static_cast<void*>(data), isPreset), number();
  }
  std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset) override {
    return log("setChunk", data, byteSize, isPreset), number();
  }
  void setSampleRate(float rate) override { log("setSampleRate", rate); }
  void setBlockSize(std::int32_t size) override { log("setBlockSize", size); }
  void suspend() override { log("suspend"); }
  void resume() override { log("resume"); }

  std::int32_t processEvents(void* events) override {
    return log("processEvents", events), number();
  }
  bool canParameterBeAutomated(std::int32_t index) override {
    return log("canParameterBeAutomated", index), truth();
  }
  bool stringToParameter(std::int32_t index, const char* text) override {
    return log("stringToParameter", index, text), truth();
  }
  std::int32_t getNumCategories() override { return log("getNumCategories"), number(); }
  bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override {
    return log("getProgramNameIndexed", category, index, text), truth();
  }
  bool copyProgram(std::int32_t destination) override {
    return log("copyProgram", destination), truth();
  }
  void inputConnected(std::int32_t index, bool state) override {
    log("inputConnected", index, state);
  }
  void outputConnected(std::int32_t index, bool state) override {
    log("outputConnected", index, state);
  }
  bool getInputProperties(std::int32_t index, void* properties) override {
    return log("getInputProperties", index, properties), truth();
  }
  bool getOutputProperties(std::int32_t index, void* properties) override {
    return log("getOutputProperties", index, properties), truth();
  }
  std::int32_t getPlugCategory() override { return log("getPlugCategory"), number(); }
  std::int32_t reportCurrentPosition() override {
    return log("reportCurrentPosition"), number();
  }
  float* reportDestinationBuffer() override {
    return log("reportDestinationBuffer"), reinterpret_cast<float*>(answer);
  }
  bool offlineNotify(void* files, std::int32_t count, bool start) override {
    return log("offlineNotify", files, count, start), truth();
  }
  bool offlinePrepare(void* offline, std::int32_t count) override {
    return log("offlinePrepare", offline, count), truth();
  }
  bool offlineRun(void* offline, std::int32_t count) override {
    return log("offlineRun", offline, count), truth();
  }
  bool processVariableIo(void* io) override { return log("processVariableIo", io), truth(); }
  bool setSpeakerArrangement(void* inputArrangement, void* outputArrangement) override {
    return log("setSpeakerArrangement", inputArrangement, outputArrangement), truth();
  }
  void setBlockSizeAndSampleRate(std::int32_t size, float rate) override {
    log("setBlockSizeAndSampleRate", size, rate);
  }
  bool setBypass(bool state) override { return log("setBypass", state), truth(); }
  bool getEffectName(char* text) override { return log("getEffectName", text), truth(); }
  bool getErrorText(char* text) override { return log("getErrorText", text), truth(); }
  bool getVendorString(char* text) override { return log("getVendorString", text), truth(); }
  bool getProductString(char* text) override { return log("getProductString", text), truth(); }
  std::int32_t getVendorVersion() override { return log("getVendorVersion"), number(); }
  HostInt vendorSpecific(std::int32_t index, HostInt value, void* ptr, float opt) override {
    return log("vendorSpecific", index, value, ptr, opt), answer;
  }
  std::int32_t canDo(const char* text) override { return log("canDo", text), number(); }
  std::int32_t getTailSize() override { return log("getTailSize"), number(); }
  std::int32_t onIdle() override { return log("onIdle"), number(); }
  void* getIcon() override { return log("getIcon"), reinterpret_cast<void*>(answer); }
  bool setViewPosition(std::int32_t x, std::int32_t y) override {
    return log("setViewPosition", x, y), truth();
  }
  bool getParameterProperties(std::int32_t index, void* properties) override {
    return log("getParameterProperties", index, properties), truth();
  }
  bool keysRequired() override { return log("keysRequired"), truth(); }
  std::int32_t getInterfaceVersion() override { return log("getInterfaceVersion"), number(); }
  std::int32_t getMidiProgramName(std::int32_t channel, void* name) override {
    return log("getMidiProgramName", channel, name), number();
  }
  std::int32_t getCurrentMidiProgram(std::int32_t channel, void* current) override {
    return log("getCurrentMidiProgram", channel, current), number();
  }
  std::int32_t getMidiProgramCategory(std::int32_t channel, void* category) override {
    return log("getMidiProgramCategory", channel, category), number();
  }
  bool hasMidiProgramsChanged(std::int32_t channel) override {
    return log("hasMidiProgramsChanged", channel), truth();
  }
  bool getMidiKeyName(std::int32_t channel, void* keyName) override {
    return log("getMidiKeyName", channel, keyName), truth();
  }
  bool beginSetProgram() override { return log("beginSetProgram"), truth(); }
  bool endSetProgram() override { return log("endSetProgram"), truth(); }

 private:
  template <typename... Args>
  void log(const char* name, Args... arguments) {
    const std::vector<std::string> described{describe(arguments)...};
    std::string call = name;
    call += '(';
    for (std::size_t i = 0; i < described.size(); ++i) {
      call += (i == 0 ? "" : ", ") + described[i];
    }
    call += ')';
    calls.push_back(call);
  }

  std::int32_t number() const { return static_cast<std::int32_t>(answer); }
  bool truth() const { return answer != 0; }
};

}  // namespace vintrove::test
