// Background threads that nobody joins: the decoding thread of each load.
#pragma once

namespace vintrove::platform {

using ThreadBody = void (*)(void* argument);

// Starts body(argument) on a new thread at the lowest normal priority; the thread is detached.
// False when no thread could be created.
bool startLowPriorityThread(ThreadBody body, void* argument);

}  // namespace vintrove::platform
