#include "dialog_answerer.h"

#include <cstring>
#include <string>

namespace vintrove::testhost {

namespace {

constexpr int kFileNameBox = 0x47c;
constexpr DWORD kPollMs = 20;
constexpr DWORD kCloseWaitMs = 3000;
constexpr UINT kSendTimeoutMs = 2000;

bool hasClass(HWND window, const char* name) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  return std::strcmp(className, name) == 0;
}

BOOL CALLBACK visitChild(HWND child, LPARAM found) {
  if (!hasClass(child, "Edit") || !IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

HWND findEditControl(HWND dialog) {
  HWND found = nullptr;
  EnumChildWindows(dialog, visitChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The file-name box of an open-file dialog, or null for another dialog (a message box).
HWND fileNameBox(HWND dialog) {
  if (HWND box = GetDlgItem(dialog, kFileNameBox)) return box;
  return findEditControl(dialog);
}

struct DialogSearch {
  bool wantFileDialog;
  HWND exclude;
  HWND found = nullptr;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || window == search->exclude) return TRUE;
  if (!IsWindowVisible(window) || !hasClass(window, "#32770")) return TRUE;
  if ((fileNameBox(window) != nullptr) != search->wantFileDialog) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible top-level "#32770" of this process: an open-file dialog or (wantFileDialog false)
// another dialog such as a message box.
HWND findDialog(bool wantFileDialog, HWND exclude = nullptr) {
  DialogSearch search{wantFileDialog, exclude};
  EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void pressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool waitGone(HWND window, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= milliseconds) return false;
    Sleep(kPollMs);
  }
  return true;
}

}  // namespace

DialogAnswerer::DialogAnswerer(DialogAnswer answer)
    : answer_(std::move(answer)), thread_([this] { watch(); }) {}

DialogAnswerer::~DialogAnswerer() {
  stop_.store(true);
  thread_.join();
}

bool DialogAnswerer::wait() {
  thread_.join();
  const Outcome done = outcome_.load();
  return answer_.kind == DialogAnswer::kConfirm ? done == Outcome::kConfirmed : done == Outcome::kCancelled;
}

void DialogAnswerer::watch() {
  const DWORD start = GetTickCount();
  HWND dialog = nullptr;
  while ((dialog = findDialog(true)) == nullptr) {
    if (stop_.load() || GetTickCount() - start >= answer_.timeoutMs) {
      outcome_.store(Outcome::kTimedOut);
      return;
    }
    Sleep(kPollMs);
  }
  sawDialog_.store(true);
  Sleep(answer_.settleMs);

  if (answer_.kind == DialogAnswer::kCancel) {
    pressButton(dialog, IDCANCEL);
    outcome_.store(waitGone(dialog, kCloseWaitMs) ? Outcome::kCancelled : Outcome::kStuck);
    return;
  }

  // Sent, not posted: the text must be in the box before OK reads it. The dialog's thread
  // handles sent messages inside its modal loop.
  DWORD_PTR ignored = 0;
  if (HWND box = fileNameBox(dialog)) {
    // Typed as wide text: names outside the 8-bit code page arrive whole.
    std::wstring typed(answer_.path.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, answer_.path.c_str(), -1, typed.data(),
                                           static_cast<int>(typed.size()));
    typed.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  }
  pressButton(dialog, IDOK);
  // The dialog closes, or refuses the path with a message box inside it.
  const DWORD confirmed = GetTickCount();
  HWND refusal = nullptr;
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    if ((refusal = findDialog(false, dialog)) != nullptr || GetTickCount() - confirmed >= kCloseWaitMs) break;
    Sleep(kPollMs);
  }
  if (!IsWindow(dialog) || !IsWindowVisible(dialog)) {
    outcome_.store(Outcome::kConfirmed);
    return;
  }
  // Refused: close the message box, then cancel the dialog, so the thread that opened it is
  // free again.
  if (refusal != nullptr) {
    pressButton(refusal, IDOK);
    waitGone(refusal, kCloseWaitMs);
  }
  pressButton(dialog, IDCANCEL);
  outcome_.store(waitGone(dialog, kCloseWaitMs) ? Outcome::kRefused : Outcome::kStuck);
}

namespace {

BOOL CALLBACK countFileDialog(HWND window, LPARAM data) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && hasClass(window, "#32770") &&
      fileNameBox(window) != nullptr) {
    ++*reinterpret_cast<int*>(data);
  }
  return TRUE;
}

}  // namespace

int visibleFileDialogs() {
  int count = 0;
  EnumWindows(countFileDialog, reinterpret_cast<LPARAM>(&count));
  return count;
}

const char* outcomeName(DialogAnswerer::Outcome outcome) {
  switch (outcome) {
    case DialogAnswerer::Outcome::kPending: return "pending";
    case DialogAnswerer::Outcome::kConfirmed: return "confirmed";
    case DialogAnswerer::Outcome::kCancelled: return "cancelled";
    case DialogAnswerer::Outcome::kRefused: return "refused";
    case DialogAnswerer::Outcome::kStuck: return "stuck";
    case DialogAnswerer::Outcome::kTimedOut: return "timed out";
  }
  return "unknown";
}

std::string windowsPath(const std::string& path) {
  std::string converted;
  if (!path.empty() && path[0] == '/') converted.append("Z:");
  converted.append(path);
  for (char& c : converted) {
    if (c == '/') c = '\\';
  }
  return converted;
}

}  // namespace vintrove::testhost
