#include "host/editor_base.h"

namespace vintrove {

EditorBase::EditorBase(EffectBase* owner) : effect(owner) {}

EditorBase::~EditorBase() = default;

std::int32_t EditorBase::getEditorRect(EditorRect** out) {
  if (out != nullptr) {
    *out = nullptr;
  }
  return 0;
}

std::int32_t EditorBase::open(void* parent) {
  parentWindow = parent;
  return 0;
}

void EditorBase::close() {}

void EditorBase::idle() {
  if (refreshRequested != 0) {
    refreshRequested = 0;
    refresh();
  }
}

void EditorBase::refresh() {}

void EditorBase::requestRefresh() { refreshRequested = 1; }

std::int32_t EditorBase::keyDown(KeyCode&) { return -1; }

std::int32_t EditorBase::keyUp(KeyCode&) { return -1; }

std::int32_t EditorBase::setKnobStyle(std::int32_t) { return 0; }

bool EditorBase::wheelTurned(float) { return false; }

}  // namespace vintrove
