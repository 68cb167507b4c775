#include "core/crash/CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include "core/crash/CrashNotes.h"
#include "core/crash/CrashReport.h"
#include "core/crash/ThreadStacks.h"

extern char** environ;

namespace quillbox::crash {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr int kMaxFrames = 64;
constexpr std::size_t kPathCapacity = 4096;

// Everything the handler touches is made before the crash: it must not allocate.
struct HandlerState {
    char reportDirectory[kPathCapacity] = {};
    char executable[kPathCapacity] = {};
    char reporterSwitch[64] = {};
    char reportPath[kPathCapacity] = {};
    bool toStandardError = false;
    long utcOffsetSeconds = 0;
    ImageRange executableRange;
    char report[96 * 1024] = {};
    void* rawFrames[kMaxFrames + 8] = {};
    std::uintptr_t frames[kMaxFrames + 8] = {};
};
HandlerState state;
std::atomic<bool> installedFlag{false};
std::atomic<long> crashingThread{0};

long threadId() { return syscall(SYS_gettid); }

// Only the first fault reports. The thread that reports and faults again dies at once;
// any other thread waits for the process to end.
bool enterHandler() {
    const long self = threadId();
    long expected = 0;
    if (crashingThread.compare_exchange_strong(expected, self))
        return true;
    if (expected == self)
        return false;
    for (;;)
        pause();
}

[[noreturn]] void dieOf(int signal) {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    syscall(SYS_tgkill, getpid(), threadId(), signal);
    _exit(128 + signal);
}

// ---- delivery -------------------------------------------------------------------------

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm): no time zone
// functions, which may lock or allocate.
void civilDate(long days, long& year, unsigned& month, unsigned& day) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<long>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

void twoDigits(ReportBuffer& out, unsigned value) {
    out.character(static_cast<char>('0' + value / 10 % 10));
    out.character(static_cast<char>('0' + value % 10));
}

void formReportPath() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long local = static_cast<long>(now.tv_sec) + state.utcOffsetSeconds;
    long year = 0;
    unsigned month = 0, day = 0;
    civilDate(local / 86400 - (local % 86400 < 0 ? 1 : 0), year, month, day);
    long seconds = local % 86400;
    if (seconds < 0)
        seconds += 86400;
    ReportBuffer path(state.reportPath, sizeof state.reportPath);
    path.text(state.reportDirectory);
    path.character('/');
    path.text(kReportFilePrefix);
    path.decimal(static_cast<std::uint64_t>(year));
    twoDigits(path, month);
    twoDigits(path, day);
    path.character('-');
    twoDigits(path, static_cast<unsigned>(seconds / 3600));
    twoDigits(path, static_cast<unsigned>(seconds / 60 % 60));
    twoDigits(path, static_cast<unsigned>(seconds % 60));
    path.character('-');
    path.decimal(static_cast<std::uint64_t>(getpid()));
    path.text(".txt");
}

bool writeReportFile(const ReportBuffer& report) {
    mkdir(state.reportDirectory, 0700);
    formReportPath();
    const int fd = open(state.reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    writeAll(fd, report.data(), report.size());
    fsync(fd);
    close(fd);
    return true;
}

// fork through the system call itself: the C library's fork runs the program's fork
// handlers, which take locks the crashed thread may hold.
void runReporter() {
    char* argv[] = {state.executable, state.reporterSwitch, state.reportPath, nullptr};
    const long pid = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (pid < 0)
        return;
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(state.executable, argv, environ);
        _exit(127);
    }
    int status = 0;
    while (waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
    }
}

void deliver(const ReportBuffer& report) {
    if (state.toStandardError)
        writeAll(STDERR_FILENO, report.data(), report.size());
    if (state.reportDirectory[0] == '\0' || !writeReportFile(report))
        return;
    if (state.reporterSwitch[0] != '\0' && state.executable[0] != '\0')
        runReporter();
}

// ---- the report -----------------------------------------------------------------------

void report(const Fault& fault) {
    ReportBuffer out(state.report, sizeof state.report);
    formatReport(fault, attachedLines(), state.executableRange, out);
    deliver(out);
}

// Stack frames from `first` on, as addresses.
int takeFrames(int first, int count) {
    int n = 0;
    for (int i = first; i < count && n < kMaxFrames; ++i)
        state.frames[n++] = reinterpret_cast<std::uintptr_t>(state.rawFrames[i]);
    return n;
}

// ---- faults -------------------------------------------------------------------------

struct MachineState {
    std::uintptr_t instruction = 0;
    std::uintptr_t stack = 0;
    long trap = -1;
    unsigned long error = 0;
};

MachineState machineState(const void* context) {
    MachineState m;
    const auto* uc = static_cast<const ucontext_t*>(context);
    if (uc == nullptr)
        return m;
#if defined(__x86_64__)
    m.instruction = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
    m.stack = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
    m.trap = static_cast<long>(uc->uc_mcontext.gregs[REG_TRAPNO]);
    m.error = static_cast<unsigned long>(uc->uc_mcontext.gregs[REG_ERR]);
#elif defined(__aarch64__)
    m.instruction = static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
    m.stack = static_cast<std::uintptr_t>(uc->uc_mcontext.sp);
#endif
    return m;
}

