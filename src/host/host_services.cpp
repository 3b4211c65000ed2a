// Requests the effect sends to its host. Each wrapper is one call of the HostCallback with this
// effect's record; without a HostCallback nothing is sent and the wrapper answers a fixed value.
#include "host/effect_base.h"
#include "host/extended_effect.h"

namespace vintrove {

namespace {

enum HostOpcode : std::int32_t {
  kAutomate = 0,
  kVersion = 1,
  kCurrentId = 2,
  kIdle = 3,
  kPinConnected = 4,
  kWantEvents = 6,
  kGetTime = 7,
  kTempoAt = 10,
  kNumAutomatableParameters = 11,
  kParameterQuantization = 12,
  kIoChanged = 13,
  kNeedIdle = 14,
  kSizeWindow = 15,
  kSampleRate = 16,
  kBlockSize = 17,
  kInputLatency = 18,
  kOutputLatency = 19,
  kPreviousPlug = 20,
  kNextPlug = 21,
  kWillReplaceOrAccumulate = 22,
  kCurrentProcessLevel = 23,
  kAutomationState = 24,
  kOfflineStart = 25,
  kOfflineRead = 26,
  kOfflineWrite = 27,
  kOfflineCurrentPass = 28,
  kOfflineCurrentMetaPass = 29,
  kSetOutputSampleRate = 30,
  kSpeakerArrangement = 31,
  kVendorString = 32,
  kProductString = 33,
  kVendorVersion = 34,
  kVendorSpecific = 35,
  kCanDo = 37,
  kLanguage = 38,
  kOpenWindow = 39,
  kCloseWindow = 40,
  kDirectory = 41,
  kUpdateDisplay = 42,
  kBeginEdit = 43,
  kEndEdit = 44,
  kOpenFileSelector = 45,
};

template <typename Pointer>
Pointer* toPointer(HostInt answer) {
  return reinterpret_cast<Pointer*>(answer);
}

HostInt fromPointer(const void* pointer) { return reinterpret_cast<HostInt>(pointer); }

}  // namespace

HostInt EffectBase::callHost(HostInt withoutHost, std::int32_t opcode, std::int32_t index,
                             HostInt value, void* ptr, float opt) {
  if (hostCallback == nullptr) {
    return withoutHost;
  }
  return hostCallback(&record, opcode, index, value, ptr, opt);
}

HostInt EffectBase::setParameterAutomated(std::int32_t index, float value) {
  setParameter(index, value);
  return callHost(0, kAutomate, index, 0, nullptr, value);
}

HostInt EffectBase::reportEdit(std::int32_t index, float value) {
  return callHost(0, kAutomate, index, 0, nullptr, value);
}

HostInt EffectBase::getHostVersion() {
  // Hosts too old to know the request answer 0: they are version 1.
  const HostInt version = callHost(1, kVersion);
  return version != 0 ? version : 1;
}

HostInt EffectBase::getCurrentUniqueId() { return callHost(0, kCurrentId); }

HostInt EffectBase::hostIdle() { return callHost(0, kIdle); }

// The host answers 0 for a connected pin; without a host every pin counts as connected.
bool EffectBase::isInputConnected(std::int32_t input) {
  return callHost(0, kPinConnected, input, 0) == 0;
}

bool EffectBase::isOutputConnected(std::int32_t output) {
  return callHost(0, kPinConnected, output, 1) == 0;
}

HostInt ExtendedEffect::wantEvents(std::int32_t filter) {
  return callHost(0, kWantEvents, 0, filter);
}

void* ExtendedEffect::getTimeInfo(std::int32_t filter) {
  return toPointer<void>(callHost(0, kGetTime, 0, filter));
}

HostInt ExtendedEffect::tempoAt(std::int32_t position) {
  return callHost(0, kTempoAt, 0, position);
}

HostInt ExtendedEffect::getNumAutomatableParameters() {
  return callHost(0, kNumAutomatableParameters);
}

HostInt ExtendedEffect::getParameterQuantization() { return callHost(0, kParameterQuantization); }

bool ExtendedEffect::ioChanged() { return callHost(0, kIoChanged) != 0; }

bool ExtendedEffect::needIdle() { return callHost(0, kNeedIdle) != 0; }

bool ExtendedEffect::sizeWindow(std::int32_t width, std::int32_t height) {
  return callHost(0, kSizeWindow, width, height) != 0;
}

// The host is told of the request, but the stored values stay what it last set by opcode.
float ExtendedEffect::updateSampleRate() {
  callHost(0, kSampleRate);
  return sampleRate;
}

std::int32_t ExtendedEffect::updateBlockSize() {
  callHost(0, kBlockSize);
  return blockSize;
}

HostInt ExtendedEffect::getInputLatency() { return callHost(0, kInputLatency); }

HostInt ExtendedEffect::getOutputLatency() { return callHost(0, kOutputLatency); }

EffectRecord* ExtendedEffect::getPreviousPlug(std::int32_t) {
  return toPointer<EffectRecord>(callHost(0, kPreviousPlug));
}

EffectRecord* ExtendedEffect::getNextPlug(std::int32_t) {
  return toPointer<EffectRecord>(callHost(0, kNextPlug));
}

HostInt ExtendedEffect::willReplaceOrAccumulate() {
  return callHost(0, kWillReplaceOrAccumulate);
}

HostInt ExtendedEffect::getCurrentProcessLevel() { return callHost(0, kCurrentProcessLevel); }

HostInt ExtendedEffect::getAutomationState() { return callHost(0, kAutomationState); }

bool ExtendedEffect::offlineStart(void* files, std::int32_t count, std::int32_t newCount) {
  return callHost(0, kOfflineStart, newCount, count, files) != 0;
}

bool ExtendedEffect::offlineRead(void* offline, std::int32_t option, bool readSource) {
  return callHost(0, kOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool ExtendedEffect::offlineWrite(void* offline, std::int32_t option) {
  return callHost(0, kOfflineWrite, 0, option, offline) != 0;
}

bool ExtendedEffect::offlineGetCurrentPass() { return callHost(0, kOfflineCurrentPass) != 0; }

bool ExtendedEffect::offlineGetCurrentMetaPass() {
  return callHost(0, kOfflineCurrentMetaPass) != 0;
}

HostInt ExtendedEffect::setOutputSampleRate(float rate) {
  return callHost(0, kSetOutputSampleRate, 0, 0, nullptr, rate);
}

bool ExtendedEffect::getSpeakerArrangement(void* inputArrangement, void* outputArrangement) {
  return callHost(0, kSpeakerArrangement, 0, fromPointer(inputArrangement), outputArrangement) !=
         0;
}

bool ExtendedEffect::getHostVendorString(char* text) {
  return callHost(0, kVendorString, 0, 0, text) != 0;
}

bool ExtendedEffect::getHostProductString(char* text) {
  return callHost(0, kProductString, 0, 0, text) != 0;
}

HostInt ExtendedEffect::getHostVendorVersion() { return callHost(0, kVendorVersion); }

HostInt ExtendedEffect::hostVendorSpecific(std::int32_t index, HostInt value, void* ptr,
                                           float opt) {
  return callHost(0, kVendorSpecific, index, value, ptr, opt);
}

bool ExtendedEffect::canHostDo(const char* text) {
  // The host only reads the text; the callback's ptr is untyped and not const.
  return callHost(0, kCanDo, 0, 0, const_cast<char*>(text)) != 0;
}

HostInt ExtendedEffect::getHostLanguage() { return callHost(0, kLanguage); }

void* ExtendedEffect::openWindow(void* window) {
  return toPointer<void>(callHost(0, kOpenWindow, 0, 0, window));
}

bool ExtendedEffect::closeWindow(void* window) {
  return callHost(0, kCloseWindow, 0, 0, window) != 0;
}

void* ExtendedEffect::getDirectory() { return toPointer<void>(callHost(0, kDirectory)); }

bool ExtendedEffect::updateDisplay() { return callHost(0, kUpdateDisplay) != 0; }

bool ExtendedEffect::beginEdit(std::int32_t index) { return callHost(0, kBeginEdit, index) != 0; }

bool ExtendedEffect::endEdit(std::int32_t index) { return callHost(0, kEndEdit, index) != 0; }

bool ExtendedEffect::openFileSelector(void* selector) {
  if (selector == nullptr) {
    return false;
  }
  return callHost(0, kOpenFileSelector, 0, 0, selector) != 0;
}

}  // namespace vintrove
