// Every request the effect can send its host: what goes out, how the answer comes back, and
// what each wrapper answers when the effect has no HostCallback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recording_effect.h"
#include "recording_host.h"

namespace vintrove::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

enum class Conversion {
  kAsIs,          // the host's answer unchanged
  kBool,          // true when the host's answer is not 0
  kVersion,       // as is, but 1 for 0
  kZeroIsTrue,    // true when the host answers 0
};

struct ServiceCase {
  const char* name;
  std::function<HostInt(ExtendedEffect&)> call;
  std::int32_t opcode;
  std::int32_t index;
  HostInt value;
  void* ptr;
  float opt;
  Conversion conversion;
  HostInt withoutHost;
};

HostInt fromPointer(const void* pointer) { return reinterpret_cast<HostInt>(pointer); }

HostInt converted(Conversion conversion, HostInt hostAnswer) {
  switch (conversion) {
    case Conversion::kAsIs:
      return hostAnswer;
    case Conversion::kBool:
      return hostAnswer != 0 ? 1 : 0;
    case Conversion::kVersion:
      return hostAnswer != 0 ? hostAnswer : 1;
    case Conversion::kZeroIsTrue:
      return hostAnswer == 0 ? 1 : 0;
  }
  return -12345;
}

std::vector<ServiceCase> serviceCases() {
  char* const text = testText;
  void* const other = testOther;
  using E = ExtendedEffect;
  using C = Conversion;
  return {
      {"setParameterAutomated", [](E& e) { return e.setParameterAutomated(3, 0.75f); }, 0, 3, 0,
       nullptr, 0.75f, C::kAsIs, 0},
      {"getHostVersion", [](E& e) { return e.getHostVersion(); }, 1, 0, 0, nullptr, 0.0f,
       C::kVersion, 1},
      {"getCurrentUniqueId", [](E& e) { return e.getCurrentUniqueId(); }, 2, 0, 0, nullptr, 0.0f,
       C::kAsIs, 0},
      {"hostIdle", [](E& e) { return e.hostIdle(); }, 3, 0, 0, nullptr, 0.0f, C::kAsIs, 0},
      {"isInputConnected", [](E& e) { return HostInt{e.isInputConnected(5)}; }, 4, 5, 0, nullptr,
       0.0f, C::kZeroIsTrue, 1},
      {"isOutputConnected", [](E& e) { return HostInt{e.isOutputConnected(6)}; }, 4, 6, 1,
       nullptr, 0.0f, C::kZeroIsTrue, 1},
      {"wantEvents", [](E& e) { return e.wantEvents(1); }, 6, 0, 1, nullptr, 0.0f, C::kAsIs, 0},
      {"getTimeInfo", [](E& e) { return fromPointer(e.getTimeInfo(0xf00)); }, 7, 0, 0xf00,
       nullptr, 0.0f, C::kAsIs, 0},
      {"tempoAt", [](E& e) { return e.tempoAt(1000); }, 10, 0, 1000, nullptr, 0.0f, C::kAsIs, 0},
      {"getNumAutomatableParameters", [](E& e) { return e.getNumAutomatableParameters(); }, 11, 0,
       0, nullptr, 0.0f, C::kAsIs, 0},
      {"getParameterQuantization", [](E& e) { return e.getParameterQuantization(); }, 12, 0, 0,
       nullptr, 0.0f, C::kAsIs, 0},
      {"ioChanged", [](E& e) { return HostInt{e.ioChanged()}; }, 13, 0, 0, nullptr, 0.0f,
       C::kBool, 0},
      {"needIdle", [](E& e) { return HostInt{e.needIdle()}; }, 14, 0, 0, nullptr, 0.0f, C::kBool,
       0},
      {"sizeWindow", [](E& e) { return HostInt{e.sizeWindow(256, 84)}; }, 15, 256, 84, nullptr,
       0.0f, C::kBool, 0},
      {"getInputLatency", [](E& e) { return e.getInputLatency(); }, 18, 0, 0, nullptr, 0.0f,
       C::kAsIs, 0},
      {"getOutputLatency", [](E& e) { return e.getOutputLatency(); }, 19, 0, 0, nullptr, 0.0f,
       C::kAsIs, 0},
      {"getPreviousPlug", [](E& e) { return fromPointer(e.getPreviousPlug(3)); }, 20, 0, 0,
       nullptr, 0.0f, C::kAsIs, 0},
      {"getNextPlug", [](E& e) { return fromPointer(e.getNextPlug(4)); }, 21, 0, 0, nullptr, 0.0f,
       C::kAsIs, 0},
      {"willReplaceOrAccumulate", [](E& e) { return e.willReplaceOrAccumulate(); }, 22, 0, 0,
       nullptr, 0.0f, C::kAsIs, 0},
      {"getCurrentProcessLevel", [](E& e) { return e.getCurrentProcessLevel(); }, 23, 0, 0,
       nullptr, 0.0f, C::kAsIs, 0},
      {"getAutomationState", [](E& e) { return e.getAutomationState(); }, 24, 0, 0, nullptr, 0.0f,
       C::kAsIs, 0},
      {"offlineStart", [=](E& e) { return HostInt{e.offlineStart(text, 3, 2)}; }, 25, 2, 3, text,
       0.0f, C::kBool, 0},
      {"offlineRead source", [=](E& e) { return HostInt{e.offlineRead(text, 4, true)}; }, 26, 1,
       4, text, 0.0f, C::kBool, 0},
      {"offlineRead destination", [=](E& e) { return HostInt{e.offlineRead(text, 4, false)}; },
       26, 0, 4, text, 0.0f, C::kBool, 0},
      {"offlineWrite", [=](E& e) { return HostInt{e.offlineWrite(text, 5)}; }, 27, 0, 5, text,
       0.0f, C::kBool, 0},
      {"offlineGetCurrentPass", [](E& e) { return HostInt{e.offlineGetCurrentPass()}; }, 28, 0, 0,
       nullptr, 0.0f, C::kBool, 0},
      {"offlineGetCurrentMetaPass", [](E& e) { return HostInt{e.offlineGetCurrentMetaPass()}; },
       29, 0, 0, nullptr, 0.0f, C::kBool, 0},
      {"setOutputSampleRate", [](E& e) { return e.setOutputSampleRate(22050.0f); }, 30, 0, 0,
       nullptr, 22050.0f, C::kAsIs, 0},
      {"getSpeakerArrangement", [=](E& e) { return HostInt{e.getSpeakerArrangement(other, text)}; },
       31, 0, fromPointer(other), text, 0.0f, C::kBool, 0},
      {"getHostVendorString", [=](E& e) { return HostInt{e.getHostVendorString(text)}; }, 32, 0,
       0, text, 0.0f, C::kBool, 0},
      {"getHostProductString", [=](E& e) { return HostInt{e.getHostProductString(text)}; }, 33,
       0, 0, text, 0.0f, C::kBool, 0},
      {"getHostVendorVersion", [](E& e) { return e.getHostVendorVersion(); }, 34, 0, 0, nullptr,
       0.0f, C::kAsIs, 0},
      {"hostVendorSpecific", [=](E& e) { return e.hostVendorSpecific(7, 8, text, 9.5f); }, 35, 7,
       8, text, 9.5f, C::kAsIs, 0},
      {"canHostDo", [=](E& e) { return HostInt{e.canHostDo(text)}; }, 37, 0, 0, text, 0.0f,
       C::kBool, 0},
      {"getHostLanguage", [](E& e) { return e.getHostLanguage(); }, 38, 0, 0, nullptr, 0.0f,
       C::kAsIs, 0},
      {"openWindow", [=](E& e) { return fromPointer(e.openWindow(text)); }, 39, 0, 0, text, 0.0f,
       C::kAsIs, 0},
      {"closeWindow", [=](E& e) { return HostInt{e.closeWindow(text)}; }, 40, 0, 0, text, 0.0f,
       C::kBool, 0},
      {"getDirectory", [](E& e) { return fromPointer(e.getDirectory()); }, 41, 0, 0, nullptr,
       0.0f, C::kAsIs, 0},
      {"updateDisplay", [](E& e) { return HostInt{e.updateDisplay()}; }, 42, 0, 0, nullptr, 0.0f,
       C::kBool, 0},
      {"beginEdit", [](E& e) { return HostInt{e.beginEdit(6)}; }, 43, 6, 0, nullptr, 0.0f,
       C::kBool, 0},
      {"endEdit", [](E& e) { return HostInt{e.endEdit(6)}; }, 44, 6, 0, nullptr, 0.0f, C::kBool,
       0},
      {"openFileSelector", [=](E& e) { return HostInt{e.openFileSelector(text)}; }, 45, 0, 0,
       text, 0.0f, C::kBool, 0},
  };
}

