// The frame's native side: the window class all frames of this module share, the child window
// inside the host's window, its message procedure, and what needs the window (drawing outside
// a paint, the mouse position, the cursor, OLE drops).
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <utility>

#include "gui/draw_context.h"
#include "gui/drop_target.h"
#include "gui/frame.h"
#include "gui/gui_editor.h"
#include "gui/native_edit_colors.h"
#include "host/module_handle.h"

namespace vintrove {

namespace {

HINSTANCE moduleInstance() { return static_cast<HINSTANCE>(moduleHandle()); }

// Window class registration shared by every frame of the module, on any thread.
std::mutex classMutex;
std::int32_t classUseCount = 0;
char className[32] = "";

// Looked up for compatibility with the frames' image library; nothing calls it.
FARPROC alphaBlendEntry = nullptr;

const char* formatClassName() {
  std::snprintf(className, sizeof className, "Plugin%08" PRIxPTR,
                reinterpret_cast<std::uintptr_t>(moduleHandle()));
  return className;
}

// Only its own thread can destroy a window, and the frame's thread may be inside the host's
// code now and run on after this library has gone. So the window gets the system's default
// procedure in place of ours and a request to close, which that procedure answers by
// destroying the window, on its own thread, when the thread next takes its messages; nothing
// here waits for that thread.
void handOverWindow(HWND window) {
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  ShowWindowAsync(window, SW_HIDE);
  PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

const char* Frame::windowClassName() {
  std::lock_guard<std::mutex> guard(classMutex);
  return formatClassName();
}

bool Frame::registerWindowClass() {
  std::lock_guard<std::mutex> guard(classMutex);
  if (classUseCount++ == 0) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = &Frame::windowProcedure;
    windowClass.hInstance = moduleInstance();
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = formatClassName();
    // A class left behind by a window that went on its own thread (and perhaps by an earlier
    // load of this library at the same address) is replaced once no window of it is left.
    if (RegisterClassA(&windowClass) == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS &&
        UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance)) {
      RegisterClassA(&windowClass);
    }
  }
  return true;
}

void Frame::unregisterWindowClass() {
  std::lock_guard<std::mutex> guard(classMutex);
  if (--classUseCount == 0) {
    UnregisterClassA(formatClassName(), moduleInstance());
  }
}

void Frame::loadImageLibrary() {
  imageLibrary = LoadLibraryA("msimg32.dll");
  alphaBlendEntry = imageLibrary != nullptr ? GetProcAddress(imageLibrary, "AlphaBlend") : nullptr;
}

bool Frame::buildWindow(HWND parent) {
  if (parent == nullptr || window != nullptr) {
    return false;
  }
  classRegistered = registerWindowClass();
  window = CreateWindowExA(0, windowClassName(), "Window", WS_CHILD | WS_VISIBLE, 0, 0,
                           bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
                           moduleInstance(), nullptr);
  if (window != nullptr) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    enableDropTarget(true);
  }
  return true;
}

void Frame::detachFromWindow() {
  if (window != nullptr && windowAlive) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  }
}

void Frame::destroyWindow() {
  // A window the host has destroyed already is left alone: its handle may name another by now.
  if (window != nullptr && windowAlive) {
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
      DestroyWindow(window);
    } else {
      handOverWindow(window);
    }
  }
  window = nullptr;
  if (classRegistered) {
    classRegistered = false;
    unregisterWindowClass();
  }
  if (imageLibrary != nullptr) {
    FreeLibrary(imageLibrary);
    imageLibrary = nullptr;
  }
}

bool Frame::enableDropTarget(bool flag) {
  if (!dropTargetRegistered && !flag) {
    return true;
  }
  if (window == nullptr) {
    return false;
  }
  if (flag) {
    if (dropTargetRegistered) {
      return true;
    }
    // The frame keeps a reference until it revokes the target, OLE its own; on failure the
    // frame's Release frees the target again.
    auto* target = new DropTarget(this);
    target->AddRef();
    if (FAILED(RegisterDragDrop(window, target))) {
      target->forgetFrame();
      target->Release();
      return false;
    }
    dropTarget = target;
    dropTargetRegistered = true;
    return true;
  }
  // A drop already under way elsewhere may still reach the target after this: it finds no frame.
  if (dropTarget != nullptr) {
    dropTarget->forgetFrame();
  }
  RevokeDragDrop(window);
  dropTargetRegistered = false;
  if (DropTarget* target = std::exchange(dropTarget, nullptr)) {
    target->Release();
  }
  return true;
}

bool Frame::postEditorMessage(HWND target, std::uintptr_t what) {
  return target != nullptr && PostMessageA(target, kEditorMessage, what, 0) != FALSE;
}

bool Frame::startTimer(std::uintptr_t id, std::uint32_t milliseconds) {
  return window != nullptr && windowAlive && !editorForgotten &&
         SetTimer(window, id, milliseconds, nullptr) != 0;
}

