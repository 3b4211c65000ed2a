// The frame window's OLE drop target: answers the drag feedback and turns a drop into the
// frame's dropItems, as one text or as a list of paths in which shortcuts (.lnk) are replaced
// by their targets. OLE owns it through its reference count once the frame registered it.
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
  void dropText(STGMEDIUM& medium);
  void dropFiles(STGMEDIUM& medium);

  std::int32_t referenceCount = 0;
  bool acceptable = false;
  Frame* frame;
};

// Replaces a path ending in ".lnk" (any case) by the target of that shortcut, in place, in a
// buffer of capacity bytes (1024 for dropped paths). Answers true when the target was written.
bool resolveShortcut(char* path, std::int32_t capacity);

}  // namespace vintrove
