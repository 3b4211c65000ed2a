#include "host/effect_base.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "host/safe_convert.h"

namespace vintrove {

namespace {

// Dispatcher opcodes of the base table.
enum BaseOpcode : std::int32_t {
  kOpen = 0,
  kClose = 1,
  kSetProgram = 2,
  kGetProgram = 3,
  kSetProgramName = 4,
  kGetProgramName = 5,
  kGetParameterLabel = 6,
  kGetParameterDisplay = 7,
  kGetParameterName = 8,
  kGetVu = 9,
  kSetSampleRate = 10,
  kSetBlockSize = 11,
  kMainsChanged = 12,
  kEditorGetRect = 13,
  kEditorOpen = 14,
  kEditorClose = 15,
  kEditorIdle = 19,
  kIdentify = 22,
  kGetChunk = 23,
  kSetChunk = 24,
};

// Opcodes whose ptr is a text, an out-address or a record that the effect reads or writes.
// Opcode 14 (a window handle) and 50 (vendor defined) pass ptr through untouched; 25 (events)
// and 63 (current MIDI program) reach their operations, which answer as the opcode table says
// without reading a null record.
constexpr std::array kPointerOpcodes{
    4,  5,  6,  7,  8,          // program and parameter texts
    13,                         // editor rectangle out-address
    23, 24,                     // chunk out-address and data
    27, 29, 33, 34,             // parameter text, program name, pin properties
    38, 39, 40, 41, 42,         // offline, variable io and speaker records
    45, 46, 47, 48, 51, 56,     // name texts, capability text, parameter properties
    62, 64, 66,                 // MIDI program and key name records
};

constexpr std::size_t kFormatBuffer = 9;  // at most 8 characters and the terminating zero

void writeEmpty(char* text) {
  if (text != nullptr) {
    text[0] = '\0';
  }
}

void formatNumber(char* text, double value) {
  if (text != nullptr) {
    std::snprintf(text, kFormatBuffer, "%.2f", value);
  }
}

}  // namespace

EffectBase::EffectBase(HostCallback callback, std::int32_t programs, std::int32_t parameters)
    : hostCallback(callback), programCount(programs), parameterCount(parameters) {
  record.magic = kEffectMagic;
  record.dispatcher = &EffectBase::dispatcherEntry;
  record.process = &EffectBase::processEntry;
  record.setParameter = &EffectBase::setParameterEntry;
  record.getParameter = &EffectBase::getParameterEntry;
  record.numPrograms = programs;
  record.numParams = parameters;
  record.numInputs = 1;
  record.numOutputs = 2;
  record.ioRatio = 1.0f;
  record.object = this;
  record.uniqueID = fourCharacters('N', 'o', 'E', 'f');
  record.version = 1;
  record.processReplacing = &EffectBase::processReplacingEntry;
}

EffectBase::~EffectBase() {
  // Explicitly, so the editor goes while every field it might still read is alive.
  editor.reset();
}

void EffectBase::attachEditor(std::unique_ptr<EditorBase> attached) {
  editor = std::move(attached);
  setFlag(kFlagHasEditor, editor != nullptr);
}

void EffectBase::setFlag(std::int32_t flag, bool state) {
  if (state) {
    record.flags |= flag;
  } else {
    record.flags &= ~flag;
  }
}

bool EffectBase::lacksRequiredPointer(std::int32_t opcode, const void* ptr) {
  return ptr == nullptr &&
         std::find(kPointerOpcodes.begin(), kPointerOpcodes.end(), opcode) != kPointerOpcodes.end();
}

HostInt EffectBase::dispatcher(std::int32_t opcode, std::int32_t index, HostInt value, void* ptr,
                               float opt) {
  if (lacksRequiredPointer(opcode, ptr)) {
    return 0;
  }
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case kOpen:
      open();
      return 0;
    case kClose:
      close();
      return 0;
    case kSetProgram:
      if (value >= 0 && value < programCount) {
        setProgram(toInt32(value));
      }
      return 0;
    case kGetProgram:
      return getProgram();
    case kSetProgramName:
      setProgramName(text);
      return 0;
    case kGetProgramName:
      getProgramName(text);
      return 0;
    case kGetParameterLabel:
      getParameterLabel(index, text);
      return 0;
    case kGetParameterDisplay:
      getParameterDisplay(index, text);
      return 0;
    case kGetParameterName:
      getParameterName(index, text);
      return 0;
    case kGetVu:
      return truncateToInt32(static_cast<double>(getVu()) * 32767.0);
    case kSetSampleRate:
      setSampleRate(opt);
      return 0;
    case kSetBlockSize:
      setBlockSize(toInt32(value));
      return 0;
    case kMainsChanged:
      if (value == 0) {
        suspend();
      } else {
        resume();
      }
      return 0;
    case kEditorGetRect:
      return editor ? editor->getEditorRect(static_cast<EditorRect**>(ptr)) : 0;
    case kEditorOpen:
      return editor ? editor->open(ptr) : 0;
    case kEditorClose:
      if (editor) {
        editor->close();
      }
      return 0;
    case kEditorIdle:
      if (editor) {
        editor->idle();
      }
      return 0;
    case kIdentify:
      return fourCharacters('N', 'v', 'E', 'f');
    case kGetChunk:
      return getChunk(static_cast<void**>(ptr), index != 0);
    case kSetChunk:
      return setChunk(ptr, toInt32(value), index != 0);
    default:
      return 0;
  }
}

