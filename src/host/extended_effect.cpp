#include "host/extended_effect.h"

#include <cstdio>

#include "host/safe_convert.h"

namespace vintrove {

namespace {

// Dispatcher opcodes of the extended table.
enum ExtendedOpcode : std::int32_t {
  kProcessEvents = 25,
  kCanBeAutomated = 26,
  kStringToParameter = 27,
  kGetNumCategories = 28,
  kGetProgramNameIndexed = 29,
  kCopyProgram = 30,
  kConnectInput = 31,
  kConnectOutput = 32,
  kGetInputProperties = 33,
  kGetOutputProperties = 34,
  kGetPlugCategory = 35,
  kGetCurrentPosition = 36,
  kGetDestinationBuffer = 37,
  kOfflineNotify = 38,
  kOfflinePrepare = 39,
  kOfflineRun = 40,
  kProcessVariableIo = 41,
  kSetSpeakerArrangement = 42,
  kSetBlockSizeAndSampleRate = 43,
  kSetBypass = 44,
  kGetEffectName = 45,
  kGetErrorText = 46,
  kGetVendorString = 47,
  kGetProductString = 48,
  kGetVendorVersion = 49,
  kVendorSpecific = 50,
  kCanDo = 51,
  kGetTailSize = 52,
  kIdle = 53,
  kGetIcon = 54,
  kSetViewPosition = 55,
  kGetParameterProperties = 56,
  kKeysRequired = 57,
  kGetInterfaceVersion = 58,
  kEditorKeyDown = 59,
  kEditorKeyUp = 60,
  kEditorSetKnobMode = 61,
  kGetMidiProgramName = 62,
  kGetCurrentMidiProgram = 63,
  kGetMidiProgramCategory = 64,
  kHasMidiProgramsChanged = 65,
  kGetMidiKeyName = 66,
  kBeginSetProgram = 67,
  kEndSetProgram = 68,
};

KeyCode makeKeyCode(std::int32_t index, HostInt value, float opt) {
  return KeyCode{index, static_cast<std::uint8_t>(value & 0xff),
                 static_cast<std::uint8_t>(truncateToInt32(static_cast<double>(opt)) & 0xff)};
}

HostInt fromPointer(const void* pointer) { return reinterpret_cast<HostInt>(pointer); }

}  // namespace

ExtendedEffect::ExtendedEffect(HostCallback callback, std::int32_t programs,
                               std::int32_t parameters)
    : EffectBase(callback, programs, parameters) {}

HostInt ExtendedEffect::dispatcher(std::int32_t opcode, std::int32_t index, HostInt value,
                                   void* ptr, float opt) {
  if (lacksRequiredPointer(opcode, ptr)) {
    return 0;
  }
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case kProcessEvents:
      return processEvents(ptr);
    case kCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case kStringToParameter:
      return stringToParameter(index, text) ? 1 : 0;
    case kGetNumCategories:
      return getNumCategories();
    case kGetProgramNameIndexed:
      return getProgramNameIndexed(toInt32(value), index, text) ? 1 : 0;
    case kCopyProgram:
      return copyProgram(index) ? 1 : 0;
    case kConnectInput:
      inputConnected(index, value != 0);
      return 1;
    case kConnectOutput:
      outputConnected(index, value != 0);
      return 1;
    case kGetInputProperties:
      return getInputProperties(index, ptr) ? 1 : 0;
    case kGetOutputProperties:
      return getOutputProperties(index, ptr) ? 1 : 0;
    case kGetPlugCategory:
      return getPlugCategory();
    case kGetCurrentPosition:
      return reportCurrentPosition();
    case kGetDestinationBuffer:
      return fromPointer(reportDestinationBuffer());
    case kOfflineNotify:
      return offlineNotify(ptr, toInt32(value), index != 0) ? 1 : 0;
    case kOfflinePrepare:
      return offlinePrepare(ptr, toInt32(value)) ? 1 : 0;
    case kOfflineRun:
      return offlineRun(ptr, toInt32(value)) ? 1 : 0;
    case kProcessVariableIo:
      return processVariableIo(ptr) ? 1 : 0;
    case kSetSpeakerArrangement:
      return setSpeakerArrangement(reinterpret_cast<void*>(value), ptr) ? 1 : 0;
    case kSetBlockSizeAndSampleRate:
      setBlockSizeAndSampleRate(toInt32(value), opt);
      return 1;
    case kSetBypass:
      return setBypass(value != 0) ? 1 : 0;
    case kGetEffectName:
      return getEffectName(text) ? 1 : 0;
    case kGetErrorText:
      return getErrorText(text) ? 1 : 0;
    case kGetVendorString:
      return getVendorString(text) ? 1 : 0;
    case kGetProductString:
      return getProductString(text) ? 1 : 0;
    case kGetVendorVersion:
      return getVendorVersion();
    case kVendorSpecific:
      return vendorSpecific(index, value, ptr, opt);
    case kCanDo:
      return canDo(text);
    case kGetTailSize:
      return getTailSize();
    case kIdle:
      return onIdle();
    case kGetIcon:
      return fromPointer(getIcon());
    case kSetViewPosition:
      return setViewPosition(index, toInt32(value)) ? 1 : 0;
    case kGetParameterProperties:
      return getParameterProperties(index, ptr) ? 1 : 0;
    case kKeysRequired:
      return keysRequired() ? 0 : 1;
    case kGetInterfaceVersion:
      return getInterfaceVersion();
    case kEditorKeyDown:
      if (editor) {
        KeyCode key = makeKeyCode(index, value, opt);
        return editor->keyDown(key);
      }
      return 0;
    case kEditorKeyUp:
      if (editor) {
        KeyCode key = makeKeyCode(index, value, opt);
        return editor->keyUp(key);
      }
      return 0;
    case kEditorSetKnobMode:
      return editor ? editor->setKnobStyle(toInt32(value)) : 0;
    case kGetMidiProgramName:
      return getMidiProgramName(index, ptr);
    case kGetCurrentMidiProgram:
      return getCurrentMidiProgram(index, ptr);
    case kGetMidiProgramCategory:
      return getMidiProgramCategory(index, ptr);
    case kHasMidiProgramsChanged:
      return hasMidiProgramsChanged(index) ? 1 : 0;
    case kGetMidiKeyName:
      return getMidiKeyName(index, ptr) ? 1 : 0;
    case kBeginSetProgram:
      return beginSetProgram() ? 1 : 0;
    case kEndSetProgram:
      return endSetProgram() ? 1 : 0;
    default:
      return EffectBase::dispatcher(opcode, index, value, ptr, opt);
  }
}

