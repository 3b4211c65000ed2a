// The two opcode tables: which operation each opcode calls with which arguments, how the
// answer is converted, the defaults an effect answers with, and requests that must be refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "recording_effect.h"

namespace vintrove::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// How the dispatcher's answer follows from the operation's answer.
enum class Answer {
  kFixed,     // a constant, whatever the operation answers
  kAsIs,      // the operation's answer
  kBool,      // 1 for true, 0 for false
  kInverted,  // 0 for true, 1 for false
  kVu,        // the float times 32767, truncated
};

struct DispatchCase {
  std::int32_t opcode;
  std::int32_t index;
  HostInt value;
  void* ptr;
  float opt;
  std::vector<std::string> calls;
  Answer answer;
  HostInt fixed = 0;
};

HostInt pointerValue(const void* pointer) { return reinterpret_cast<HostInt>(pointer); }

HostInt expectedAnswer(const DispatchCase& row, HostInt operationAnswer) {
  switch (row.answer) {
    case Answer::kFixed:
      return row.fixed;
    case Answer::kAsIs:
      return operationAnswer;
    case Answer::kBool:
      return operationAnswer != 0 ? 1 : 0;
    case Answer::kInverted:
      return operationAnswer != 0 ? 0 : 1;
    case Answer::kVu:
      return operationAnswer * 32767;
  }
  return -12345;
}

void checkRows(const std::vector<DispatchCase>& rows) {
  for (const DispatchCase& row : rows) {
    for (HostInt operationAnswer : {HostInt{0}, HostInt{1}, HostInt{37}, HostInt{-7}}) {
      SCOPED_TRACE("opcode " + std::to_string(row.opcode) + ", operation answers " +
                   std::to_string(operationAnswer));
      RecordingEffect effect;
      effect.answer = operationAnswer;
      EXPECT_EQ(effect.dispatcher(row.opcode, row.index, row.value, row.ptr, row.opt),
                expectedAnswer(row, operationAnswer));
      EXPECT_EQ(effect.calls, row.calls);
    }
  }
}

