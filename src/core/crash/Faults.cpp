#include "core/crash/Faults.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace quillbox::crash {
namespace {

// Read through volatiles, so the compiler cannot see the fault coming and replace it
// with a trap of its own.
volatile std::uintptr_t nullAddress = 0;
volatile int zero = 0;
volatile int one = 1;
volatile int endlessDepth = -1;
volatile int quotient = 0;

[[gnu::noinline]] void writeNull() { *reinterpret_cast<volatile int*>(nullAddress) = 1; }

[[gnu::noinline]] int readNull() { return *reinterpret_cast<volatile int*>(nullAddress); }

[[gnu::noinline]] void divide() { quotient = one / zero; }

[[gnu::noinline]] int recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == endlessDepth)
        return 0;
    return recurse(depth + 1) + frame[0];
}

[[gnu::noinline]] void throwUncaught() { throw std::runtime_error("fault on purpose"); }

[[gnu::noinline]] void illegalInstruction() {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("ud2");
#else
    __builtin_trap();
#endif
}

[[gnu::noinline]] void privilegedInstruction() {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("hlt");
#endif
}

[[gnu::noinline]] void breakpoint() {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("int3");
#endif
}

void onNewThread(void (*body)()) {
    std::thread thread(body);
    thread.join();
}

void recurseForever() { recurse(0); }

}  // namespace

const std::vector<std::string>& faultKinds() {
    static const std::vector<std::string> kinds = {"write",        "read",    "divide",     "stack",
                                                   "abort",        "throw",   "thread-write", "thread-stack",
                                                   "illegal",      "privileged", "breakpoint"};
    return kinds;
}

bool makeFault(const std::string& kind) {
    if (kind == "write")
        writeNull();
    else if (kind == "read")
        readNull();
    else if (kind == "divide")
        divide();
    else if (kind == "stack")
        recurse(0);
    else if (kind == "abort")
        std::abort();
    else if (kind == "throw")
        throwUncaught();
    else if (kind == "thread-write")
        onNewThread(&writeNull);
    else if (kind == "thread-stack")
        onNewThread(&recurseForever);
    else if (kind == "illegal")
        illegalInstruction();
    else if (kind == "privileged")
        privilegedInstruction();
    else if (kind == "breakpoint")
        breakpoint();
    else
        return false;
    return true;
}

}  // namespace quillbox::crash
