// The editor as the dispatcher reaches it: EditorBase's defaults, and the editor opcodes with
// and without an attached editor, including the KeyCode built for the key opcodes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "mock_editor.h"
#include "recording_effect.h"

namespace vintrove::test {
namespace {

using ::testing::_;
using ::testing::AllOf;
using ::testing::DoAll;
using ::testing::Field;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::StrictMock;

TEST(EditorBaseDefaults, AnswerNotHandled) {
  ProbeEditor editor;
  KeyCode key{65, 1, 0};
  EXPECT_EQ(editor.keyDown(key), -1);
  EXPECT_EQ(editor.keyUp(key), -1);
  EXPECT_EQ(editor.setKnobStyle(2), 0);
  EXPECT_FALSE(editor.wheelTurned(1.0f));
}

TEST(EditorBaseDefaults, GetEditorRectHandsOutNull) {
  ProbeEditor editor;
  EditorRect dummy{};
  EditorRect* out = &dummy;
  EXPECT_EQ(editor.getEditorRect(&out), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(editor.getEditorRect(nullptr), 0);
}

TEST(EditorBaseDefaults, OpenKeepsTheLastParentWindow) {
  ProbeEditor editor;
  EXPECT_EQ(editor.parent(), nullptr);
  EXPECT_EQ(editor.open(testText), 0);
  EXPECT_EQ(editor.parent(), testText);
  editor.close();
  EXPECT_EQ(editor.parent(), testText);
  EXPECT_EQ(editor.open(testOther), 0);
  EXPECT_EQ(editor.parent(), testOther);
}

TEST(EditorBaseDefaults, IdleRefreshesOncePerRequest) {
  PlainEffect effect;
  ProbeEditor editor(&effect);
  EXPECT_EQ(editor.getEffect(), &effect);
  editor.idle();
  EXPECT_EQ(editor.refreshCount, 0);
  editor.requestRefresh();
  editor.requestRefresh();
  EXPECT_EQ(editor.refreshPending(), 1);
  editor.idle();
  EXPECT_EQ(editor.refreshCount, 1);
  EXPECT_EQ(editor.refreshPending(), 0);
  editor.idle();
  EXPECT_EQ(editor.refreshCount, 1);
}

class EditorOpcodes : public ::testing::Test {
 protected:
  EditorOpcodes() {
    auto owned = std::make_unique<StrictMock<MockEditor>>();
    editor = owned.get();
    effect.attachEditor(std::move(owned));
  }

  PlainEffect effect;
  StrictMock<MockEditor>* editor;
};

TEST_F(EditorOpcodes, RectangleHandsTheHostTheEditorsAddress) {
  EditorRect rect{0, 0, 84, 256};
  EditorRect* out = nullptr;
  EXPECT_CALL(*editor, getEditorRect(&out)).WillOnce(DoAll(SetArgPointee<0>(&rect), Return(1)));
  EXPECT_EQ(effect.dispatcher(13, 0, 0, &out, 0.0f), 1);
  EXPECT_EQ(out, &rect);
}

TEST_F(EditorOpcodes, OpenPassesTheParentWindowAndTheAnswer) {
  EXPECT_CALL(*editor, open(testOther)).WillOnce(Return(1));
  EXPECT_EQ(effect.dispatcher(14, 0, 0, testOther, 0.0f), 1);
  EXPECT_CALL(*editor, open(nullptr)).WillOnce(Return(0));
  EXPECT_EQ(effect.dispatcher(14, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(EditorOpcodes, CloseAndIdleAnswerZero) {
  EXPECT_CALL(*editor, close());
  EXPECT_EQ(effect.dispatcher(15, 0, 0, nullptr, 0.0f), 0);
  EXPECT_CALL(*editor, idle());
  EXPECT_EQ(effect.dispatcher(19, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(EditorOpcodes, OlderEditorRequestsReachNothing) {
  for (std::int32_t opcode : {16, 17, 18, 20, 21}) {
    EXPECT_EQ(effect.dispatcher(opcode, 0, 0, testText, 0.0f), 0);
  }
}

TEST_F(EditorOpcodes, KnobModePassesTheValueAndTheAnswer) {
  EXPECT_CALL(*editor, setKnobStyle(2)).WillOnce(Return(1));
  EXPECT_EQ(effect.dispatcher(61, 0, 2, nullptr, 0.0f), 1);
}

struct KeyCase {
  std::int32_t index;
  HostInt value;
  float opt;
  KeyCode expected;
};

TEST_F(EditorOpcodes, KeyOpcodesBuildTheKeyCodeFromIndexValueAndOpt) {
  const KeyCase cases[] = {
      {65, 0, 2.9f, {65, 0, 2}},
      {-1, 0x1234, 0.0f, {-1, 0x34, 0}},
      {0, 0x100, 1.0f, {0, 0, 1}},
      {97, -1, 7.99f, {97, 0xff, 7}},
      {0, 13, 258.0f, {0, 13, 2}},        // the low byte of the truncated float
      {0, 13, -1.5f, {0, 13, 0xff}},      // -1 truncated
      {0, 13, -0.9f, {0, 13, 0}},         // truncated toward zero
      {0, 13, std::nanf(""), {0, 13, 0}},  // defined for any float
      {0, 13, 1e30f, {0, 13, 0xff}},
      {0, 13, -std::numeric_limits<float>::infinity(), {0, 13, 0}},
  };
  for (std::int32_t opcode : {59, 60}) {
    for (const KeyCase& row : cases) {
      SCOPED_TRACE("opcode " + std::to_string(opcode) + ", opt " + std::to_string(row.opt));
      const auto matches = AllOf(Field(&KeyCode::character, row.expected.character),
                                 Field(&KeyCode::virtualKey, row.expected.virtualKey),
                                 Field(&KeyCode::modifiers, row.expected.modifiers));
      if (opcode == 59) {
        EXPECT_CALL(*editor, keyDown(matches)).WillOnce(Return(1));
      } else {
        EXPECT_CALL(*editor, keyUp(matches)).WillOnce(Return(1));
      }
      EXPECT_EQ(effect.dispatcher(opcode, row.index, row.value, nullptr, row.opt), 1);
      ::testing::Mock::VerifyAndClearExpectations(editor);
    }
  }
}

TEST_F(EditorOpcodes, KeyOpcodesAnswerWhatTheEditorAnswers) {
  EXPECT_CALL(*editor, keyDown(_)).WillOnce(Return(-1)).WillOnce(Return(0));
  EXPECT_EQ(effect.dispatcher(59, 65, 0, nullptr, 0.0f), -1);
  EXPECT_EQ(effect.dispatcher(59, 65, 0, nullptr, 0.0f), 0);
  EXPECT_CALL(*editor, keyUp(_)).WillOnce(Return(-1));
  EXPECT_EQ(effect.dispatcher(60, 65, 0, nullptr, 0.0f), -1);
}

TEST(EditorOpcodesWithBaseEditor, AnswerTheBaseDefaults) {
  PlainEffect effect;
  effect.attachEditor(std::make_unique<ProbeEditor>(&effect));
  EditorRect dummy{};
  EditorRect* out = &dummy;
  EXPECT_EQ(effect.dispatcher(13, 0, 0, &out, 0.0f), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(effect.dispatcher(14, 0, 0, testOther, 0.0f), 0);
  EXPECT_EQ(effect.dispatcher(59, 65, 0, nullptr, 0.0f), -1);
  EXPECT_EQ(effect.dispatcher(60, 65, 0, nullptr, 0.0f), -1);
  EXPECT_EQ(effect.dispatcher(61, 0, 1, nullptr, 0.0f), 0);
}

TEST(EditorOpcodesWithBaseEditor, IdleOpcodeRunsARequestedRefresh) {
  PlainEffect effect;
  auto owned = std::make_unique<ProbeEditor>(&effect);
  ProbeEditor* editor = owned.get();
  effect.attachEditor(std::move(owned));
  editor->requestRefresh();
  effect.dispatcher(19, 0, 0, nullptr, 0.0f);
  effect.dispatcher(19, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(editor->refreshCount, 1);
}

}  // namespace
}  // namespace vintrove::test
