// What the kernel and the dynamic linker tell of a fault: its kind from the signal, and the
// module an address lies in (both safe in a signal handler).
#include <dlfcn.h>

#include <csignal>
#include <cstring>

#include "core/crash/CrashReport.h"

namespace quillbox::crash {

namespace {

constexpr long kTrapGeneralProtection = 13;
constexpr long kTrapPageFault = 14;
constexpr unsigned long kPageFaultWrite = 2;
// How close to the stack pointer, or to the end of the thread's stack, a faulting
// address must be to count as the stack running out.
constexpr std::uintptr_t kStackReach = 64 * 1024;
constexpr std::uintptr_t kBelowStackReach = 1024 * 1024;

bool isStackOverflow(const SignalFacts& f) {
    const std::uintptr_t a = f.faultAddress;
    if (f.stackPointer != 0 && a + kStackReach >= f.stackPointer && a <= f.stackPointer + kStackReach)
        return true;
    if (f.stackLow == 0)
        return false;
    const std::uintptr_t below = f.stackGuard > kBelowStackReach ? f.stackGuard : kBelowStackReach;
    const std::uintptr_t from = f.stackLow > below ? f.stackLow - below : 0;
    return a >= from && a < f.stackLow + kStackReach;
}

}  // namespace

FaultKind classify(const SignalFacts& f) {
    // A fault signal that another process sent (kill) carries no fault to describe; a
    // SIGTRAP raised on purpose is still a breakpoint.
    if (f.code <= 0 && f.signal != SIGTRAP)
        return FaultKind::Other;
    switch (f.signal) {
    case SIGSEGV:
        // The kernel turns a privileged instruction into a general protection fault.
        if (f.trapNumber == kTrapGeneralProtection && isPrivilegedInstruction(f.instruction, f.instructionLength))
            return FaultKind::PrivilegedInstruction;
        if (isStackOverflow(f))
            return FaultKind::StackOverflow;
        if (f.trapNumber == kTrapPageFault && (f.errorCode & kPageFaultWrite) != 0)
            return FaultKind::MemoryWrite;
        return FaultKind::MemoryRead;
    case SIGFPE:
        return f.code == FPE_INTDIV || f.code == FPE_FLTDIV ? FaultKind::DivideByZero : FaultKind::Other;
    case SIGILL:
        return f.code == ILL_PRVOPC || f.code == ILL_PRVREG ? FaultKind::PrivilegedInstruction
                                                           : FaultKind::IllegalInstruction;
    case SIGTRAP:
        return FaultKind::Breakpoint;
    default:
        return FaultKind::Other;
    }
}

bool locate(std::uintptr_t address, ModuleSpot& spot) {
    Dl_info info{};
    if (address == 0 || dladdr(reinterpret_cast<void*>(address), &info) == 0 || info.dli_fname == nullptr)
        return false;
    const char* name = info.dli_fname;
    if (const char* slash = std::strrchr(name, '/'))
        name = slash + 1;
    spot.name = name;
    spot.base = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    spot.symbol = info.dli_sname;
    spot.symbolAddress = reinterpret_cast<std::uintptr_t>(info.dli_saddr);
    return true;
}

}  // namespace quillbox::crash
