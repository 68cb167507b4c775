// Windows gives every thread's fault handling room of its own (SetThreadStackGuarantee);
// the bounds come from the thread's own record.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "core/crash/ThreadStacks.h"

namespace quillbox::crash {

StackBounds currentStackBounds() {
    ULONG_PTR low = 0, high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return StackBounds{static_cast<std::uintptr_t>(low), 0};
}

bool prepareCurrentThread() {
    ULONG reserve = 64 * 1024;
    return SetThreadStackGuarantee(&reserve) != 0;
}

void prepareNewThreads() {}

}  // namespace quillbox::crash
