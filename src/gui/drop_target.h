// The frame window's OLE drop target: answers the drag feedback (copy for what the frame would
// take, none otherwise: the plug-in never moves anything) and turns a drop into the frame's
// dropItems, as one text or as a list of UTF-8 paths in which shortcuts (.lnk) are replaced by
// their targets. OLE owns it through its reference count once the frame registered it.
#pragma once

#include <ole2.h>

#include <cstdint>

namespace vintrove {

class Frame;

class DropTarget : public IDropTarget {
 public:
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

 private:
  virtual ~DropTarget();
  bool dropText(STGMEDIUM& medium);
  bool dropFiles(STGMEDIUM& medium);

  std::int32_t referenceCount = 0;
  bool acceptable = false;
  bool filesAcceptable = false;
  Frame* frame;
};

// Replaces a UTF-8 path ending in ".lnk" (any case) by the long path of that shortcut's target,
// in place, in a buffer of capacity bytes (1024 for dropped paths). Answers true when the
// target was written.
bool resolveShortcut(char* path, std::int32_t capacity);

}  // namespace vintrove