HostInt VINTROVE_HOST_CALL EffectBase::dispatcherEntry(EffectRecord* effect, std::int32_t opcode,
                                                       std::int32_t index, HostInt value,
                                                       void* ptr, float opt) {
  if (effect == nullptr || effect->object == nullptr) {
    return 0;
  }
  auto* object = static_cast<EffectBase*>(effect->object);
  if (opcode != kClose) {
    try {
      return object->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
      return 0;
    }
  }
  try {
    object->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    // The host forgets the record after close whatever happens, so the effect goes anyway.
  }
  // The host handed ownership over in main; close gives it back for destruction.
  std::unique_ptr<EffectBase> owned(object);
  owned.reset();
  return 1;
}

void VINTROVE_HOST_CALL EffectBase::processEntry(EffectRecord* effect, float** inputs,
                                                 float** outputs, std::int32_t sampleFrames) {
  if (effect == nullptr || effect->object == nullptr) {
    return;
  }
  try {
    static_cast<EffectBase*>(effect->object)->process(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

void VINTROVE_HOST_CALL EffectBase::processReplacingEntry(EffectRecord* effect, float** inputs,
                                                          float** outputs,
                                                          std::int32_t sampleFrames) {
  if (effect == nullptr || effect->object == nullptr) {
    return;
  }
  try {
    static_cast<EffectBase*>(effect->object)->processReplacing(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

void VINTROVE_HOST_CALL EffectBase::setParameterEntry(EffectRecord* effect, std::int32_t index,
                                                      float value) {
  if (effect == nullptr || effect->object == nullptr) {
    return;
  }
  try {
    static_cast<EffectBase*>(effect->object)->setParameter(index, value);
  } catch (...) {
  }
}

float VINTROVE_HOST_CALL EffectBase::getParameterEntry(EffectRecord* effect, std::int32_t index) {
  if (effect == nullptr || effect->object == nullptr) {
    return 0.0f;
  }
  try {
    return static_cast<EffectBase*>(effect->object)->getParameter(index);
  } catch (...) {
    return 0.0f;
  }
}

void EffectBase::setParameter(std::int32_t, float) {}

float EffectBase::getParameter(std::int32_t) { return 0.0f; }

void EffectBase::processReplacing(float**, float**, std::int32_t) {}

void EffectBase::open() {}

void EffectBase::close() {}

std::int32_t EffectBase::getProgram() { return currentProgram; }

void EffectBase::setProgram(std::int32_t program) { currentProgram = program; }

void EffectBase::setProgramName(char* name) { writeEmpty(name); }

void EffectBase::getProgramName(char* name) { writeEmpty(name); }

void EffectBase::getParameterLabel(std::int32_t, char* label) { writeEmpty(label); }

void EffectBase::getParameterDisplay(std::int32_t, char* text) { writeEmpty(text); }

void EffectBase::getParameterName(std::int32_t, char* text) { writeEmpty(text); }

float EffectBase::getVu() { return 0.0f; }

std::int32_t EffectBase::getChunk(void**, bool) { return 0; }

std::int32_t EffectBase::setChunk(void*, std::int32_t, bool) { return 0; }

void EffectBase::setSampleRate(float rate) { sampleRate = rate; }

void EffectBase::setBlockSize(std::int32_t size) { blockSize = size; }

void EffectBase::suspend() {}

void EffectBase::resume() {}

void EffectBase::setUniqueID(std::int32_t id) { record.uniqueID = id; }

void EffectBase::setNumInputs(std::int32_t inputs) { record.numInputs = inputs; }

void EffectBase::setNumOutputs(std::int32_t outputs) { record.numOutputs = outputs; }

void EffectBase::hasVu(bool state) { setFlag(kFlagHasVu, state); }

void EffectBase::hasClip(bool state) { setFlag(kFlagHasClip, state); }

void EffectBase::canMono(bool state) { setFlag(kFlagCanMono, state); }

void EffectBase::canProcessReplacing(bool state) { setFlag(kFlagCanReplacing, state); }

void EffectBase::programsAreChunks(bool state) { setFlag(kFlagProgramChunks, state); }

void EffectBase::setRealtimeQualities(std::int32_t qualities) { record.realQualities = qualities; }

void EffectBase::setOfflineQualities(std::int32_t qualities) { record.offQualities = qualities; }

void EffectBase::setInitialDelay(std::int32_t delay) { record.initialDelay = delay; }

float EffectBase::getSampleRate() { return sampleRate; }

std::int32_t EffectBase::getBlockSize() { return blockSize; }

void EffectBase::formatDecibels(float gain, char* text) {
  if (gain > 0.0f) {
    formatNumber(text, 20.0 * std::log10(static_cast<double>(gain)));
  } else if (text != nullptr) {
    std::snprintf(text, kFormatBuffer, "-oo");
  }
}

void EffectBase::formatHertz(float samples, char* text) {
  formatNumber(text, samples != 0.0f ? static_cast<double>(sampleRate) / samples : 0.0);
}

void EffectBase::formatMilliseconds(float samples, char* text) {
  formatNumber(text, sampleRate != 0.0f ? samples * 1000.0 / sampleRate : 0.0);
}

void EffectBase::formatFloat(float value, char* text) {
  formatNumber(text, static_cast<double>(value));
}

}  // namespace vintrove
