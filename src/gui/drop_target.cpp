#include "gui/drop_target.h"

#include <shellapi.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "gui/frame.h"
#include "gui/view.h"
#include "platform/wide_text.h"

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

using PathList = std::vector<std::array<char, kPathCapacity>>;

// The dropped paths as UTF-8, shortcuts replaced by their targets; unreadable ones left out.
PathList readPaths(HDROP drop) {
  PathList paths;
  const UINT fileCount = DragQueryFileW(drop, kFileCountQuery, nullptr, 0);
  for (UINT file = 0; file < fileCount && file < static_cast<UINT>(INT32_MAX); ++file) {
    // A path cut to the buffer would name another file: it counts as unreadable.
    const UINT length = DragQueryFileW(drop, file, nullptr, 0);
    if (length == 0 || length >= kPathCapacity) {
      continue;
    }
    std::array<wchar_t, kPathCapacity> wide{};
    std::array<char, kPathCapacity> path{};
    if (DragQueryFileW(drop, file, wide.data(), kPathCapacity) == 0 ||
        !platform::wideToUtf8(wide.data(), path.data(), kPathCapacity)) {
      continue;
    }
    resolveShortcut(path.data(), kPathCapacity);
    paths.push_back(path);
  }
  return paths;
}

std::vector<const char*> itemsOf(const PathList& paths) {
  std::vector<const char*> items;
  items.reserve(paths.size());
  for (const auto& path : paths) {
    items.push_back(path.data());
  }
  return items;
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

// Whether the frame would take the file list of the dragged data.
bool frameTakesFiles(Frame& frame, IDataObject& data) {
  return withGlobalData(data, CF_HDROP, [&frame](HGLOBAL memory) {
    const PathList paths = readPaths(static_cast<HDROP>(memory));
    const std::vector<const char*> items = itemsOf(paths);
    return !items.empty() &&
           frame.acceptsDrop(items.data(), static_cast<std::int32_t>(items.size()), kDropFiles);
  });
}

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
  filesAcceptable = false;
  if (data != nullptr && frame != nullptr) {
    try {
      // The plug-in only ever reads what is dropped: what it takes is a copy, never a move.
      filesAcceptable = frameTakesFiles(*frame, *data);
      acceptable = filesAcceptable || frameTakesText(*frame, *data);
    } catch (...) {
      acceptable = filesAcceptable = false;
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

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() { return S_OK; }

// OLE's point is not used: the views get the cursor position in frame coordinates. The effect
// answered is copy when a view took the drop and none otherwise.
HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  bool taken = false;
  if (data != nullptr && frame != nullptr) {
    try {
      // Files the frame takes (as DragEnter found) go before a text it would not.
      const bool filesFirst = filesAcceptable;
      FORMATETC text = formatOf(CF_TEXT);
      FORMATETC files = formatOf(CF_HDROP);
      STGMEDIUM filled{};
      if (!filesFirst && SUCCEEDED(data->GetData(&text, &filled))) {
        MediumOwner medium(filled);
        if (holdsGlobalMemory(medium.get())) {
          taken = dropText(medium.get());
        }
      } else {
        filled = STGMEDIUM{};
        if (SUCCEEDED(data->GetData(&files, &filled))) {
          MediumOwner medium(filled);
          if (holdsGlobalMemory(medium.get())) {
            taken = dropFiles(medium.get());
          }
        }
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

bool DropTarget::dropFiles(STGMEDIUM& medium) {
  const auto drop = static_cast<HDROP>(medium.hGlobal);
  if (DragQueryFileW(drop, kFileCountQuery, nullptr, 0) == 0) {
    return false;
  }
  const PathList paths = readPaths(drop);
  const std::vector<const char*> items = itemsOf(paths);
  Point where;
  frame->getMousePosition(where);
  return frame->dropItems(items.data(), static_cast<std::int32_t>(items.size()), kDropFiles, where);
}

}  // namespace vintrove