TEST(DispatcherTableA, EachOpcodeCallsItsOperation) {
  char* const text = testText;
  checkRows({
      {0, 0, 0, nullptr, 0.0f, {"open()"}, Answer::kFixed},
      {1, 3, 4, nullptr, 0.5f, {"close()"}, Answer::kFixed},
      {2, 0, 3, nullptr, 0.0f, {"setProgram(3)"}, Answer::kFixed},
      {2, 0, 4, nullptr, 0.0f, {}, Answer::kFixed},  // the effect has 4 programs
      {2, 0, 1000, nullptr, 0.0f, {}, Answer::kFixed},
      {2, 0, -3, nullptr, 0.0f, {}, Answer::kFixed},  // below 0: no program either
      {3, 0, 0, nullptr, 0.0f, {"getProgram()"}, Answer::kAsIs},
      {4, 0, 0, text, 0.0f, {"setProgramName(ptr)"}, Answer::kFixed},
      {5, 0, 0, text, 0.0f, {"getProgramName(ptr)"}, Answer::kFixed},
      {6, 7, 0, text, 0.0f, {"getParameterLabel(7, ptr)"}, Answer::kFixed},
      {7, 8, 0, text, 0.0f, {"getParameterDisplay(8, ptr)"}, Answer::kFixed},
      {8, 9, 0, text, 0.0f, {"getParameterName(9, ptr)"}, Answer::kFixed},
      {9, 0, 0, nullptr, 0.0f, {"getVu()"}, Answer::kVu},
      {10, 0, 0, nullptr, 48000.0f, {"setSampleRate(48000)"}, Answer::kFixed},
      {11, 0, 256, nullptr, 0.0f, {"setBlockSize(256)"}, Answer::kFixed},
      {12, 0, 0, nullptr, 1.0f, {"suspend()"}, Answer::kFixed},
      {12, 0, 1, nullptr, 0.0f, {"resume()"}, Answer::kFixed},
      {12, 0, -1, nullptr, 0.0f, {"resume()"}, Answer::kFixed},
      {12, 0, 2, nullptr, 0.0f, {"resume()"}, Answer::kFixed},
      {16, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {17, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {18, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {20, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {21, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {22, 0, 0, nullptr, 0.0f, {}, Answer::kFixed, 0x4e764566},
      {22, -5, 99, text, -2.5f, {}, Answer::kFixed, 0x4e764566},
      {23, 0, 0, text, 0.0f, {"getChunk(ptr, false)"}, Answer::kAsIs},
      {23, 2, 0, text, 0.0f, {"getChunk(ptr, true)"}, Answer::kAsIs},
      {24, 1, 100, text, 0.0f, {"setChunk(ptr, 100, true)"}, Answer::kAsIs},
      {24, 0, 7, text, 0.0f, {"setChunk(ptr, 7, false)"}, Answer::kAsIs},
      // Editor opcodes without an editor.
      {13, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {14, 0, 0, text, 0.0f, {}, Answer::kFixed},
      {15, 0, 0, nullptr, 0.0f, {}, Answer::kFixed},
      {19, 0, 0, nullptr, 0.0f, {}, Answer::kFixed},
  });
}

TEST(DispatcherTableB, EachOpcodeCallsItsOperation) {
  char* const text = testText;
  const HostInt other = pointerValue(testOther);
  checkRows({
      {25, 0, 0, text, 0.0f, {"processEvents(ptr)"}, Answer::kAsIs},
      {26, 2, 0, nullptr, 0.0f, {"canParameterBeAutomated(2)"}, Answer::kBool},
      {27, 1, 0, text, 0.0f, {"stringToParameter(1, ptr)"}, Answer::kBool},
      {28, 0, 0, nullptr, 0.0f, {"getNumCategories()"}, Answer::kAsIs},
      {29, 2, 5, text, 0.0f, {"getProgramNameIndexed(5, 2, ptr)"}, Answer::kBool},
      {30, 3, 0, nullptr, 0.0f, {"copyProgram(3)"}, Answer::kBool},
      {31, 1, 1, nullptr, 0.0f, {"inputConnected(1, true)"}, Answer::kFixed, 1},
      {31, 4, 0, nullptr, 0.0f, {"inputConnected(4, false)"}, Answer::kFixed, 1},
      {32, 0, -1, nullptr, 0.0f, {"outputConnected(0, true)"}, Answer::kFixed, 1},
      {32, 1, 0, nullptr, 0.0f, {"outputConnected(1, false)"}, Answer::kFixed, 1},
      {33, 1, 0, text, 0.0f, {"getInputProperties(1, ptr)"}, Answer::kBool},
      {34, 1, 0, text, 0.0f, {"getOutputProperties(1, ptr)"}, Answer::kBool},
      {35, 0, 0, nullptr, 0.0f, {"getPlugCategory()"}, Answer::kAsIs},
      {36, 0, 0, nullptr, 0.0f, {"reportCurrentPosition()"}, Answer::kAsIs},
      {37, 0, 0, nullptr, 0.0f, {"reportDestinationBuffer()"}, Answer::kAsIs},
      {38, 0, 4, text, 0.0f, {"offlineNotify(ptr, 4, false)"}, Answer::kBool},
      {38, 1, 4, text, 0.0f, {"offlineNotify(ptr, 4, true)"}, Answer::kBool},
      {39, 0, 3, text, 0.0f, {"offlinePrepare(ptr, 3)"}, Answer::kBool},
      {40, 0, 2, text, 0.0f, {"offlineRun(ptr, 2)"}, Answer::kBool},
      {41, 0, 0, text, 0.0f, {"processVariableIo(ptr)"}, Answer::kBool},
      {42, 0, other, text, 0.0f, {"setSpeakerArrangement(other, ptr)"}, Answer::kBool},
      {43, 0, 512, nullptr, 96000.0f, {"setBlockSizeAndSampleRate(512, 96000)"}, Answer::kFixed,
       1},
      {44, 0, 1, nullptr, 0.0f, {"setBypass(true)"}, Answer::kBool},
      {44, 0, 0, nullptr, 0.0f, {"setBypass(false)"}, Answer::kBool},
      {45, 0, 0, text, 0.0f, {"getEffectName(ptr)"}, Answer::kBool},
      {46, 0, 0, text, 0.0f, {"getErrorText(ptr)"}, Answer::kBool},
      {47, 0, 0, text, 0.0f, {"getVendorString(ptr)"}, Answer::kBool},
      {48, 0, 0, text, 0.0f, {"getProductString(ptr)"}, Answer::kBool},
      {49, 0, 0, nullptr, 0.0f, {"getVendorVersion()"}, Answer::kAsIs},
      {50, 1, 2, text, 3.5f, {"vendorSpecific(1, 2, ptr, 3.5)"}, Answer::kAsIs},
      {50, -1, 0, nullptr, 0.0f, {"vendorSpecific(-1, 0, null, 0)"}, Answer::kAsIs},
      {51, 0, 0, text, 0.0f, {"canDo(ptr)"}, Answer::kAsIs},
      {52, 0, 0, nullptr, 0.0f, {"getTailSize()"}, Answer::kAsIs},
      {53, 0, 0, nullptr, 0.0f, {"onIdle()"}, Answer::kAsIs},
      {54, 0, 0, nullptr, 0.0f, {"getIcon()"}, Answer::kAsIs},
      {55, 10, 20, nullptr, 0.0f, {"setViewPosition(10, 20)"}, Answer::kBool},
      {56, 3, 0, text, 0.0f, {"getParameterProperties(3, ptr)"}, Answer::kBool},
      {57, 0, 0, nullptr, 0.0f, {"keysRequired()"}, Answer::kInverted},
      {58, 0, 0, nullptr, 0.0f, {"getInterfaceVersion()"}, Answer::kAsIs},
      {62, 9, 0, text, 0.0f, {"getMidiProgramName(9, ptr)"}, Answer::kAsIs},
      {63, 9, 0, text, 0.0f, {"getCurrentMidiProgram(9, ptr)"}, Answer::kAsIs},
      {64, 9, 0, text, 0.0f, {"getMidiProgramCategory(9, ptr)"}, Answer::kAsIs},
      {65, 9, 0, nullptr, 0.0f, {"hasMidiProgramsChanged(9)"}, Answer::kBool},
      {66, 9, 0, text, 0.0f, {"getMidiKeyName(9, ptr)"}, Answer::kBool},
      {67, 0, 0, nullptr, 0.0f, {"beginSetProgram()"}, Answer::kBool},
      {68, 0, 0, nullptr, 0.0f, {"endSetProgram()"}, Answer::kBool},
      // Editor opcodes without an editor.
      {59, 65, 1, nullptr, 1.0f, {}, Answer::kFixed},
      {60, 65, 1, nullptr, 1.0f, {}, Answer::kFixed},
      {61, 0, 1, nullptr, 0.0f, {}, Answer::kFixed},
  });
}

TEST(Dispatcher, OpcodesOutsideBothTablesAnswerZeroAndCallNothing) {
  for (std::int32_t opcode : {69, 70, 100, 1000, -1, -25, std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max()}) {
    SCOPED_TRACE(opcode);
    RecordingEffect effect;
    effect.answer = 1;
    EXPECT_EQ(effect.dispatcher(opcode, 1, 1, testText, 1.0f), 0);
    EXPECT_THAT(effect.calls, IsEmpty());
  }
}

TEST(Dispatcher, TheBaseTableAloneAnswersZeroForTheExtendedOpcodes) {
  BaseOnlyEffect effect;
  for (std::int32_t opcode = 25; opcode <= 68; ++opcode) {
    SCOPED_TRACE(opcode);
    EXPECT_EQ(effect.dispatcher(opcode, 1, 1, testText, 1.0f), 0);
  }
  EXPECT_EQ(effect.dispatcher(22, 0, 0, nullptr, 0.0f), 0x4e764566);
}

TEST(Dispatcher, NullPointersWhereTheEffectWouldReadOrWriteAreRefused) {
  const std::int32_t guarded[] = {4,  5,  6,  7,  8,  13, 23, 24, 27, 29, 33, 34, 38,
                                  39, 40, 41, 42, 45, 46, 47, 48, 51, 56, 62, 64, 66};
  for (std::int32_t opcode : guarded) {
    SCOPED_TRACE(opcode);
    RecordingEffect effect;
    effect.answer = 1;
    EXPECT_EQ(effect.dispatcher(opcode, 1, 1, nullptr, 1.0f), 0);
    EXPECT_THAT(effect.calls, IsEmpty());
  }
}

// Events (25) and the current MIDI program (63) answer as the opcode table says even with a
// null pointer: the operations themselves never read through it.
TEST(Dispatcher, EventsAndCurrentProgramAnswerTheirTableValuesWithANullPointer) {
  PlainEffect effect;
  EXPECT_EQ(effect.dispatcher(63, 0, 0, nullptr, 0.0f), -1);
  EXPECT_EQ(effect.dispatcher(25, 0, 0, nullptr, 0.0f), 0);
  RecordingEffect recording;
  recording.answer = 1;
  EXPECT_EQ(recording.dispatcher(25, 0, 0, nullptr, 0.0f), 1);
  EXPECT_THAT(recording.calls, ElementsAre("processEvents(null)"));
}

TEST(Dispatcher, TheDefaultsAnswerAsAnEffectWithoutOverridesShould) {
  const std::map<std::int32_t, HostInt> nonZero{
      {22, 0x4e764566}, {26, 1}, {28, 1}, {31, 1}, {32, 1}, {43, 1}, {57, 1}, {58, 2200},
      {63, -1},
  };
  for (std::int32_t opcode = -3; opcode <= 130; ++opcode) {
    SCOPED_TRACE(opcode);
    PlainEffect effect;
    char text[64] = "untouched";
    const auto found = nonZero.find(opcode);
    const HostInt expected = found == nonZero.end() ? 0 : found->second;
    EXPECT_EQ(effect.dispatcher(opcode, 0, 0, text, 0.0f), expected);
  }
}

TEST(Dispatcher, PlugCategoryIsTwoForAnInstrument) {
  PlainEffect effect;
  EXPECT_EQ(effect.dispatcher(35, 0, 0, nullptr, 0.0f), 0);
  effect.isSynth(true);
  EXPECT_EQ(effect.dispatcher(35, 0, 0, nullptr, 0.0f), 2);
  effect.canMono(true);
  effect.isSynth(false);
  EXPECT_EQ(effect.dispatcher(35, 0, 0, nullptr, 0.0f), 0);
}

TEST(Dispatcher, SetProgramStoresOnlyTheNumbersOfPrograms) {
  PlainEffect effect;  // one program
  effect.dispatcher(2, 0, 1, nullptr, 0.0f);
  EXPECT_EQ(effect.dispatcher(3, 0, 0, nullptr, 0.0f), 0);
  effect.dispatcher(2, 0, -3, nullptr, 0.0f);
  EXPECT_EQ(effect.storedProgram(), 0);
  EXPECT_EQ(effect.dispatcher(3, 0, 0, nullptr, 0.0f), 0);
  if constexpr (sizeof(HostInt) == 8) {
    // A 64-bit value whose low 32 bits are 0 is no program number either.
    effect.dispatcher(2, 0, static_cast<HostInt>(std::int64_t{1} << 32), nullptr, 0.0f);
    EXPECT_EQ(effect.storedProgram(), 0);
  }
  effect.dispatcher(2, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(effect.dispatcher(3, 0, 0, nullptr, 0.0f), 0);
}

TEST(Dispatcher, SampleRateAndBlockSizeKeepTheLastValuesSent) {
  PlainEffect effect;
  effect.dispatcher(10, 0, 0, nullptr, 48000.0f);
  effect.dispatcher(11, 0, 256, nullptr, 0.0f);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
  EXPECT_EQ(effect.getBlockSize(), 256);
  EXPECT_EQ(effect.dispatcher(43, 0, 64, nullptr, 96000.0f), 1);
  EXPECT_EQ(effect.storedSampleRate(), 96000.0f);
  EXPECT_EQ(effect.storedBlockSize(), 64);
}

TEST(Dispatcher, DefaultTextOperationsWriteAnEmptyString) {
  for (std::int32_t opcode : {4, 5, 6, 7, 8}) {
    SCOPED_TRACE(opcode);
    PlainEffect effect;
    char text[16] = "previous";
    EXPECT_EQ(effect.dispatcher(opcode, 2, 0, text, 0.0f), 0);
    EXPECT_STREQ(text, "");
    EXPECT_STREQ(text + 1, "revious");
  }
}

TEST(Dispatcher, DefaultNameQueriesAnswerNoAndLeaveTheTextAlone) {
  for (std::int32_t opcode : {45, 46, 47, 48}) {
    SCOPED_TRACE(opcode);
    PlainEffect effect;
    char text[16] = "previous";
    EXPECT_EQ(effect.dispatcher(opcode, 0, 0, text, 0.0f), 0);
    EXPECT_STREQ(text, "previous");
  }
}

class VuEffect : public PlainEffect {
 public:
  float level = 0.0f;
  float getVu() override { return level; }
};

TEST(Dispatcher, VuLevelIsScaledAndTruncatedForAnyFloat) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const struct {
    float level;
    HostInt expected;
  } cases[] = {
      {0.0f, 0},
      {0.5f, 16383},
      {-0.5f, -16383},
      {1.0f, 32767},
      {0.99999f, 32766},
      {std::nanf(""), 0},
      {std::numeric_limits<float>::infinity(), kMax},
      {-std::numeric_limits<float>::infinity(), kMin},
      {1e30f, kMax},
      {-1e30f, kMin},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.level);
    VuEffect effect;
    effect.level = row.level;
    EXPECT_EQ(effect.dispatcher(9, 0, 0, nullptr, 0.0f), row.expected);
  }
}

TEST(ValueFormatting, NeverWritesMoreThanEightCharacters) {
  const float floats[] = {0.0f,
                          1.0f,
                          -1.0f,
                          0.001f,
                          1e-30f,
                          1e30f,
                          -1e30f,
                          std::nanf(""),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()};
  const std::map<std::string, std::function<void(PlainEffect&, float, char*)>> formats{
      {"decibels", [](PlainEffect& e, float v, char* t) { e.formatDecibels(v, t); }},
      {"hertz", [](PlainEffect& e, float v, char* t) { e.formatHertz(v, t); }},
      {"milliseconds", [](PlainEffect& e, float v, char* t) { e.formatMilliseconds(v, t); }},
      {"float", [](PlainEffect& e, float v, char* t) { e.formatFloat(v, t); }},
      {"integer",
       [](PlainEffect& e, float v, char* t) {
         e.formatInteger(v > 0 ? std::numeric_limits<std::int32_t>::max()
                               : std::numeric_limits<std::int32_t>::min(),
                         t);
       }},
  };
  for (const auto& [name, format] : formats) {
    for (float value : floats) {
      SCOPED_TRACE(name + " " + std::to_string(value));
      PlainEffect effect;
      char text[16];
      std::memset(text, '#', sizeof text);
      format(effect, value, text);
      EXPECT_LE(std::strlen(text), 8u);
      for (std::size_t i = 9; i < sizeof text; ++i) {
        EXPECT_EQ(text[i], '#') << i;
      }
      format(effect, value, nullptr);  // no text: nothing to write, no crash
    }
  }
}

TEST(ValueFormatting, ConvertsAtTheStoredSampleRate) {
  PlainEffect effect;
  char text[16];
  effect.formatDecibels(1.0f, text);
  EXPECT_STREQ(text, "0.00");
  effect.formatDecibels(0.1f, text);
  EXPECT_STREQ(text, "-20.00");
  effect.formatDecibels(0.0f, text);
  EXPECT_STREQ(text, "-oo");
  effect.formatHertz(441.0f, text);
  EXPECT_STREQ(text, "100.00");
  effect.formatMilliseconds(441.0f, text);
  EXPECT_STREQ(text, "10.00");
  effect.setSampleRate(48000.0f);
  effect.formatMilliseconds(480.0f, text);
  EXPECT_STREQ(text, "10.00");
  effect.formatInteger(-1234, text);
  EXPECT_STREQ(text, "-1234");
}

}  // namespace
}  // namespace vintrove::test
