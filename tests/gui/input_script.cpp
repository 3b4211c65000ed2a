#include "input_script.h"

namespace vintrove::test {

void moveMouse(std::int32_t screenX, std::int32_t screenY) {
  SetCursorPos(screenX, screenY);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;  // relative 0: refreshes the state without moving
  SendInput(1, &input, sizeof input);
}

void pressButton(DWORD downFlag) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = downFlag;
  SendInput(1, &input, sizeof input);
}

void releaseButton(DWORD upFlag) { pressButton(upFlag); }

void pressKey(WORD virtualKey) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  SendInput(1, &input, sizeof input);
}

void releaseKey(WORD virtualKey) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof input);
}

void releaseEverything() {
  const WORD keys[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
  for (WORD key : keys) {
    if (GetAsyncKeyState(key) & 0x8000) {
      releaseKey(key);
    }
  }
  const struct {
    int key;
    DWORD up;
  } buttons[] = {{VK_LBUTTON, MOUSEEVENTF_LEFTUP},
                 {VK_RBUTTON, MOUSEEVENTF_RIGHTUP},
                 {VK_MBUTTON, MOUSEEVENTF_MIDDLEUP}};
  for (const auto& button : buttons) {
    if (GetAsyncKeyState(button.key) & 0x8000) {
      releaseButton(button.up);
    }
  }
}

InputScript& InputScript::move(std::int32_t screenX, std::int32_t screenY) {
  steps.push_back(Step{Step::kMove, screenX, screenY, 0, 0});
  return *this;
}

InputScript& InputScript::press(DWORD downFlag) {
  steps.push_back(Step{Step::kPress, 0, 0, downFlag, 0});
  return *this;
}

InputScript& InputScript::release(DWORD upFlag) {
  steps.push_back(Step{Step::kRelease, 0, 0, upFlag, 0});
  return *this;
}

InputScript& InputScript::keyDown(WORD virtualKey) {
  steps.push_back(Step{Step::kKeyDown, 0, 0, virtualKey, 0});
  return *this;
}

InputScript& InputScript::keyUp(WORD virtualKey) {
  steps.push_back(Step{Step::kKeyUp, 0, 0, virtualKey, 0});
  return *this;
}

InputScript& InputScript::wait(std::uint32_t milliseconds) {
  steps.push_back(Step{Step::kWait, 0, 0, 0, milliseconds});
  return *this;
}

void InputScript::start() {
  player = std::thread([this] {
    for (const Step& step : steps) {
      switch (step.kind) {
        case Step::kMove: moveMouse(step.x, step.y); break;
        case Step::kPress: pressButton(step.flag); break;
        case Step::kRelease: releaseButton(step.flag); break;
        case Step::kKeyDown: pressKey(static_cast<WORD>(step.flag)); break;
        case Step::kKeyUp: releaseKey(static_cast<WORD>(step.flag)); break;
        case Step::kWait: Sleep(step.milliseconds); break;
      }
      // Each step settles before the next, so a polling loop sees every state at least once.
      Sleep(30);
    }
  });
}

void InputScript::finish() {
  if (player.joinable()) {
    player.join();
  }
}

InputScript::~InputScript() { finish(); }

}  // namespace vintrove::test
