#include "editor_window.h"

#include <atomic>
#include <vector>

namespace vintrove::testhost {

namespace {

constexpr char kWindowClass[] = "VintroveHostEditorWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
// Each input step settles before the next, so a polling control sees every state at least once.
constexpr DWORD kStepSettleMs = 30;
// After the input, the messages it caused (the release, redraws) get this long.
constexpr DWORD kAfterInputMs = 80;
constexpr int kParkTimeoutMs = 500;

constexpr UINT_PTR kActionTimer = 1;

void registerWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
  }();
  (void)registered;
}

void sendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

// The physical button the user's setting makes primary.
bool primaryIsRight() { return GetSystemMetrics(SM_SWAPBUTTON) != 0; }

bool leftButtonDown() {
  return (static_cast<unsigned short>(GetAsyncKeyState(primaryIsRight() ? VK_RBUTTON : VK_LBUTTON)) &
          0x8000U) != 0;
}

DWORD primaryDown() { return primaryIsRight() ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN; }
DWORD primaryUp() { return primaryIsRight() ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP; }

// Wine caches an "up" answer of GetAsyncKeyState per thread for up to 50 ms, and drops the caches
// of all threads only when some thread's query sees the state change. Asking here, on the input
// thread, right after the change makes the editor's thread see it at once.
void sendButton(DWORD flags) {
  sendMouse(flags);
  leftButtonDown();
}

}  // namespace

struct EditorWindow::InputStep {
  enum Kind { kMove, kPress, kRelease, kWait } kind;
  POINT screen{0, 0};
  DWORD milliseconds = 0;
};

