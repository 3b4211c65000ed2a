// The record the host reads: its layout, the values a fresh effect puts in it, and the
// operations that change it afterwards.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

#include "host/effect_record.h"
#include "host/plugin_entry.h"
#include "mock_editor.h"
#include "recording_effect.h"
#include "recording_host.h"

namespace vintrove::test {
namespace {

struct FieldOffset {
  const char* name;
  std::size_t actual;
  std::size_t on32Bit;
  std::size_t on64Bit;
};

TEST(EffectRecordLayout, FieldsSitAtTheOffsetsTheHostExpects) {
  const FieldOffset fields[] = {
      {"magic", offsetof(EffectRecord, magic), 0, 0},
      {"dispatcher", offsetof(EffectRecord, dispatcher), 4, 8},
      {"process", offsetof(EffectRecord, process), 8, 16},
      {"setParameter", offsetof(EffectRecord, setParameter), 12, 24},
      {"getParameter", offsetof(EffectRecord, getParameter), 16, 32},
      {"numPrograms", offsetof(EffectRecord, numPrograms), 20, 40},
      {"numParams", offsetof(EffectRecord, numParams), 24, 44},
      {"numInputs", offsetof(EffectRecord, numInputs), 28, 48},
      {"numOutputs", offsetof(EffectRecord, numOutputs), 32, 52},
      {"flags", offsetof(EffectRecord, flags), 36, 56},
      {"reserved1", offsetof(EffectRecord, reserved1), 40, 64},
      {"reserved2", offsetof(EffectRecord, reserved2), 44, 72},
      {"initialDelay", offsetof(EffectRecord, initialDelay), 48, 80},
      {"realQualities", offsetof(EffectRecord, realQualities), 52, 84},
      {"offQualities", offsetof(EffectRecord, offQualities), 56, 88},
      {"ioRatio", offsetof(EffectRecord, ioRatio), 60, 92},
      {"object", offsetof(EffectRecord, object), 64, 96},
      {"user", offsetof(EffectRecord, user), 68, 104},
      {"uniqueID", offsetof(EffectRecord, uniqueID), 72, 112},
      {"version", offsetof(EffectRecord, version), 76, 116},
      {"processReplacing", offsetof(EffectRecord, processReplacing), 80, 120},
      {"future", offsetof(EffectRecord, future), 84, 128},
  };
  const bool is32Bit = sizeof(void*) == 4;
  for (const FieldOffset& field : fields) {
    SCOPED_TRACE(field.name);
    EXPECT_EQ(field.actual, is32Bit ? field.on32Bit : field.on64Bit);
  }
  EXPECT_EQ(sizeof(EffectRecord), is32Bit ? 144u : 192u);
  EXPECT_EQ(sizeof(EffectRecord::future), 60u);
}

TEST(EffectRecordLayout, KeyCodeAndEditorRectKeepTheirFieldOrder) {
  EXPECT_EQ(offsetof(KeyCode, character), 0u);
  EXPECT_EQ(offsetof(KeyCode, virtualKey), 4u);
  EXPECT_EQ(offsetof(KeyCode, modifiers), 5u);
  EXPECT_EQ(offsetof(EditorRect, top), 0u);
  EXPECT_EQ(offsetof(EditorRect, left), 2u);
  EXPECT_EQ(offsetof(EditorRect, bottom), 4u);
  EXPECT_EQ(offsetof(EditorRect, right), 6u);
  EXPECT_EQ(sizeof(EditorRect), 8u);
}

TEST(EffectRecordLayout, FourCharactersPutsTheFirstInTheTopByte) {
  EXPECT_EQ(kEffectMagic, 0x56737450);
  EXPECT_EQ(fourCharacters('N', 'o', 'E', 'f'), 0x4e6f4566);
  EXPECT_EQ(fourCharacters('\xff', 0, 0, 1), static_cast<std::int32_t>(0xff000001u));
}

template <typename T>
void putBytes(std::array<unsigned char, sizeof(EffectRecord)>& image, std::size_t offset,
              T value) {
  std::memcpy(image.data() + offset, &value, sizeof value);
}

// The record of the library's effect as `main` hands it out, compared byte by byte.
TEST(FreshRecord, HoldsTheInitialValuesByteByByte) {
  RecordingHost host;
  host.answer = 2400;
  EffectRecord* record = vintroveMain(host.callback());
  ASSERT_NE(record, nullptr);

  std::array<unsigned char, sizeof(EffectRecord)> actual{};
  std::memcpy(actual.data(), record, sizeof(EffectRecord));
  std::array<unsigned char, sizeof(EffectRecord)> expected{};
  if constexpr (sizeof(void*) == 4) {
    const std::array<unsigned char, 84> head{
        0x50, 0x74, 0x73, 0x56,  // magic: VstP
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // the four entries, put in below
        1, 0, 0, 0,              // numPrograms
        5, 0, 0, 0,              // numParams
        0, 0, 0, 0,              // numInputs
        2, 0, 0, 0,              // numOutputs
        0x39, 0x01, 0, 0,        // flags: editor, mono, replacing, chunks, synth
        0, 0, 0, 0, 0, 0, 0, 0,  // reserved
        0, 0, 0, 0,              // initialDelay
        0, 0, 0, 0,              // realQualities
        0, 0, 0, 0,              // offQualities
        0x00, 0x00, 0x80, 0x3f,  // ioRatio 1.0
        0, 0, 0, 0,              // object, put in below
        0, 0, 0, 0,              // user
        0x76, 0x72, 0x74, 0x56,  // uniqueID: Vtrv
        1, 0, 0, 0,              // version
    };
    std::memcpy(expected.data(), head.data(), head.size());
    putBytes(expected, 4, &EffectBase::dispatcherEntry);
    putBytes(expected, 8, &EffectBase::processEntry);
    putBytes(expected, 12, &EffectBase::setParameterEntry);
    putBytes(expected, 16, &EffectBase::getParameterEntry);
    putBytes(expected, 64, record->object);
    putBytes(expected, 80, &EffectBase::processReplacingEntry);
    for (std::size_t offset = 0; offset < expected.size(); ++offset) {
      SCOPED_TRACE(offset);
      EXPECT_EQ(actual[offset], expected[offset]);
    }
  } else {
    EXPECT_EQ(record->magic, kEffectMagic);
    EXPECT_EQ(record->dispatcher, &EffectBase::dispatcherEntry);
    EXPECT_EQ(record->process, &EffectBase::processEntry);
    EXPECT_EQ(record->setParameter, &EffectBase::setParameterEntry);
    EXPECT_EQ(record->getParameter, &EffectBase::getParameterEntry);
    EXPECT_EQ(record->processReplacing, &EffectBase::processReplacingEntry);
    EXPECT_EQ(record->numPrograms, 1);
    EXPECT_EQ(record->numParams, 5);
    EXPECT_EQ(record->numInputs, 0);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, 0x139);
    EXPECT_EQ(record->reserved1, 0);
    EXPECT_EQ(record->reserved2, 0);
    EXPECT_EQ(record->initialDelay, 0);
    EXPECT_EQ(record->realQualities, 0);
    EXPECT_EQ(record->offQualities, 0);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->user, nullptr);
    EXPECT_EQ(record->uniqueID, 0x56747276);
    EXPECT_EQ(record->version, 1);
  }
  const std::array<char, 60> zeros{};
  EXPECT_EQ(std::memcmp(record->future, zeros.data(), zeros.size()), 0);

  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
}

