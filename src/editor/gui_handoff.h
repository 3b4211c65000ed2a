// The one way the audio and decoding threads reach the editor's GUI thread: bits in memory.
// Any thread marks what changed; the GUI thread takes the marks on its own refresh timer (which
// runs while the editor is open) or at the host's idle, and draws. Marking writes one atomic
// word and nothing else: no window message, timer, lock or system call, so a report from the
// audio thread costs what a store costs, and nothing can post to a window by accident.
#pragma once

#include <atomic>

namespace vintrove {

class GuiHandoff {
 public:
  enum Change : unsigned {
    kDisplays = 1u,  // values, times, texts, file info
    kOverview = 2u,  // the overview image changed as a whole (a length report, an opening)
    kProgress = 4u,  // the loader painted more of the overview
  };

  // Any thread.
  void mark(unsigned changes) { pending.fetch_or(changes, std::memory_order_release); }
  // GUI thread: the marks since the last take, cleared.
  unsigned take() { return pending.exchange(0u, std::memory_order_acquire); }

 private:
  std::atomic<unsigned> pending{0u};
  static_assert(std::atomic<unsigned>::is_always_lock_free);
};

}  // namespace vintrove