void Frame::stopTimer(std::uintptr_t id) {
  if (window != nullptr && windowAlive) {
    KillTimer(window, id);
  }
}

bool Frame::getMousePosition(Point& where) const {
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  where = Point{cursor.x, cursor.y};
  if (window != nullptr && windowAlive) {
    RECT placement{};
    if (GetWindowRect(window, &placement)) {
      where.h -= placement.left;
      where.v -= placement.top;
    }
  }
  return true;
}

void Frame::redrawNow(View* view) {
  // Without a live window there is nothing to draw on (GetDC(nullptr) would be the screen).
  if (window == nullptr || !windowAlive) {
    return;
  }
  WindowDc dc(window);
  if (!dc) {
    return;
  }
  DrawContext context(this, dc.get(), window);
  if (view != nullptr && hasChild(view)) {
    view->draw(context);
  } else {
    draw(context);
  }
}

void Frame::refreshDirty() {
  if (!windowAlive || firstPaintPending || window == nullptr || !hasPendingRedraw()) {
    return;
  }
  WindowDc dc(window);
  if (!dc) {
    return;
  }
  DrawContext context(this, dc.get(), window);
  redrawIfNeeded(context);
}

bool Frame::wheelTurned(DrawContext* context, Point where, float distance) {
  View* view = getChildUnderMouse();
  if (view == nullptr) {
    return false;
  }
  getMousePosition(where);
  if (context != nullptr) {
    return view->wheelTurned(context, where, distance);
  }
  if (window == nullptr || !windowAlive) {
    return view->wheelTurned(nullptr, where, distance);
  }
  WindowDc dc(window);
  DrawContext temporary(this, dc.get(), window);
  return view->wheelTurned(&temporary, where, distance);
}

void Frame::setCursorShape(std::int32_t kind) {
  if (!cursorSaved) {
    savedCursor = GetCursor();
    cursorSaved = true;
  }
  const char* shape = nullptr;
  switch (kind) {
    case kCursorSaved:
      SetCursor(savedCursor);
      return;
    case kCursorWait: shape = IDC_WAIT; break;
    case kCursorSizeWestEast: shape = IDC_SIZEWE; break;
    case kCursorSizeNorthSouth: shape = IDC_SIZENS; break;
    case kCursorMove: shape = IDC_SIZEALL; break;
    case kCursorSizeNorthEastSouthWest: shape = IDC_SIZENESW; break;
    case kCursorSizeNorthWestSouthEast: shape = IDC_SIZENWSE; break;
    default: return;
  }
  SetCursor(LoadCursorA(nullptr, shape));
}

LRESULT CALLBACK Frame::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (frame == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  // What a message handler runs may close the editor; the frame then goes when it returns.
  frame->retain();
  LRESULT result = 0;
  try {
    result = frame->handleMessage(window, message, wParam, lParam);
  } catch (...) {
    result = DefWindowProcA(window, message, wParam, lParam);
  }
  frame->release();
  return result;
}

LRESULT Frame::handleMessage(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      // Revoked while the window still exists: OLE would otherwise keep the target forever.
      enableDropTarget(false);
      windowAlive = false;
      parentWindow = nullptr;
      return DefWindowProcA(target, message, wParam, lParam);
    case WM_PAINT: {
      if (!GetUpdateRect(target, nullptr, FALSE)) {
        return DefWindowProcA(target, message, wParam, lParam);
      }
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(target, &paint);
      if (dc != nullptr) {
        DrawContext context(this, dc, target);
        drawArea(context, Rect{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right,
                               paint.rcPaint.bottom});
      }
      EndPaint(target, &paint);
      return 0;
    }
    case WM_CTLCOLOREDIT: {
      auto* edit = dynamic_cast<NativeEditColors*>(focus);
      if (edit == nullptr) {
        return DefWindowProcA(target, message, wParam, lParam);
      }
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, nativeColor(edit->getTextColor()));
      SetBkColor(dc, nativeColor(edit->getBoxColor()));
      edit->editBrush().reset(CreateSolidBrush(nativeColor(edit->getBoxColor())));
      return reinterpret_cast<LRESULT>(edit->editBrush().get());
    }
    case kEditorMessage:
      if (editor != nullptr) {
        editor->editorMessage(wParam);
      }
      return 0;
    case WM_TIMER:
      if (editor == nullptr) {
        KillTimer(target, wParam);  // the editor that wanted it has gone
      } else {
        editor->timerFired(wParam);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      WindowDc dc(target);
      DrawContext context(this, dc.get(), target);
      const auto position = static_cast<std::uint32_t>(lParam);
      mouseDown(context, Point{static_cast<std::int32_t>(position & 0xFFFF),
                               static_cast<std::int32_t>(position >> 16)});
      return 0;
    }
    default:
      return DefWindowProcA(target, message, wParam, lParam);
  }
}

}  // namespace vintrove
