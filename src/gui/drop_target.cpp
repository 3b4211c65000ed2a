#include "gui/drop_target.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "gui/frame.h"
#include "gui/view.h"

namespace vintrove {

namespace {

FORMATETC formatOf(CLIPFORMAT format) {
  return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Gives back a medium GetData filled, whoever is responsible for its storage.
class MediumOwner {
 public:
  explicit MediumOwner(const STGMEDIUM& filled) : medium(filled) {}
  MediumOwner(const MediumOwner&) = delete;
  MediumOwner& operator=(const MediumOwner&) = delete;
  ~MediumOwner() { ReleaseStgMedium(&medium); }
  STGMEDIUM& get() { return medium; }

 private:
  STGMEDIUM medium;
};

class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL memory) : handle(memory), data(GlobalLock(memory)) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (data != nullptr) {
      GlobalUnlock(handle);
    }
  }
  const char* text() const { return static_cast<const char*>(data); }
  const void* bytes() const { return data; }

 private:
  HGLOBAL handle;
  void* data;
};

bool holdsGlobalMemory(const STGMEDIUM& medium) {
  return medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr;
}

// Fetches the dragged data in one format as global memory and hands the handle to use; false
// without such data. The medium is given back after use.
template <class Use>
bool withGlobalData(IDataObject& data, CLIPFORMAT format, Use use) {
  FORMATETC wanted = formatOf(format);
  STGMEDIUM filled{};
  if (FAILED(data.GetData(&wanted, &filled))) {
    return false;
  }
  MediumOwner medium(filled);
  return holdsGlobalMemory(medium.get()) && use(medium.get().hGlobal);
}

// What is left of a drag's time for shortcuts and the walk over its names.
class DragBudget {
 public:
  DragBudget() : start(GetTickCount()) {}
  std::uint32_t remainingMs() const {
    const std::uint32_t spent = GetTickCount() - start;
    return spent < DropTarget::kDragBudgetMs ? DropTarget::kDragBudgetMs - spent : 0;
  }

 private:
  std::uint32_t start;
};

// Names between two looks at the clock during the walk.
constexpr std::uint32_t kNamesPerClockLook = 256;

// Whether the frame would take the text of the dragged data.
bool frameTakesText(Frame& frame, IDataObject& data) {
  return withGlobalData(data, CF_TEXT, [&frame](HGLOBAL memory) {
    const GlobalLockGuard lock(memory);
    const SIZE_T size = GlobalSize(memory);
    if (lock.text() == nullptr || size == 0 || size > static_cast<SIZE_T>(INT32_MAX)) {
      return false;
    }
    const char* const items[1] = {lock.text()};
    return frame.acceptsDrop(items, static_cast<std::int32_t>(size), kDropText);
  });
}

}  // namespace

DropTarget::DropTarget(Frame* owner) : frame(owner) {}

DropTarget::~DropTarget() = default;

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID id, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(id, IID_IDropTarget) || IsEqualIID(id, IID_IUnknown)) {
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef() {
  return static_cast<ULONG>(++referenceCount);
}

ULONG STDMETHODCALLTYPE DropTarget::Release() {
  const std::int32_t remaining = --referenceCount;
  if (remaining <= 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(remaining);
}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                                DWORD* effect) {
  acceptable = false;
  forgetDrag();
  if (data != nullptr && frame != nullptr) {
    try {
      // The plug-in only ever reads what is dropped: what it takes is a copy, never a move.
      acceptable = chooseFile(*data) || frameTakesText(*frame, *data);
    } catch (...) {
      acceptable = false;
      forgetDrag();
    }
  }
  return DragOver(keyState, point, effect);
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  if (effect != nullptr) {
    *effect = acceptable ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() {
  forgetDrag();
  return S_OK;
}

// OLE's point is not used: the views get the cursor position in frame coordinates. The effect
// answered is copy when a view took the drop and none otherwise.
HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  bool taken = false;
  if (data != nullptr && frame != nullptr) {
    try {
      // A file the frame takes (as the drag's entry found) goes before a text it would not.
      const bool filesFirst = filesFrom == data && fileChosen;
      FORMATETC text = formatOf(CF_TEXT);
      STGMEDIUM filled{};
      if (!filesFirst && SUCCEEDED(data->GetData(&text, &filled))) {
        MediumOwner medium(filled);
        if (holdsGlobalMemory(medium.get())) {
          taken = dropText(medium.get());
        }
      } else if (filesFrom == data ? fileChosen : chooseFile(*data)) {
        const char* const items[1] = {chosenPath};
        Point where;
        frame->getMousePosition(where);
        taken = frame->dropItems(items, 1, kDropFiles, where);
      }
    } catch (...) {
      // Nothing may unwind into the drag source's loop; the medium is already given back.
    }
  }
  if (effect != nullptr) {
    *effect = taken ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  }
  DragLeave();
  return S_OK;
}

void DropTarget::forgetDrag() {
  filesFrom = nullptr;
  fileChosen = false;
  chosenPath[0] = '\0';
}

bool DropTarget::chooseFile(IDataObject& data) {
  forgetDrag();
  filesFrom = &data;
  Frame& taker = *frame;
  fileChosen = withGlobalData(data, CF_HDROP, [this, &taker](HGLOBAL memory) {
    const GlobalLockGuard lock(memory);
    const SIZE_T size = GlobalSize(memory);
    if (lock.bytes() == nullptr || size == 0) {
      return false;
    }
    DroppedFileList list(lock.bytes(), size);
    const DragBudget budget;
    char path[kDroppedPathCapacity];
    std::uint32_t walked = 0;
    while (list.next(path)) {
      // Only a shortcut met before the chosen path costs a resolve, and only while time is left.
      if (isShortcutName(path)) {
        const std::uint32_t left = budget.remainingMs();
        if (left > 0) {
          resolveShortcut(path, static_cast<std::int32_t>(kDroppedPathCapacity), left);
        }
      }
      const char* const items[1] = {path};
      if (taker.acceptsDrop(items, 1, kDropFiles)) {
        std::memcpy(chosenPath, path, sizeof chosenPath);
        return true;
      }
      if (++walked % kNamesPerClockLook == 0 && budget.remainingMs() == 0) {
        return false;
      }
    }
    return false;
  });
  return fileChosen;
}

bool DropTarget::dropText(STGMEDIUM& medium) {
  const GlobalLockGuard lock(medium.hGlobal);
  const SIZE_T size = GlobalSize(medium.hGlobal);
  if (lock.text() == nullptr || size == 0) {
    return false;
  }
  // The whole block, which may run past the text's terminator.
  constexpr SIZE_T largest = static_cast<SIZE_T>(std::numeric_limits<std::int32_t>::max());
  const auto count = static_cast<std::int32_t>(size < largest ? size : largest);
  Point where;
  frame->getMousePosition(where);
  const char* const items[1] = {lock.text()};
  return frame->dropItems(items, count, kDropText, where);
}

}  // namespace vintrove
