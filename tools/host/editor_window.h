// The host's window for the plug-in's editor: a top-level captioned window whose client area is
// sized from the rectangle the plug-in reports and whose client origin sits at a fixed screen
// point, so pictures and clicks land the same way on every run. The plug-in's editor view is a
// child of it (opcode 14 with this window).
//
// While a caller waits, the window pumps the thread's messages and sends editor idle (opcode 19)
// every kIdleIntervalMs. Clicks and drags are real input (SetCursorPos and SendInput), played by
// a helper thread while this thread pumps: a control that tracks the mouse polls the button state
// inside its own loop on this thread, and a button that opens a modal dialog keeps this thread
// inside the dialog until someone answers it (see DialogAnswerer).
//
// A plug-in whose editor does not open (no editor flag, or opcode 14 creates no child window)
// leaves isOpen() false; clicks, drags and pictures then answer false and touch nothing.
//
// Clicks press the primary button: the physical right one while the user's setting swaps them.
//
// Lifetime: the window must go before its EffectSession; its destructor closes the editor
// (opcode 15) and then destroys the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "effect_session.h"
#include "png_writer.h"
#include "win32_owners.h"

namespace vintrove::testhost {

class EditorWindow {
 public:
  static constexpr std::int32_t kClientLeft = 100;  // screen position of the client origin
  static constexpr std::int32_t kClientTop = 100;
  static constexpr DWORD kIdleIntervalMs = 25;
  static constexpr DWORD kHoldMs = 100;  // how long a click keeps the button down
  // Client size used while the plug-in reports no rectangle.
  static constexpr std::int32_t kFallbackWidth = 256;
  static constexpr std::int32_t kFallbackHeight = 84;

  // Creates the window and opens the editor in it.
  explicit EditorWindow(EffectSession& session, const std::string& title = "vintrove-host");
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // The plug-in created its view in the window.
  bool isOpen() const { return view() != nullptr; }
  HWND window() const { return window_.get(); }
  // The plug-in's child window (the editor's client area), or null.
  HWND view() const;
  // The rectangle the plug-in reported (after opening); empty when it reported none.
  const EditorRectangle& rect() const { return rect_; }
  // Answer of opcode 14.
  HostInt openAnswer() const { return openAnswer_; }

  // Dispatches every pending message of this thread, then sends editor idle when one is due
  // (unless idle is switched off: some hosts send none, or none while unfocused).
  void pump();
  void setSendsIdle(bool sends) { sendsIdle_ = sends; }
  // Runs action once, from a timer of this window, after delayMs: on this thread, from whatever
  // message loop runs then (the host's, or a modal dialog's inside the plug-in). While the
  // action answers false the timer fires again every delayMs.
  void runOnTimer(DWORD delayMs, std::function<bool()> action);
  // Pumps and idles for the given time.
  void idleFor(DWORD milliseconds);
  // Pumps and idles until `done` answers true (checked after every turn) or the time is up;
  // answers the last result of `done`.
  bool idleUntil(const std::function<bool()>& done, DWORD timeoutMs);

  // Editor client coordinates to the screen.
  POINT toScreen(std::int32_t x, std::int32_t y) const;

  // A left click at a point of the editor's client area: move there, press, hold for holdMs
  // while this thread pumps and idles, release, pump a little more. Returns once the input has
  // been played and the messages it caused were handled (including a modal dialog the click
  // opened, which must be answered by someone else).
  bool clickAt(std::int32_t x, std::int32_t y, DWORD holdMs = kHoldMs);

  class Drag {
   public:
    // Presses at the start point, moves in `steps` steps to (x, y), releases there.
    bool to(std::int32_t x, std::int32_t y, std::int32_t steps = 8);

   private:
    friend class EditorWindow;
    Drag(EditorWindow& window, std::int32_t x, std::int32_t y) : window_(window), x_(x), y_(y) {}
    EditorWindow& window_;
    std::int32_t x_;
    std::int32_t y_;
  };
  // window.dragFrom(10, 30).to(200, 30)
  Drag dragFrom(std::int32_t x, std::int32_t y) { return Drag(*this, x, y); }

  // The editor's client area as it is on the screen now (pending paints are done first).
  bool capture(RgbImage& out);
  bool screenshotPng(const std::string& path);

  // Closes the editor (opcode 15) and destroys the window; the destructor does it otherwise.
  void close();

 private:
  struct InputStep;
  bool play(const InputStep* steps, std::size_t count);
  void idleIfDue();
  void placeClientArea(std::int32_t width, std::int32_t height);

  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  EffectSession& session_;
  OwnedWindow window_;
  bool sendsIdle_ = true;
  std::function<bool()> timerAction_;
  EditorRectangle rect_;
  HostInt openAnswer_ = 0;
  DWORD lastIdle_ = 0;
};

}  // namespace vintrove::testhost