TEST(FreshRecord, CopiesTheCountsGivenToTheConstructor) {
  PlainEffect effect(nullptr, 7, -2);
  EXPECT_EQ(effect.getRecord()->numPrograms, 7);
  EXPECT_EQ(effect.getRecord()->numParams, -2);
  EXPECT_EQ(effect.getRecord()->object, static_cast<EffectBase*>(&effect));
}

TEST(FreshRecord, KeepsTheHostDefaultsOfSampleRateBlockSizeAndProgram) {
  PlainEffect effect;
  EXPECT_EQ(effect.getSampleRate(), 44100.0f);
  EXPECT_EQ(effect.getBlockSize(), 1024);
  EXPECT_EQ(effect.getProgram(), 0);
  EXPECT_EQ(effect.getEditor(), nullptr);
}

struct FlagSetter {
  const char* name;
  std::int32_t bit;
  std::function<void(ExtendedEffect&, bool)> set;
};

TEST(RecordSetters, EachFlagSetterChangesOnlyItsOwnBit) {
  const FlagSetter setters[] = {
      {"hasClip", 0x002, [](ExtendedEffect& e, bool s) { e.hasClip(s); }},
      {"hasVu", 0x004, [](ExtendedEffect& e, bool s) { e.hasVu(s); }},
      {"canMono", 0x008, [](ExtendedEffect& e, bool s) { e.canMono(s); }},
      {"canProcessReplacing", 0x010, [](ExtendedEffect& e, bool s) { e.canProcessReplacing(s); }},
      {"programsAreChunks", 0x020, [](ExtendedEffect& e, bool s) { e.programsAreChunks(s); }},
      {"isSynth", 0x100, [](ExtendedEffect& e, bool s) { e.isSynth(s); }},
      {"noSoundInStop", 0x200, [](ExtendedEffect& e, bool s) { e.noSoundInStop(s); }},
      {"wantAsyncOperation", 0x400, [](ExtendedEffect& e, bool s) { e.wantAsyncOperation(s); }},
      {"hasExternalBuffer", 0x800, [](ExtendedEffect& e, bool s) { e.hasExternalBuffer(s); }},
  };
  for (const FlagSetter& setter : setters) {
    SCOPED_TRACE(setter.name);
    PlainEffect effect;
    std::int32_t& flags = effect.getRecord()->flags;
    setter.set(effect, true);
    EXPECT_EQ(flags, setter.bit);
    setter.set(effect, true);
    EXPECT_EQ(flags, setter.bit);
    flags = ~0;
    setter.set(effect, false);
    EXPECT_EQ(flags, ~setter.bit);
  }
}