LRESULT CALLBACK EditorWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The driver decides when the window goes; a close request from outside is ignored.
  if (message == WM_CLOSE) return 0;
  if (message == WM_TIMER && wParam == kActionTimer) {
    auto* self = reinterpret_cast<EditorWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || !self->timerAction_ || self->timerAction_()) {
      KillTimer(window, kActionTimer);
      if (self != nullptr) self->timerAction_ = nullptr;
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void EditorWindow::runOnTimer(DWORD delayMs, std::function<bool()> action) {
  if (window_.get() == nullptr) return;
  timerAction_ = std::move(action);
  SetTimer(window_.get(), kActionTimer, delayMs, nullptr);
}

EditorWindow::EditorWindow(EffectSession& session, const std::string& title) : session_(session) {
  registerWindowClass(&EditorWindow::windowProcedure);
  EditorRectangle before;
  const bool reportedBefore = session_.hasEditor() && session_.editorRect(before) && !before.empty();
  window_.reset(CreateWindowExA(0, kWindowClass, title.c_str(), kWindowStyle, kClientLeft, kClientTop,
                                kFallbackWidth, kFallbackHeight, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr));
  if (window_.get() == nullptr) return;
  SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  placeClientArea(reportedBefore ? before.width() : kFallbackWidth,
                  reportedBefore ? before.height() : kFallbackHeight);
  if (session_.hasEditor()) {
    openAnswer_ = session_.openEditor(window_.get());
    // Some editors know their size only once open; hosts ask again.
    EditorRectangle after;
    if (session_.editorRect(after) && !after.empty()) {
      rect_ = after;
    } else if (reportedBefore) {
      rect_ = before;
    }
    if (!rect_.empty()) placeClientArea(rect_.width(), rect_.height());
  }
  SetForegroundWindow(window_.get());
  UpdateWindow(window_.get());
  lastIdle_ = GetTickCount();
  idleFor(50);
}

EditorWindow::~EditorWindow() { close(); }

void EditorWindow::close() {
  if (window_.get() == nullptr) return;
  session_.closeEditor();
  idleFor(20);
  window_.reset();
  idleFor(20);
}

HWND EditorWindow::view() const {
  return window_.get() != nullptr ? GetWindow(window_.get(), GW_CHILD) : nullptr;
}

void EditorWindow::placeClientArea(std::int32_t width, std::int32_t height) {
  RECT frame{kClientLeft, kClientTop, kClientLeft + width, kClientTop + height};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  SetWindowPos(window_.get(), nullptr, frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // Where the frame the window manager (or Wine) draws differs from AdjustWindowRectEx's idea,
  // correct once by the difference actually seen.
  POINT origin{0, 0};
  ClientToScreen(window_.get(), &origin);
  RECT client;
  GetClientRect(window_.get(), &client);
  const LONG dx = kClientLeft - origin.x;
  const LONG dy = kClientTop - origin.y;
  const LONG dw = width - (client.right - client.left);
  const LONG dh = height - (client.bottom - client.top);
  if (dx != 0 || dy != 0 || dw != 0 || dh != 0) {
    SetWindowPos(window_.get(), nullptr, frame.left + dx, frame.top + dy, frame.right - frame.left + dw,
                 frame.bottom - frame.top + dh, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void EditorWindow::idleIfDue() {
  if (!sendsIdle_) return;
  const DWORD now = GetTickCount();
  if (now - lastIdle_ < kIdleIntervalMs) return;
  lastIdle_ = now;
  session_.idleEditor();
}

void EditorWindow::pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  idleIfDue();
}

void EditorWindow::idleFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    pump();
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    const DWORD untilEnd = milliseconds - elapsed;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, untilEnd < kIdleIntervalMs ? untilEnd : kIdleIntervalMs,
                              QS_ALLINPUT);
  }
}

bool EditorWindow::idleUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    pump();
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

POINT EditorWindow::toScreen(std::int32_t x, std::int32_t y) const {
  POINT point{x, y};
  HWND target = view() != nullptr ? view() : window_.get();
  if (target != nullptr) ClientToScreen(target, &point);
  return point;
}

bool EditorWindow::play(const InputStep* steps, std::size_t count) {
  if (!isOpen()) return false;
  SetForegroundWindow(window_.get());
  std::atomic<bool> played{false};
  // The press happens while this thread is parked: the editor must not see the press message
  // before the input thread's query has dropped every thread's cached "up" (see sendButton).
  std::atomic<bool> parkRequested{false};
  std::atomic<bool> parked{false};
  {
    // The input comes from another thread: while the button is down this thread may sit in a
    // control's tracking loop or in a dialog the click opened, and must not be the one to let go.
    JoiningThread input([steps, count, &played, &parkRequested, &parked] {
      // A button left down by an earlier gesture would turn this press into a drag. (Asked here:
      // a query on the editor's thread would leave it a cached "up" for the press that follows.)
      if (leftButtonDown()) sendButton(primaryUp());
      for (std::size_t i = 0; i < count; ++i) {
        const InputStep& step = steps[i];
        switch (step.kind) {
          case InputStep::kMove:
            SetCursorPos(step.screen.x, step.screen.y);
            sendMouse(MOUSEEVENTF_MOVE);  // relative 0: a mouse message at the new position
            break;
          case InputStep::kPress: {
            parkRequested.store(true);
            // A pump stuck in a dispatch cannot park; the press then goes ahead after a while.
            for (int waited = 0; !parked.load() && waited < kParkTimeoutMs; ++waited) Sleep(1);
            sendButton(primaryDown());
            parkRequested.store(false);
            break;
          }
          case InputStep::kRelease: sendButton(primaryUp()); break;
          case InputStep::kWait: Sleep(step.milliseconds); break;
        }
        Sleep(kStepSettleMs);
      }
      played.store(true);
    });
    while (!played.load()) {
      if (parkRequested.load()) {
        parked.store(true);
        while (parkRequested.load()) Sleep(1);
        parked.store(false);
      }
      pump();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
  }
  idleFor(kAfterInputMs);
  return true;
}

bool EditorWindow::clickAt(std::int32_t x, std::int32_t y, DWORD holdMs) {
  const InputStep steps[] = {
      {InputStep::kMove, toScreen(x, y), 0},
      {InputStep::kPress, {0, 0}, 0},
      {InputStep::kWait, {0, 0}, holdMs},
      {InputStep::kRelease, {0, 0}, 0},
  };
  return play(steps, sizeof steps / sizeof steps[0]);
}

bool EditorWindow::Drag::to(std::int32_t x, std::int32_t y, std::int32_t steps) {
  if (steps < 1) steps = 1;
  std::vector<InputStep> script;
  script.push_back({InputStep::kMove, window_.toScreen(x_, y_), 0});
  script.push_back({InputStep::kPress, {0, 0}, 0});
  for (std::int32_t i = 1; i <= steps; ++i) {
    const std::int32_t px = x_ + (x - x_) * i / steps;
    const std::int32_t py = y_ + (y - y_) * i / steps;
    script.push_back({InputStep::kMove, window_.toScreen(px, py), 0});
  }
  script.push_back({InputStep::kWait, {0, 0}, EditorWindow::kHoldMs});
  script.push_back({InputStep::kRelease, {0, 0}, 0});
  return window_.play(script.data(), script.size());
}

bool EditorWindow::capture(RgbImage& out) {
  HWND target = view();
  if (target == nullptr) return false;
  pump();
  UpdateWindow(target);
  RECT client;
  GetClientRect(target, &client);
  const std::int32_t width = client.right - client.left;
  const std::int32_t height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return false;

  WindowDc source(target);
  if (source.get() == nullptr) return false;
  MemoryDc memory(source.get());
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> surface(CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (memory.get() == nullptr || surface.get() == nullptr || bits == nullptr) return false;
  {
    Selection selected(memory.get(), surface.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY)) return false;
    GdiFlush();
  }
  out = RgbImage(width, height);
  const auto* pixels = static_cast<const std::uint8_t*>(bits);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* in = pixels + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                         static_cast<std::size_t>(x)) * 4;
      std::uint8_t* to = out.pixel(x, y);
      to[0] = in[2];  // the DIB holds blue, green, red, unused
      to[1] = in[1];
      to[2] = in[0];
    }
  }
  return true;
}

bool EditorWindow::screenshotPng(const std::string& path) {
  RgbImage image;
  return capture(image) && writePng(path, image);
}

}  // namespace vintrove::testhost
