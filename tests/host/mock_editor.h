// Editors for the editor opcode tests: a GoogleMock one, and a probe that keeps EditorBase's
// defaults but shows its fields and counts refreshes.
#pragma once

#include <gmock/gmock.h>

#include "host/editor_base.h"

namespace vintrove::test {

class MockEditor : public EditorBase {
 public:
  MockEditor() : EditorBase(nullptr) {}
  MOCK_METHOD(std::int32_t, getEditorRect, (EditorRect * *out), (override));
  MOCK_METHOD(std::int32_t, open, (void* parent), (override));
  MOCK_METHOD(void, close, (), (override));
  MOCK_METHOD(void, idle, (), (override));
  MOCK_METHOD(std::int32_t, keyDown, (KeyCode & key), (override));
  MOCK_METHOD(std::int32_t, keyUp, (KeyCode & key), (override));
  MOCK_METHOD(std::int32_t, setKnobStyle, (std::int32_t mode), (override));
};

class ProbeEditor : public EditorBase {
 public:
  explicit ProbeEditor(EffectBase* owner = nullptr, bool* destroyed = nullptr)
      : EditorBase(owner), destroyedFlag(destroyed) {}
  ~ProbeEditor() override {
    if (destroyedFlag != nullptr) {
      *destroyedFlag = true;
    }
  }

  void refresh() override { ++refreshCount; }

  void* parent() const { return parentWindow; }
  std::int32_t refreshPending() const { return refreshRequested; }
  EditorRect* rect() { return &editorRect; }

  int refreshCount = 0;

 private:
  bool* destroyedFlag;
};

}  // namespace vintrove::test