TEST(RecordSetters, IntegerSettersWriteTheirField) {
  PlainEffect effect;
  EffectRecord& record = *effect.getRecord();
  effect.setUniqueID(fourCharacters('V', 't', 'r', 'v'));
  effect.setNumInputs(0);
  effect.setNumOutputs(6);
  effect.setRealtimeQualities(3);
  effect.setOfflineQualities(4);
  effect.setInitialDelay(512);
  EXPECT_EQ(record.uniqueID, 0x56747276);
  EXPECT_EQ(record.numInputs, 0);
  EXPECT_EQ(record.numOutputs, 6);
  EXPECT_EQ(record.realQualities, 3);
  EXPECT_EQ(record.offQualities, 4);
  EXPECT_EQ(record.initialDelay, 512);
  EXPECT_EQ(record.flags, 0);
}

TEST(RecordSetters, AttachingAnEditorSetsTheEditorFlagAndDetachingClearsIt) {
  PlainEffect effect;
  effect.canMono(true);
  auto editor = std::make_unique<ProbeEditor>(&effect);
  EditorBase* attached = editor.get();
  effect.attachEditor(std::move(editor));
  EXPECT_EQ(effect.getRecord()->flags, kFlagHasEditor | kFlagCanMono);
  EXPECT_EQ(effect.getEditor(), attached);
  effect.attachEditor(nullptr);
  EXPECT_EQ(effect.getRecord()->flags, kFlagCanMono);
  EXPECT_EQ(effect.getEditor(), nullptr);
}

TEST(EffectLifetime, TheEffectDestroysItsEditor) {
  bool destroyed = false;
  {
    PlainEffect effect;
    effect.attachEditor(std::make_unique<ProbeEditor>(&effect, &destroyed));
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}

TEST(EffectLifetime, ReplacingTheEditorDestroysThePreviousOne) {
  bool firstDestroyed = false;
  PlainEffect effect;
  effect.attachEditor(std::make_unique<ProbeEditor>(&effect, &firstDestroyed));
  effect.attachEditor(std::make_unique<ProbeEditor>(&effect));
  EXPECT_TRUE(firstDestroyed);
  EXPECT_EQ(effect.getRecord()->flags, kFlagHasEditor);
}

}  // namespace
}  // namespace vintrove::test
