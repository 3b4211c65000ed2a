// The top-level view of an open editor: owns the native child window inside the host's window,
// the ordered children (drawn first to last, asked for events last to first), the backdrop,
// the focus view and the link back to its editor. It turns window messages into view calls and
// redraws, on the editor's idle, exactly the children that need it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "gui/ole_session.h"
#include "gui/view.h"

namespace vintrove {

class Bitmap;
class DropTarget;
class GuiEditor;

// Cursor shapes of setCursorShape.
enum CursorShape : std::int32_t {
  kCursorSaved = 0,
  kCursorWait = 1,
  kCursorSizeWestEast = 2,
  kCursorSizeNorthSouth = 3,
  kCursorMove = 4,
  kCursorSizeNorthEastSouthWest = 5,
  kCursorSizeNorthWestSouthEast = 6,
};

class Frame : public View {
 public:
  // Posted to the frame's window by postEditorMessage; wParam is the editor's own code.
  static constexpr UINT kEditorMessage = WM_APP + 0x5654;

  // Builds the window at once when parentWindow is not null.
  Frame(const Rect& bounds, HWND parentWindow, GuiEditor* editor);

  void draw(DrawContext& context) override;
  void drawArea(DrawContext& context, const Rect& area) override;
  void mouseDown(DrawContext& context, Point where) override;
  void redrawIfNeeded(DrawContext& context) override;
  std::int32_t keyDown(KeyCode& key) override;
  std::int32_t keyUp(KeyCode& key) override;
  bool dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                 Point where) override;
  // Whether a drop of these items would be taken, asked while they are dragged over the
  // window. No view of the base frame takes one.
  virtual bool acceptsDrop(const char* const* items, std::int32_t count, std::int32_t kind);
  bool wheelTurned(DrawContext* context, Point where, float distance) override;
  GuiEditor* getOwnerEditor() const override;

  // Takes over the creator's reference of view.
  virtual bool addChild(View* view);
  virtual bool removeChild(View* view, bool release = true);
  virtual bool removeAllChildren(bool release = true);
  virtual bool hasChild(const View* view) const;
  virtual std::int32_t getChildCount() const;
  virtual View* getChildAt(std::int32_t index) const;

  void setBackdrop(Bitmap* bitmap);
  Bitmap* getBackdrop() const { return backdrop; }
  void setFocus(View* view);
  View* getFocus() const { return focus; }
  void beginParameterEdit(std::int32_t tag);
  void endParameterEdit(std::int32_t tag);
  std::uint32_t getMilliseconds() const;
  void pumpIdle();
  bool getMousePosition(Point& where) const;
  View* getChildUnderMouse() const;
  void redrawNow(View* view);
  bool hasPendingRedraw() const;
  void refreshDirty();
  void setCursorShape(std::int32_t kind);
  bool enableDropTarget(bool flag);
  bool buildWindow(HWND parent);

  // The editor is closing while something still holds the frame (a message being handled):
  // from now on nothing reaches the editor, its effect or the views' listeners.
  void forgetEditor();
  bool isEditorForgotten() const { return editorForgotten; }
  // From any thread: the editor's editorMessage(what) runs on the window's thread.
  static bool postEditorMessage(HWND window, std::uintptr_t what);
  // GUI thread: a timer of the frame's window that calls the editor's timerFired(id).
  bool startTimer(std::uintptr_t id, std::uint32_t milliseconds);
  void stopTimer(std::uintptr_t id);

  HWND getWindow() const { return window; }
  HWND getParentWindow() const { return parentWindow; }
  bool isWindowAlive() const { return windowAlive; }
  bool isFirstPaintPending() const { return firstPaintPending; }
  bool isDropTargetRegistered() const { return dropTargetRegistered; }
  // The registered drop target (null while none is), for tests to drive as OLE does.
  DropTarget* getDropTarget() const { return dropTarget; }
  std::int32_t getChildCapacity() const { return static_cast<std::int32_t>(children.capacity()); }

  // The window class every frame of this module shares: "Plugin" and the module handle's
  // value in lowercase hexadecimal, at least 8 digits.
  static const char* windowClassName();

 protected:
  ~Frame() override;

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam);
  LRESULT handleMessage(HWND target, UINT message, WPARAM wParam, LPARAM lParam);
  static bool registerWindowClass();
  static void unregisterWindowClass();
  void loadImageLibrary();
  void detachFromWindow();
  void destroyWindow();

  GuiEditor* editor;
  HWND parentWindow;
  Bitmap* backdrop = nullptr;
  std::vector<View*> children;
  View* focus = nullptr;
  bool firstPaintPending = true;
  bool windowAlive = true;
  bool dropTargetRegistered = false;
  DropTarget* dropTarget = nullptr;
  bool editorForgotten = false;
  HWND window = nullptr;
  HMODULE imageLibrary = nullptr;
  HCURSOR savedCursor = nullptr;
  bool cursorSaved = false;
  bool classRegistered = false;
  OleSession ole;
};

}  // namespace vintrove
