// The binary record a VST 2 host holds for each effect, and the function types that cross the
// boundary between host and plug-in. The layout is fixed by the host side: 144 bytes on 32-bit
// Windows; pointer-sized fields widen on 64 bits and everything else stays.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VINTROVE_HOST_CALL __cdecl
#else
#define VINTROVE_HOST_CALL
#endif

namespace vintrove {

struct EffectRecord;

// Pointer-sized integer: the width of host answers and of the dispatcher's `value`.
using HostInt = std::intptr_t;

using HostCallback = HostInt(VINTROVE_HOST_CALL*)(EffectRecord* effect, std::int32_t opcode,
                                                  std::int32_t index, HostInt value, void* ptr,
                                                  float opt);
using DispatcherEntry = HostInt(VINTROVE_HOST_CALL*)(EffectRecord* effect, std::int32_t opcode,
                                                     std::int32_t index, HostInt value, void* ptr,
                                                     float opt);
using ProcessEntry = void(VINTROVE_HOST_CALL*)(EffectRecord* effect, float** inputs,
                                               float** outputs, std::int32_t sampleFrames);
using SetParameterEntry = void(VINTROVE_HOST_CALL*)(EffectRecord* effect, std::int32_t index,
                                                    float value);
using GetParameterEntry = float(VINTROVE_HOST_CALL*)(EffectRecord* effect, std::int32_t index);

// Four characters packed first character in the most significant byte.
constexpr std::int32_t fourCharacters(char a, char b, char c, char d) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                   (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                   (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                   static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr std::int32_t kEffectMagic = fourCharacters('V', 's', 't', 'P');  // 0x56737450

// Capability bits of EffectRecord::flags.
enum EffectFlags : std::int32_t {
  kFlagHasEditor = 0x001,
  kFlagHasClip = 0x002,
  kFlagHasVu = 0x004,
  kFlagCanMono = 0x008,
  kFlagCanReplacing = 0x010,
  kFlagProgramChunks = 0x020,
  kFlagIsSynth = 0x100,
  kFlagNoSoundInStop = 0x200,
  kFlagAsyncProcessing = 0x400,
  kFlagExternalBuffer = 0x800,
};

struct EffectRecord {
  std::int32_t magic;
  DispatcherEntry dispatcher;
  ProcessEntry process;
  SetParameterEntry setParameter;
  GetParameterEntry getParameter;
  std::int32_t numPrograms;
  std::int32_t numParams;
  std::int32_t numInputs;
  std::int32_t numOutputs;
  std::int32_t flags;
  HostInt reserved1;
  HostInt reserved2;
  std::int32_t initialDelay;
  std::int32_t realQualities;
  std::int32_t offQualities;
  float ioRatio;
  void* object;  // back-pointer to the effect that holds this record
  void* user;    // the host's
  std::int32_t uniqueID;
  std::int32_t version;
  ProcessEntry processReplacing;
  char future[60];
};

static_assert(sizeof(float) == 4);
static_assert(sizeof(void*) != 4 || sizeof(EffectRecord) == 144, "the 32-bit record is 144 bytes");
static_assert(sizeof(void*) != 4 || offsetof(EffectRecord, object) == 64);
static_assert(sizeof(void*) != 4 || offsetof(EffectRecord, processReplacing) == 80);
static_assert(sizeof(void*) != 8 || sizeof(EffectRecord) == 192, "the 64-bit record is 192 bytes");

// Key record the dispatcher builds for the editor's key operations.
struct KeyCode {
  std::int32_t character;
  std::uint8_t virtualKey;
  std::uint8_t modifiers;
};

}  // namespace vintrove
