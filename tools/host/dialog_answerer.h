// Answers the next open-file dialog of this process from a background thread, as a user would:
// it waits for a visible top-level dialog ("#32770") of this process with a file-name box
// (control 0x47c, or else an edit control), types the path into the box and presses OK (or
// presses Cancel). The dialog is modal on the thread that opened it, so the answer must come from
// another thread; arm the answerer before the click that opens the dialog.
//
//   DialogAnswerer answerer(DialogAnswer::confirm("Z:\\music\\a.mp3"));
//   window.clickAt(10, 50);               // returns once the dialog is gone
//   bool ok = answerer.wait();            // true: the dialog took the path
//
// A dialog that refuses the path (a missing file brings up a message box inside it) is not left
// hanging: the answerer dismisses the message box and cancels the dialog, and reports kRefused.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <utility>

#include "win32_owners.h"

namespace vintrove::testhost {

struct DialogAnswer {
  enum Kind { kConfirm, kCancel };
  Kind kind = kConfirm;
  std::string path;        // Windows path in UTF-8, typed into the file-name box (kConfirm)
  DWORD timeoutMs = 5000;  // how long to wait for the dialog to appear
  DWORD settleMs = 150;    // how long the dialog stays up before the answer

  static DialogAnswer confirm(std::string filePath, DWORD timeout = 5000) {
    return DialogAnswer{kConfirm, std::move(filePath), timeout};
  }
  static DialogAnswer cancel(DWORD timeout = 5000) { return DialogAnswer{kCancel, {}, timeout}; }
  // Cancels after the dialog has been up for `up` ms (a host may act meanwhile).
  static DialogAnswer cancelAfter(DWORD up, DWORD timeout = 5000) {
    return DialogAnswer{kCancel, {}, timeout, up};
  }
};

class DialogAnswerer {
 public:
  enum class Outcome {
    kPending,    // still watching
    kConfirmed,  // the dialog took the path and closed
    kCancelled,  // Cancel was pressed and the dialog closed
    kRefused,    // the dialog stayed open after OK; it was cancelled
    kStuck,      // the dialog did not close even when cancelled
    kTimedOut,   // no dialog appeared in time (or the answerer was stopped)
  };

  explicit DialogAnswerer(DialogAnswer answer);
  // Stops watching (a dialog not yet seen is left alone) and joins the thread.
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  // Waits until the answerer is done; true when it did what it was asked (kConfirmed for
  // confirm, kCancelled for cancel).
  bool wait();
  Outcome outcome() const { return outcome_.load(); }
  // Whether a dialog was seen at all (in any outcome).
  bool sawDialog() const { return sawDialog_.load(); }

 private:
  void watch();

  DialogAnswer answer_;
  std::atomic<Outcome> outcome_{Outcome::kPending};
  std::atomic<bool> sawDialog_{false};
  std::atomic<bool> stop_{false};
  JoiningThread thread_;  // last: starts after everything it reads is set up
};

const char* outcomeName(DialogAnswerer::Outcome outcome);

// Visible open-file dialogs of this process right now.
int visibleFileDialogs();

// "/a/b.mp3" (a Unix path, as Wine sees it) -> "Z:\a\b.mp3"; other paths keep their letters
// with forward slashes turned into backslashes.
std::string windowsPath(const std::string& path);

}  // namespace vintrove::testhost
