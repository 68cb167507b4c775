#pragma once
// Every thread needs a stack of its own for the crash handler: when a thread's stack runs
// out, the handler cannot run on it. The main thread gets one when the handler is
// installed; threads started later get one through our pthread_create, which wraps the
// C library's (the executable defines it, so the libraries' thread calls reach it too).
// Likewise our sigaction adds SA_ONSTACK to the fault handlers that libraries install.
#include <cstddef>
#include <cstdint>

namespace quillbox::crash {

// The calling thread's stack as the handler needs it: its lowest usable address and the
// guard area below it. Zero when unknown (a thread started before the handler).
struct StackBounds {
    std::uintptr_t low = 0;
    std::size_t guard = 0;
};
StackBounds currentStackBounds();

// Gives the calling thread an alternate signal stack and records its stack bounds. The
// stack stays until the thread ends (or for the main thread, the process).
bool prepareCurrentThread();

// From now on every new thread is prepared before its start routine runs, and every
// fault handler runs on the alternate stack.
void prepareNewThreads();

}  // namespace quillbox::crash