TEST(HostServices, EachWrapperSendsOneRequestAndConvertsTheAnswer) {
  for (const ServiceCase& row : serviceCases()) {
    for (HostInt hostAnswer : {HostInt{0}, HostInt{1}, HostInt{2300}, HostInt{-5}}) {
      SCOPED_TRACE(std::string(row.name) + ", host answers " + std::to_string(hostAnswer));
      RecordingHost host;
      host.answer = hostAnswer;
      PlainEffect effect(host.callback());
      EXPECT_EQ(row.call(effect), converted(row.conversion, hostAnswer));
      ASSERT_EQ(host.calls.size(), 1u);
      const HostCall& sent = host.calls[0];
      EXPECT_EQ(sent.effect, effect.getRecord());
      EXPECT_EQ(sent.opcode, row.opcode);
      EXPECT_EQ(sent.index, row.index);
      EXPECT_EQ(sent.value, row.value);
      EXPECT_EQ(sent.ptr, row.ptr);
      EXPECT_EQ(sent.opt, row.opt);
    }
  }
}

TEST(HostServices, WithoutAHostCallbackEachWrapperAnswersItsFixedValue) {
  for (const ServiceCase& row : serviceCases()) {
    SCOPED_TRACE(row.name);
    PlainEffect effect(nullptr);
    EXPECT_EQ(row.call(effect), row.withoutHost);
  }
}