void ExtendedEffect::formatInteger(std::int32_t value, char* text) {
  if (text != nullptr) {
    std::snprintf(text, 9, "%d", static_cast<int>(value));
  }
}

EditorBase* ExtendedEffect::getEditor() { return editor.get(); }

std::int32_t ExtendedEffect::processEvents(void*) { return 0; }

bool ExtendedEffect::canParameterBeAutomated(std::int32_t) { return true; }

bool ExtendedEffect::stringToParameter(std::int32_t, const char*) { return false; }

float ExtendedEffect::getChannelParameter(std::int32_t, std::int32_t) { return 0.0f; }

std::int32_t ExtendedEffect::getNumCategories() { return 1; }

bool ExtendedEffect::getProgramNameIndexed(std::int32_t, std::int32_t, char*) { return false; }

bool ExtendedEffect::copyProgram(std::int32_t) { return false; }

void ExtendedEffect::inputConnected(std::int32_t, bool) {}

void ExtendedEffect::outputConnected(std::int32_t, bool) {}

bool ExtendedEffect::getInputProperties(std::int32_t, void*) { return false; }

bool ExtendedEffect::getOutputProperties(std::int32_t, void*) { return false; }

std::int32_t ExtendedEffect::getPlugCategory() {
  return (record.flags & kFlagIsSynth) != 0 ? 2 : 0;
}

void ExtendedEffect::wantAsyncOperation(bool state) { setFlag(kFlagAsyncProcessing, state); }

void ExtendedEffect::hasExternalBuffer(bool state) { setFlag(kFlagExternalBuffer, state); }

std::int32_t ExtendedEffect::reportCurrentPosition() { return 0; }

float* ExtendedEffect::reportDestinationBuffer() { return nullptr; }

bool ExtendedEffect::offlineNotify(void*, std::int32_t, bool) { return false; }

bool ExtendedEffect::offlinePrepare(void*, std::int32_t) { return false; }

bool ExtendedEffect::offlineRun(void*, std::int32_t) { return false; }

std::int32_t ExtendedEffect::reservedSlot88() { return 0; }

std::int32_t ExtendedEffect::reservedSlot89() { return 0; }

void ExtendedEffect::isSynth(bool state) { setFlag(kFlagIsSynth, state); }

void ExtendedEffect::noSoundInStop(bool state) { setFlag(kFlagNoSoundInStop, state); }

bool ExtendedEffect::processVariableIo(void*) { return false; }

bool ExtendedEffect::setSpeakerArrangement(void*, void*) { return false; }

void ExtendedEffect::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
  blockSize = size;
  sampleRate = rate;
}

bool ExtendedEffect::setBypass(bool) { return false; }

bool ExtendedEffect::getEffectName(char*) { return false; }

bool ExtendedEffect::getErrorText(char*) { return false; }

bool ExtendedEffect::getVendorString(char*) { return false; }

bool ExtendedEffect::getProductString(char*) { return false; }

std::int32_t ExtendedEffect::getVendorVersion() { return 0; }

HostInt ExtendedEffect::vendorSpecific(std::int32_t, HostInt, void*, float) { return 0; }

std::int32_t ExtendedEffect::canDo(const char*) { return 0; }

void* ExtendedEffect::getIcon() { return nullptr; }

bool ExtendedEffect::setViewPosition(std::int32_t, std::int32_t) { return false; }

std::int32_t ExtendedEffect::getTailSize() { return 0; }

std::int32_t ExtendedEffect::onIdle() { return 0; }

bool ExtendedEffect::getParameterProperties(std::int32_t, void*) { return false; }

bool ExtendedEffect::keysRequired() { return false; }

std::int32_t ExtendedEffect::getInterfaceVersion() { return 2200; }

std::int32_t ExtendedEffect::getMidiProgramName(std::int32_t, void*) { return 0; }

std::int32_t ExtendedEffect::getCurrentMidiProgram(std::int32_t, void*) { return -1; }

std::int32_t ExtendedEffect::getMidiProgramCategory(std::int32_t, void*) { return 0; }

bool ExtendedEffect::hasMidiProgramsChanged(std::int32_t) { return false; }

bool ExtendedEffect::getMidiKeyName(std::int32_t, void*) { return false; }

bool ExtendedEffect::beginSetProgram() { return false; }

bool ExtendedEffect::endSetProgram() { return false; }

}  // namespace vintrove
