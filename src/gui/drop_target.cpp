#include "gui/drop_target.h"

#include <shellapi.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "gui/frame.h"
#include "gui/view.h"

namespace vintrove {

namespace {

constexpr UINT kPathCapacity = 1024;
constexpr UINT kFileCountQuery = 0xFFFFFFFF;

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

 private:
  HGLOBAL handle;
  void* data;
};

bool holdsGlobalMemory(const STGMEDIUM& medium) {
  return medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr;
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
  if (data != nullptr) {
    FORMATETC text = formatOf(CF_TEXT);
    FORMATETC files = formatOf(CF_HDROP);
    acceptable = data->QueryGetData(&text) == S_OK || data->QueryGetData(&files) == S_OK;
  }
  return DragOver(keyState, point, effect);
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect) {
  if (effect != nullptr) {
    if (!acceptable) {
      *effect = DROPEFFECT_NONE;
    } else {
      *effect = (keyState & MK_CONTROL) != 0 ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    }
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() { return S_OK; }

// OLE's point is not used: the views get the cursor position in frame coordinates.
HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD*) {
  if (data != nullptr && frame != nullptr) {
    try {
      FORMATETC text = formatOf(CF_TEXT);
      STGMEDIUM filled{};
      if (SUCCEEDED(data->GetData(&text, &filled))) {
        MediumOwner medium(filled);
        if (holdsGlobalMemory(medium.get())) {
          dropText(medium.get());
        }
      } else {
        FORMATETC files = formatOf(CF_HDROP);
        filled = STGMEDIUM{};
        if (SUCCEEDED(data->GetData(&files, &filled))) {
          MediumOwner medium(filled);
          if (holdsGlobalMemory(medium.get())) {
            dropFiles(medium.get());
          }
        }
      }
    } catch (...) {
      // Nothing may unwind into the drag source's loop; the medium is already given back.
    }
  }
  DragLeave();
  return S_OK;
}

void DropTarget::dropText(STGMEDIUM& medium) {
  const GlobalLockGuard lock(medium.hGlobal);
  const SIZE_T size = GlobalSize(medium.hGlobal);
  if (lock.text() == nullptr || size == 0) {
    return;
  }
  // The whole block, which may run past the text's terminator.
  constexpr SIZE_T largest = static_cast<SIZE_T>(std::numeric_limits<std::int32_t>::max());
  const auto count = static_cast<std::int32_t>(size < largest ? size : largest);
  Point where;
  frame->getMousePosition(where);
  const char* const items[1] = {lock.text()};
  frame->dropItems(items, count, kDropText, where);
}

void DropTarget::dropFiles(STGMEDIUM& medium) {
  const auto drop = static_cast<HDROP>(medium.hGlobal);
  const auto fileCount = static_cast<std::int32_t>(DragQueryFileA(drop, kFileCountQuery, nullptr, 0));
  if (fileCount <= 0) {
    return;
  }
  std::vector<std::array<char, kPathCapacity>> paths;
  for (std::int32_t index = 0; index < fileCount; ++index) {
    const auto file = static_cast<UINT>(index);
    // A path cut to the buffer would name another file: it counts as unreadable.
    const UINT length = DragQueryFileA(drop, file, nullptr, 0);
    if (length == 0 || length >= kPathCapacity) {
      continue;
    }
    std::array<char, kPathCapacity> path{};
    if (DragQueryFileA(drop, file, path.data(), kPathCapacity) == 0) {
      continue;
    }
    resolveShortcut(path.data(), kPathCapacity);
    paths.push_back(path);
  }
  std::vector<const char*> items;
  items.reserve(paths.size());
  for (const auto& path : paths) {
    items.push_back(path.data());
  }
  Point where;
  frame->getMousePosition(where);
  frame->dropItems(items.data(), static_cast<std::int32_t>(items.size()), kDropFiles, where);
}

}  // namespace vintrove
