// `main` and the five record entries: creation, failure paths, forwarding, close, robustness.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/plugin_entry.h"
#include "recording_effect.h"
#include "recording_host.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vintrove::test {
namespace {

using ::testing::ElementsAre;

// Records what reaches it through the entries, and reports its own destruction.
class EntryEffect : public ExtendedEffect {
 public:
  EntryEffect(HostCallback callback, std::vector<std::string>* journal)
      : ExtendedEffect(callback, 1, 3), log(journal) {}
  ~EntryEffect() override { log->push_back("destroyed"); }

  void process(float** inputs, float** outputs, std::int32_t sampleFrames) override {
    log->push_back("process " + std::to_string(sampleFrames));
    outputs[0][0] += inputs[0][0];
  }
  void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override {
    log->push_back("processReplacing " + std::to_string(sampleFrames));
    outputs[0][0] = inputs[0][0];
  }
  void setParameter(std::int32_t index, float value) override {
    log->push_back("setParameter " + std::to_string(index) + " " + describe(value));
  }
  float getParameter(std::int32_t index) override { return static_cast<float>(index) * 0.25f; }
  void close() override { log->push_back("close"); }
  std::int32_t getVendorVersion() override { return 77; }

 private:
  std::vector<std::string>* log;
};

// Throws out of every operation an entry reaches.
class ThrowingEffect : public ExtendedEffect {
 public:
  explicit ThrowingEffect(bool* destroyedFlag)
      : ExtendedEffect(nullptr, 1, 1), destroyed(destroyedFlag) {}
  ~ThrowingEffect() override { *destroyed = true; }

  HostInt dispatcher(std::int32_t opcode, std::int32_t, HostInt, void*, float) override {
    throw std::runtime_error("dispatcher " + std::to_string(opcode));
  }
  void process(float**, float**, std::int32_t) override { throw std::runtime_error("process"); }
  void processReplacing(float**, float**, std::int32_t) override { throw std::bad_alloc(); }
  void setParameter(std::int32_t, float) override { throw 42; }
  float getParameter(std::int32_t) override { throw std::runtime_error("getParameter"); }

 private:
  bool* destroyed;
};

// Factories for createEffectRecord; they report through these.
int factoryCalls = 0;
std::vector<std::string> journal;

std::unique_ptr<EffectBase> makeEntryEffect(HostCallback callback) {
  ++factoryCalls;
  return std::make_unique<EntryEffect>(callback, &journal);
}

std::unique_ptr<EffectBase> makeNothing(HostCallback) {
  ++factoryCalls;
  return nullptr;
}

std::unique_ptr<EffectBase> failAllocation(HostCallback) {
  ++factoryCalls;
  throw std::bad_alloc();
}

class PluginEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    factoryCalls = 0;
    journal.clear();
  }
  RecordingHost host;
};

TEST_F(PluginEntry, AHostAnsweringZeroToTheVersionQueryGetsNullAndNoEffect) {
  host.answer = 0;
  EXPECT_EQ(createEffectRecord(host.callback(), &makeEntryEffect), nullptr);
  EXPECT_EQ(factoryCalls, 0);
  ASSERT_EQ(host.calls.size(), 1u);
  EXPECT_EQ(host.calls[0].effect, nullptr);
  EXPECT_EQ(host.calls[0].opcode, 1);
  EXPECT_EQ(host.calls[0].index, 0);
  EXPECT_EQ(host.calls[0].value, 0);
  EXPECT_EQ(host.calls[0].ptr, nullptr);
  EXPECT_EQ(host.calls[0].opt, 0.0f);
}

TEST_F(PluginEntry, TheExportedEntryAlsoGivesUpOnVersionZero) {
  host.answer = 0;
  EXPECT_EQ(vintroveMain(host.callback()), nullptr);
  EXPECT_EQ(host.calls.size(), 1u);
}

TEST_F(PluginEntry, NoHostCallbackGivesNull) {
  EXPECT_EQ(createEffectRecord(nullptr, &makeEntryEffect), nullptr);
  EXPECT_EQ(vintroveMain(nullptr), nullptr);
  EXPECT_EQ(factoryCalls, 0);
}

TEST_F(PluginEntry, AFailedCreationGivesNull) {
  host.answer = 1;
  EXPECT_EQ(createEffectRecord(host.callback(), &failAllocation), nullptr);
  EXPECT_EQ(createEffectRecord(host.callback(), &makeNothing), nullptr);
  EXPECT_EQ(factoryCalls, 2);
}

