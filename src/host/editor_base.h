// The editor as the effect's dispatcher sees it: a small polymorphic class whose defaults answer
// "not handled". The GUI editor derives from it and adds the window.
#pragma once

#include <cstdint>

#include "host/effect_record.h"

namespace vintrove {

class EffectBase;

// The editor's size as the host reads it through opcode 13.
struct EditorRect {
  std::int16_t top;
  std::int16_t left;
  std::int16_t bottom;
  std::int16_t right;
};

class EditorBase {
 public:
  // owner may be null; it is not owned (the effect owns the editor).
  explicit EditorBase(EffectBase* owner);
  EditorBase(const EditorBase&) = delete;
  EditorBase& operator=(const EditorBase&) = delete;

  virtual ~EditorBase();
  virtual std::int32_t getEditorRect(EditorRect** out);
  virtual std::int32_t open(void* parent);
  virtual void close();
  virtual void idle();
  virtual void refresh();
  virtual void requestRefresh();
  virtual std::int32_t keyDown(KeyCode& key);
  virtual std::int32_t keyUp(KeyCode& key);
  virtual std::int32_t setKnobStyle(std::int32_t mode);
  virtual bool wheelTurned(float distance);

  EffectBase* getEffect() const { return effect; }

 protected:
  EffectBase* effect;
  void* parentWindow = nullptr;
  std::int32_t refreshRequested = 0;
  EditorRect editorRect{0, 0, 0, 0};
};

}  // namespace vintrove
