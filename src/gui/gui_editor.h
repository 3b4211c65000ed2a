// The editor base with a window: ties the editor to its Frame and supplies pumpIdle, the idle
// turn (editor, one pending paint, host) that controls call while they track the mouse, at a
// limited rate. The derived editor creates the frame in open() after GuiEditor::open and
// destroys it in close(). The host may close the editor or the whole effect inside that idle
// turn: the loops that call it hold a NestedLoopGuard, and an edit a control began is ended
// when the editor closes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/geometry.h"
#include "gui/nested_loop_guard.h"
#include "gui/retained.h"
#include "host/editor_base.h"

namespace vintrove {

class ExtendedEffect;
class Frame;

// The tick source and sleep of pumpIdle; tests put a clock of their own in its place.
class IdleClock {
 public:
  virtual std::uint32_t now() = 0;
  virtual void sleep(std::uint32_t milliseconds) = 0;

 protected:
  ~IdleClock() = default;
};

class GuiEditor : public EditorBase {
 public:
  // effect may be null; the caller attaches the editor to the effect.
  explicit GuiEditor(ExtendedEffect* effect);
  ~GuiEditor() override;

  std::int32_t getEditorRect(EditorRect** out) override;
  std::int32_t open(void* parent) override;
  void close() override;
  void idle() override;
  void refresh() override;
  void requestRefresh() override;
  std::int32_t keyDown(KeyCode& key) override;
  std::int32_t keyUp(KeyCode& key) override;
  std::int32_t setKnobStyle(std::int32_t mode) override;
  bool wheelTurned(float distance) override;
  virtual void parameterChanged(std::int32_t index, float value);
  virtual void redrawAll(const Rect* area);
  virtual void pumpIdle();
  // The parameter a control's edit brackets at the host: the tag itself unless the derived
  // editor maps it; a negative answer brackets nothing.
  virtual std::int32_t parameterIndexOfTag(std::int32_t tag);
  // A message posted to the frame's window (Frame::postEditorMessage) and a timer of that
  // window (Frame::startTimer), both delivered on the GUI thread while the editor is open.
  virtual void editorMessage(std::uintptr_t what);
  virtual void timerFired(std::uintptr_t id);

  // The host's edit brackets around a control's change (Frame::begin/endParameterEdit). An
  // edit still open when the editor closes is ended then, so the host never waits for it.
  void beginControlEdit(std::int32_t tag);
  void endControlEdit(std::int32_t tag);

  void sleep(std::uint32_t milliseconds);
  std::uint32_t getMilliseconds();

  Frame* getFrame() const { return frame.get(); }
  ExtendedEffect* getExtendedEffect() const { return extendedEffect; }
  bool isInHostIdle() const { return inHostIdle; }
  std::int32_t getRefreshRequested() const { return refreshRequested; }
  void* getParentWindow() const { return parentWindow; }
  // Null restores the system clock; the idle rhythm starts again from the new clock's time.
  void setIdleClock(IdleClock* clock);
  const std::shared_ptr<EditorLifetime>& getLifetime() const { return lifetime; }

  // The mode the host set last through setKnobStyle (nothing reads it).
  static std::int32_t knobStyle();

 protected:
  // The derived editor's destructor calls this first: the editor goes with its effect, so
  // nothing more is asked of the host and the loops running inside learn it.
  void endLifetime();
  // For close(): ends the edits the controls left open (unless the effect is going).
  void endOpenEdits();

  Retained<Frame> frame;

 private:
  ExtendedEffect* extendedEffect;
  IdleClock* clock;
  std::uint32_t nextIdleTime;
  bool inHostIdle = false;
  std::shared_ptr<EditorLifetime> lifetime;
  std::vector<std::int32_t> openEdits;
};

}  // namespace vintrove