TEST_F(PluginEntry, ReturnsTheRecordInsideTheNewEffectWhoseObjectPointsBack) {
  host.answer = 2400;
  EffectRecord* record = createEffectRecord(host.callback(), &makeEntryEffect);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(factoryCalls, 1);
  auto* effect = static_cast<EffectBase*>(record->object);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->getRecord(), record);
  EXPECT_NE(dynamic_cast<EntryEffect*>(effect), nullptr);
  // The record lies inside the object's storage.
  const auto* begin = reinterpret_cast<const char*>(effect);
  const auto* at = reinterpret_cast<const char*>(record);
  EXPECT_GT(at, begin);
  EXPECT_LE(at + sizeof(EffectRecord), begin + sizeof(EntryEffect));
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(PluginEntry, EachCallOfMainCreatesItsOwnEffect) {
  host.answer = 1;
  EffectRecord* first = vintroveMain(host.callback());
  EffectRecord* second = vintroveMain(host.callback());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_NE(first->object, second->object);
  EXPECT_EQ(first->dispatcher(first, 1, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(second->dispatcher(second, 1, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(PluginEntry, CloseAnswersOneAndDestroysTheEffectAfterItsCloseOperation) {
  host.answer = 1;
  EffectRecord* record = createEffectRecord(host.callback(), &makeEntryEffect);
  ASSERT_NE(record, nullptr);
  // The effect's own handling of opcode 1 answers 0.
  EXPECT_EQ(static_cast<EffectBase*>(record->object)->dispatcher(1, 0, 0, nullptr, 0.0f), 0);
  journal.clear();
  EXPECT_EQ(record->dispatcher(record, 1, 5, 6, nullptr, 7.0f), 1);
  EXPECT_THAT(journal, ElementsAre("close", "destroyed"));
}

TEST_F(PluginEntry, EntriesForwardToTheEffectsOperations) {
  host.answer = 1;
  EffectRecord* record = createEffectRecord(host.callback(), &makeEntryEffect);
  ASSERT_NE(record, nullptr);
  float input = 0.5f;
  float output = 0.25f;
  float* inputs[] = {&input};
  float* outputs[] = {&output};

  record->process(record, inputs, outputs, 64);
  EXPECT_EQ(output, 0.75f);
  record->processReplacing(record, inputs, outputs, 32);
  EXPECT_EQ(output, 0.5f);
  record->setParameter(record, 2, 0.125f);
  EXPECT_EQ(record->getParameter(record, 3), 0.75f);
  EXPECT_EQ(record->dispatcher(record, 49, 0, 0, nullptr, 0.0f), 77);
  EXPECT_THAT(journal, ElementsAre("process 64", "processReplacing 32", "setParameter 2 0.125"));
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
}

TEST(RecordEntries, ANullRecordOrObjectAnswersZeroAndTouchesNothing) {
  float sample = 0.0f;
  float* channels[] = {&sample};
  PlainEffect effect;
  EffectRecord orphan = *effect.getRecord();
  orphan.object = nullptr;
  for (EffectRecord* record : {static_cast<EffectRecord*>(nullptr), &orphan}) {
    SCOPED_TRACE(record == nullptr ? "null record" : "null object");
    EXPECT_EQ(EffectBase::dispatcherEntry(record, 22, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(EffectBase::dispatcherEntry(record, 1, 0, 0, nullptr, 0.0f), 0);
    EffectBase::processEntry(record, channels, channels, 1);
    EffectBase::processReplacingEntry(record, channels, channels, 1);
    EffectBase::setParameterEntry(record, 0, 1.0f);
    EXPECT_EQ(EffectBase::getParameterEntry(record, 0), 0.0f);
  }
}

TEST(RecordEntries, ExceptionsStopAtTheEntry) {
  bool destroyed = false;
  auto owned = std::make_unique<ThrowingEffect>(&destroyed);
  // Ownership goes to the record as `main` would hand it over; close takes it back.
  EffectRecord* record = owned.release()->getRecord();
  float sample = 0.0f;
  float* channels[] = {&sample};

  EXPECT_EQ(record->dispatcher(record, 22, 0, 0, nullptr, 0.0f), 0);
  record->process(record, channels, channels, 1);
  record->processReplacing(record, channels, channels, 1);
  record->setParameter(record, 0, 1.0f);
  EXPECT_EQ(record->getParameter(record, 0), 0.0f);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
  EXPECT_TRUE(destroyed);
}

#ifdef VINTROVE_DLL_PATH
// The built library as a host sees it: one export named `main`.
TEST(PluginLibrary, ExportsMainWhichHandsOutAWorkingRecord) {
  HMODULE library = LoadLibraryA(VINTROVE_DLL_PATH);
  ASSERT_NE(library, nullptr) << VINTROVE_DLL_PATH;
  FARPROC symbol = GetProcAddress(library, "main");
  ASSERT_NE(symbol, nullptr);
  EXPECT_EQ(GetProcAddress(library, "vintroveMain"), nullptr);
  EXPECT_EQ(GetProcAddress(library, "_vintroveMain"), nullptr);

  RecordingHost host;
  host.answer = 2400;
  auto entry = reinterpret_cast<EffectRecord*(VINTROVE_HOST_CALL*)(HostCallback)>(
      reinterpret_cast<void*>(symbol));
  EffectRecord* record = entry(host.callback());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->magic, kEffectMagic);
  EXPECT_EQ(static_cast<EffectBase*>(record->object)->getRecord(), record);
  EXPECT_EQ(record->dispatcher(record, 22, 0, 0, nullptr, 0.0f), 0x4e764566);
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(host.calls.size(), 1u);
  FreeLibrary(library);
}
#endif

}  // namespace
}  // namespace vintrove::test
