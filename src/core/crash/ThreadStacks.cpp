#include "core/crash/ThreadStacks.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillbox::crash {
namespace {

// Enough for the handler's own work (unwinding, module look-up, formatting) with room
// to spare; a guard page below catches a handler that needs more.
constexpr std::size_t kAlternateStackSize = 256 * 1024;

std::atomic<bool> newThreadsPrepared{false};

struct ThreadState {
    void* mapping = nullptr;
    std::size_t mappingSize = 0;
    StackBounds bounds;
};
// Initial-exec: read from a signal handler, which must not allocate the variable.
thread_local ThreadState threadState __attribute__((tls_model("initial-exec")));

std::size_t pageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

void recordBounds() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
        return;
    void* low = nullptr;
    std::size_t size = 0;
    std::size_t guard = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0) {
        threadState.bounds.low = reinterpret_cast<std::uintptr_t>(low);
        if (pthread_attr_getguardsize(&attr, &guard) == 0)
            threadState.bounds.guard = guard;
    }
    pthread_attr_destroy(&attr);
}

void releaseAlternateStack() {
    ThreadState& state = threadState;
    if (state.mapping == nullptr)
        return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(state.mapping, state.mappingSize);
    state.mapping = nullptr;
}

// Runs a new thread's start routine once the thread has its alternate stack; gives the
// stack back however the thread ends (return, pthread_exit or cancellation all unwind
// through here).
struct StartRequest {
    void* (*start)(void*);
    void* argument;
};

struct PreparedThread {
    PreparedThread() { prepareCurrentThread(); }
    ~PreparedThread() { releaseAlternateStack(); }
};

void* startPrepared(void* raw) {
    const StartRequest request = *static_cast<StartRequest*>(raw);
    delete static_cast<StartRequest*>(raw);
    PreparedThread prepared;
    return request.start(request.argument);
}

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);

SigactionFunction realSigaction() {
    static const SigactionFunction real = reinterpret_cast<SigactionFunction>(dlsym(RTLD_NEXT, "sigaction"));
    return real;
}

bool isFaultSignal(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL || signal == SIGTRAP ||
           signal == SIGABRT;
}

CreateFunction realCreate() {
    static const CreateFunction real = reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    return real;
}

}  // namespace

StackBounds currentStackBounds() { return threadState.bounds; }

bool prepareCurrentThread() {
    ThreadState& state = threadState;
    recordBounds();
    if (state.mapping != nullptr)
        return true;
    const std::size_t guard = pageSize();
    const std::size_t total = kAlternateStackSize + guard;
    void* mapping = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED)
        return false;
    mprotect(mapping, guard, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + guard;
    stack.ss_size = kAlternateStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(mapping, total);
        return false;
    }
    state.mapping = mapping;
    state.mappingSize = total;
    return true;
}

void prepareNewThreads() {
    realCreate();  // resolve now, not on the first thread a library starts
    realSigaction();
    newThreadsPrepared.store(true);
}

}  // namespace quillbox::crash

// Every thread of the process, whoever starts it, passes here once the handler is installed.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* argument) {
    using namespace quillbox::crash;
    const CreateFunction real = realCreate();
    if (real == nullptr)
        return EAGAIN;
    if (!newThreadsPrepared.load())
        return real(thread, attr, start, argument);
    auto* request = new (std::nothrow) StartRequest{start, argument};
    if (request == nullptr)
        return real(thread, attr, start, argument);
    const int rc = real(thread, attr, &startPrepared, request);
    if (rc != 0)
        delete request;
    return rc;
}

// A library that catches faults itself (JavaScriptCore does, and passes on what is not its
// own) must run its handler on the alternate stack too, or a stack overflow after it
// installed its handler could not be reported: every fault handler gets SA_ONSTACK.
extern "C" int sigaction(int signal, const struct sigaction* action, struct sigaction* previous) {
    using namespace quillbox::crash;
    const SigactionFunction real = realSigaction();
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    if (action == nullptr || !newThreadsPrepared.load() || !isFaultSignal(signal) ||
        (action->sa_flags & SA_ONSTACK) != 0 ||
        ((action->sa_flags & SA_SIGINFO) == 0 && (action->sa_handler == SIG_DFL || action->sa_handler == SIG_IGN)))
        return real(signal, action, previous);
    struct sigaction onStack = *action;
    onStack.sa_flags |= SA_ONSTACK;
    return real(signal, &onStack, previous);
}
