// The frame window's OLE drop target: answers the drag feedback (copy for what the frame would
// take, none otherwise: the plug-in never moves anything) and turns a drop into the frame's
// dropItems: as one text, or as the one path of a file list that the frame takes (UTF-8, a
// shortcut (.lnk) replaced by its target). The file list is read once per drag, when the drag
// enters (or at a drop that came without one), in one pass that stops at the first path the
// frame takes; shortcuts on the way are resolved within one time budget for the whole drag.
// OLE owns the target through its reference count once the frame registered it; the frame
// detaches itself when it revokes the target, so a late call reaches nothing.
#pragma once

#include <ole2.h>

#include <cstdint>

#include "gui/dropped_file_list.h"

namespace vintrove {

class Frame;

class DropTarget : public IDropTarget {
 public:
  // The time one drag may spend resolving shortcuts and walking its file list.
  static constexpr std::uint32_t kDragBudgetMs = 500;

  explicit DropTarget(Frame* frame);
  DropTarget(const DropTarget&) = delete;
  DropTarget& operator=(const DropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                 DWORD* effect) override;

  bool isAcceptable() const { return acceptable; }
  // The frame revoked the target or is going: nothing reaches it from here on, not even a
  // drop already under way in another program.
  void forgetFrame() { frame = nullptr; }

 private:
  virtual ~DropTarget();
  bool dropText(STGMEDIUM& medium);
  // Reads the dragged file list and keeps the first path the frame takes; false when none.
  bool chooseFile(IDataObject& data);
  void forgetDrag();

  std::int32_t referenceCount = 0;
  bool acceptable = false;
  Frame* frame;
  // The current drag's file, chosen once: filesFrom is the data it came from (compared only).
  IDataObject* filesFrom = nullptr;
  bool fileChosen = false;
  char chosenPath[kDroppedPathCapacity] = "";
};

// Replaces a UTF-8 path ending in ".lnk" (any case) by the long path of that shortcut's target,
// in place, in a buffer of capacity bytes (1024 for dropped paths), giving the search for a
// moved target at most timeoutMs. Answers true when the target was written.
bool resolveShortcut(char* path, std::int32_t capacity, std::uint32_t timeoutMs = 500);

// Whether a UTF-8 path names a shortcut: its text from the last '.' on is ".lnk" in any case.
bool isShortcutName(const char* path);

}  // namespace vintrove