TEST(HostServices, SampleRateAndBlockSizeRequestsAnswerTheStoredValues) {
  RecordingHost host;
  host.answer = 96000;
  PlainEffect effect(host.callback());
  EXPECT_EQ(effect.updateSampleRate(), 44100.0f);
  EXPECT_EQ(effect.updateBlockSize(), 1024);
  effect.setSampleRate(48000.0f);
  effect.setBlockSize(128);
  EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
  EXPECT_EQ(effect.updateBlockSize(), 128);
  ASSERT_EQ(host.calls.size(), 4u);
  EXPECT_EQ(host.calls[0].opcode, 16);
  EXPECT_EQ(host.calls[1].opcode, 17);
  for (const HostCall& sent : host.calls) {
    EXPECT_EQ(sent.effect, effect.getRecord());
    EXPECT_EQ(sent.index, 0);
    EXPECT_EQ(sent.value, 0);
    EXPECT_EQ(sent.ptr, nullptr);
    EXPECT_EQ(sent.opt, 0.0f);
  }

  PlainEffect alone(nullptr);
  alone.setSampleRate(22050.0f);
  EXPECT_EQ(alone.updateSampleRate(), 22050.0f);
  EXPECT_EQ(alone.updateBlockSize(), 1024);
}

TEST(HostServices, OpenFileSelectorWithoutARecordSendsNothing) {
  RecordingHost host;
  host.answer = 1;
  PlainEffect effect(host.callback());
  EXPECT_FALSE(effect.openFileSelector(nullptr));
  EXPECT_THAT(host.calls, IsEmpty());
}

class AutomatedEffect : public PlainEffect {
 public:
  using PlainEffect::PlainEffect;
  void setParameter(std::int32_t index, float value) override {
    order.push_back("setParameter " + std::to_string(index) + " " + describe(value) +
                    ", host calls so far " + std::to_string(host->calls.size()));
  }
  RecordingHost* host = nullptr;
  std::vector<std::string> order;
};

TEST(HostServices, SetParameterAutomatedSetsTheParameterBeforeTellingTheHost) {
  RecordingHost host;
  host.answer = 9;
  AutomatedEffect effect(host.callback());
  effect.host = &host;
  EXPECT_EQ(effect.setParameterAutomated(2, 0.5f), 9);
  EXPECT_THAT(effect.order, ElementsAre("setParameter 2 0.5, host calls so far 0"));
  EXPECT_EQ(host.calls.size(), 1u);

  AutomatedEffect alone(nullptr);
  alone.host = &host;
  EXPECT_EQ(alone.setParameterAutomated(1, 1.0f), 0);
  EXPECT_THAT(alone.order, ElementsAre("setParameter 1 1, host calls so far 1"));
}

}  // namespace
}  // namespace vintrove::test