void onSignal(int signal, siginfo_t* info, void* context) {
    if (!enterHandler())
        dieOf(signal);
    const MachineState machine = machineState(context);
    const StackBounds bounds = currentStackBounds();

    SignalFacts facts;
    facts.signal = signal;
    facts.code = info ? info->si_code : 0;
    facts.trapNumber = machine.trap;
    facts.errorCode = machine.error;
    facts.faultAddress = info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
    facts.stackPointer = machine.stack;
    facts.stackLow = bounds.low;
    facts.stackGuard = bounds.guard;
    // The instruction is read only when it lies in a loaded module, so reading it
    // cannot fault again.
    ModuleSpot spot;
    if (signal == SIGSEGV && locate(machine.instruction, spot)) {
        facts.instruction = reinterpret_cast<const unsigned char*>(machine.instruction);
        facts.instructionLength = 15;
    }

    Fault fault;
    fault.kind = classify(facts);
    fault.signal = signal;
    fault.targetAddress = facts.faultAddress;
    fault.address = machine.instruction;
    fault.parameters[0] = {static_cast<std::uint32_t>(facts.code), false};
    if (facts.code > 0)
        fault.parameters[1] = {facts.faultAddress, true};
    else
        fault.parameters[1] = {static_cast<std::uint32_t>(info ? info->si_pid : 0), false};
    fault.parameterCount = 2;

    // The unwinder passes through the signal frame; the frames that matter start at the
    // faulting instruction.
    const int count = backtrace(state.rawFrames, kMaxFrames + 8);
    int first = -1;
    for (int i = 0; i < count; ++i) {
        if (reinterpret_cast<std::uintptr_t>(state.rawFrames[i]) == machine.instruction) {
            first = i;
            break;
        }
    }
    if (first >= 0) {
        fault.frameCount = takeFrames(first, count);
    } else {
        state.frames[0] = machine.instruction;
        fault.frameCount = 1;
    }
    fault.frames = state.frames;
    report(fault);
    dieOf(signal);
}

// ---- exceptions nobody caught -------------------------------------------------------

bool inRuntimeSupport(std::uintptr_t address) {
    ModuleSpot spot;
    return locate(address - 1, spot) &&
           (std::strncmp(spot.name, "libstdc++", 9) == 0 || std::strncmp(spot.name, "libgcc_s", 8) == 0);
}

// The frame that threw: the first frame after the C++ runtime's own (the throw, the
// search for a handler, std::terminate).
int throwSite(int count) {
    int i = 1;
    while (i < count && !inRuntimeSupport(reinterpret_cast<std::uintptr_t>(state.rawFrames[i])))
        ++i;
    if (i == count)
        return count > 1 ? 1 : 0;
    while (i < count && inRuntimeSupport(reinterpret_cast<std::uintptr_t>(state.rawFrames[i])))
        ++i;
    return i < count ? i : 1;
}

void onTerminate() {
    if (!enterHandler())
        dieOf(SIGABRT);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const bool thrown = describeCurrentException();
    const int count = backtrace(state.rawFrames, kMaxFrames + 8);
    Fault fault;
    fault.kind = thrown ? FaultKind::UncaughtException : FaultKind::Other;
    fault.signal = SIGABRT;
    fault.frameCount = takeFrames(throwSite(count), count);
    fault.frames = state.frames;
    fault.address = fault.frameCount > 0 ? state.frames[0] : 0;
    report(fault);
    dieOf(SIGABRT);
}

// ---- installation -------------------------------------------------------------------

int findExecutable(dl_phdr_info* info, std::size_t, void* data) {
    // The executable comes first, with an empty name.
    auto* range = static_cast<ImageRange*>(data);
    std::uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& h = info->dlpi_phdr[i];
        if (h.p_type != PT_LOAD)
            continue;
        const std::uintptr_t from = info->dlpi_addr + h.p_vaddr;
        if (from < low)
            low = from;
        if (from + h.p_memsz > high)
            high = from + h.p_memsz;
    }
    if (high > low)
        *range = ImageRange{low, high};
    return 1;
}

long utcOffset() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_gmtoff;
}

}  // namespace

bool install(const CrashOptions& options) {
    if (installedFlag.load())
        return true;
    copyText(state.reportDirectory, sizeof state.reportDirectory, options.reportDirectory);
    copyText(state.reporterSwitch, sizeof state.reporterSwitch, options.reporterSwitch);
    state.toStandardError = options.toStandardError;
    if (options.reporterProgram.empty()) {
        const ssize_t n = readlink("/proc/self/exe", state.executable, sizeof state.executable - 1);
        state.executable[n > 0 ? n : 0] = '\0';
    } else {
        copyText(state.executable, sizeof state.executable, options.reporterProgram);
    }
    dl_iterate_phdr(&findExecutable, &state.executableRange);
    state.utcOffsetSeconds = utcOffset();
    // The first backtrace loads the unwinder, which allocates: do it now.
    void* warm[2];
    backtrace(warm, 2);

    prepareCurrentThread();
    prepareNewThreads();
    struct sigaction action {};
    action.sa_sigaction = &onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals)
        sigaddset(&action.sa_mask, s);
    // A report to a standard error nobody reads any more must not end the process with
    // SIGPIPE instead of its own signal.
    sigaddset(&action.sa_mask, SIGPIPE);
    bool ok = true;
    for (int s : kSignals)
        ok = sigaction(s, &action, nullptr) == 0 && ok;
    std::set_terminate(&onTerminate);
    installedFlag.store(true);
    return ok;
}

bool installed() { return installedFlag.load(); }

}  // namespace quillbox::crash
