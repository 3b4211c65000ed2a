// Real input for the control tests. A control that tracks the mouse polls the button state and
// the cursor inside its mouseDown, on the test's thread; so the input comes from a script that
// another thread plays with SendInput while the test thread sits in the control's loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace vintrove::test {

// Immediate input from the calling thread.
void moveMouse(std::int32_t screenX, std::int32_t screenY);
void pressButton(DWORD downFlag);  // MOUSEEVENTF_LEFTDOWN, _RIGHTDOWN, _MIDDLEDOWN
void releaseButton(DWORD upFlag);  // MOUSEEVENTF_LEFTUP, ...
void pressKey(WORD virtualKey);
void releaseKey(WORD virtualKey);
// Releases every button and modifier a test may have left down.
void releaseEverything();

class InputScript {
 public:
  InputScript& move(std::int32_t screenX, std::int32_t screenY);
  InputScript& press(DWORD downFlag = MOUSEEVENTF_LEFTDOWN);
  InputScript& release(DWORD upFlag = MOUSEEVENTF_LEFTUP);
  InputScript& keyDown(WORD virtualKey);
  InputScript& keyUp(WORD virtualKey);
  InputScript& wait(std::uint32_t milliseconds);

  // Plays the steps on a thread of its own; finish() waits for the end.
  void start();
  void finish();
  ~InputScript();

 private:
  struct Step {
    enum Kind { kMove, kPress, kRelease, kKeyDown, kKeyUp, kWait } kind;
    std::int32_t x = 0;
    std::int32_t y = 0;
    DWORD flag = 0;
    std::uint32_t milliseconds = 0;
  };
  std::vector<Step> steps;
  std::thread player;
};

}  // namespace vintrove::test
