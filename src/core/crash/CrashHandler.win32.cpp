// The crash handler on Windows: an unhandled-exception filter for faults on any thread and
// std::terminate for exceptions nobody caught. It writes the same report as on Linux
// (CrashReport.h), with the call stack unwound from the fault's own context, and lets the
// process end with the exception's code.
#include "core/crash/CrashHandler.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "core/crash/CrashNotes.h"
#include "core/crash/CrashReport.h"
#include "core/crash/ThreadStacks.h"
#include "core/platform/Process.h"
#include "core/platform/WindowsText.h"

namespace quillbox::crash {
namespace {

constexpr int kMaxFrames = 64;
constexpr std::size_t kPathCapacity = 4096;

struct HandlerState {
    wchar_t reportDirectory[kPathCapacity] = {};
    wchar_t executable[kPathCapacity] = {};
    wchar_t reporterSwitch[64] = {};
    wchar_t reportPath[kPathCapacity] = {};
    bool toStandardError = false;
    ImageRange executableRange;
    char report[96 * 1024] = {};
    std::uintptr_t frames[kMaxFrames] = {};
    CONTEXT unwound;
};
HandlerState state;
std::atomic<bool> installedFlag{false};
std::atomic<DWORD> crashingThread{0};

void copyWide(wchar_t* to, std::size_t capacity, const std::string& from) {
    const std::wstring w = platform::wide(from);
    const std::size_t n = w.size() < capacity - 1 ? w.size() : capacity - 1;
    std::wmemcpy(to, w.data(), n);
    to[n] = L'\0';
}

// Only the first fault reports; a second one on the reporting thread ends the process.
bool enterHandler() {
    const DWORD self = GetCurrentThreadId();
    DWORD expected = 0;
    if (crashingThread.compare_exchange_strong(expected, self))
        return true;
    if (expected == self)
        return false;
    for (;;)
        Sleep(INFINITE);
}

void writeAll(HANDLE to, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(to, data, static_cast<DWORD>(size), &n, nullptr) || n == 0)
            return;
        data += n;
        size -= n;
    }
}

void formReportPath() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t name[96];
    swprintf(name, 96, L"/%hs%04u%02u%02u-%02u%02u%02u-%lu.txt", kReportFilePrefix, t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond, GetCurrentProcessId());
    wcsncpy(state.reportPath, state.reportDirectory, kPathCapacity - 1);
    wcsncat(state.reportPath, name, kPathCapacity - 1 - wcslen(state.reportPath));
}

bool writeReportFile(const ReportBuffer& report) {
    CreateDirectoryW(state.reportDirectory, nullptr);
    formReportPath();
    const HANDLE file = CreateFileW(state.reportPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    writeAll(file, report.data(), report.size());
    FlushFileBuffers(file);
    CloseHandle(file);
    return true;
}

void runReporter() {
    wchar_t commandLine[3 * kPathCapacity];
    swprintf(commandLine, 3 * kPathCapacity, L"\"%ls\" %ls \"%ls\"", state.executable, state.reporterSwitch,
             state.reportPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(state.executable, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

void deliver(const ReportBuffer& report) {
    if (state.toStandardError)
        writeAll(GetStdHandle(STD_ERROR_HANDLE), report.data(), report.size());
    if (state.reportDirectory[0] == L'\0' || !writeReportFile(report))
        return;
    if (state.reporterSwitch[0] != L'\0' && state.executable[0] != L'\0')
        runReporter();
}

void report(const Fault& fault) {
    ReportBuffer out(state.report, sizeof state.report);
    formatReport(fault, attachedLines(), state.executableRange, out);
    deliver(out);
}

// The frames from the context outwards, by the unwind tables every x64 function has.
int unwind(const CONTEXT& from) {
    state.unwound = from;
    CONTEXT& c = state.unwound;
    int n = 0;
    while (n < kMaxFrames && c.Rip != 0) {
        state.frames[n++] = static_cast<std::uintptr_t>(c.Rip);
        DWORD64 base = 0;
        PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(c.Rip, &base, nullptr);
        if (!entry) {
            // A leaf function: the return address is on top of the stack.
            c.Rip = *reinterpret_cast<DWORD64*>(c.Rsp);
            c.Rsp += 8;
            continue;
        }
        void* handlerData = nullptr;
        DWORD64 frame = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, c.Rip, entry, &c, &handlerData, &frame, nullptr);
    }
    return n;
}

FaultKind kindOf(const EXCEPTION_RECORD& r) {
    switch (r.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
        return r.NumberParameters > 0 && r.ExceptionInformation[0] == 1 ? FaultKind::MemoryWrite
                                                                        : FaultKind::MemoryRead;
    case EXCEPTION_STACK_OVERFLOW: return FaultKind::StackOverflow;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: return FaultKind::DivideByZero;
    case EXCEPTION_ILLEGAL_INSTRUCTION: return FaultKind::IllegalInstruction;
    case EXCEPTION_PRIV_INSTRUCTION: return FaultKind::PrivilegedInstruction;
    case EXCEPTION_BREAKPOINT: return FaultKind::Breakpoint;
    default: return FaultKind::Other;
    }
}

LONG WINAPI onException(EXCEPTION_POINTERS* pointers) {
    if (!enterHandler())
        TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    const EXCEPTION_RECORD& r = *pointers->ExceptionRecord;
    Fault fault;
    fault.kind = kindOf(r);
    fault.signal = static_cast<int>(r.ExceptionCode);
    fault.address = reinterpret_cast<std::uintptr_t>(r.ExceptionAddress);
    if (fault.kind == FaultKind::MemoryRead || fault.kind == FaultKind::MemoryWrite)
        fault.targetAddress = r.NumberParameters > 1 ? static_cast<std::uintptr_t>(r.ExceptionInformation[1]) : 0;
    for (DWORD i = 0; i < r.NumberParameters && i < 4; ++i)
        fault.parameters[i] = {static_cast<std::uint64_t>(r.ExceptionInformation[i]), i == 1};
    fault.parameterCount = static_cast<int>(r.NumberParameters < 4 ? r.NumberParameters : 4);
    fault.frameCount = unwind(*pointers->ContextRecord);
    fault.frames = state.frames;
    report(fault);
    TerminateProcess(GetCurrentProcess(), r.ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void onTerminate() {
    if (!enterHandler())
        TerminateProcess(GetCurrentProcess(), 3);
    const bool thrown = describeCurrentException();
    CONTEXT here;
    RtlCaptureContext(&here);
    Fault fault;
    fault.kind = thrown ? FaultKind::UncaughtException : FaultKind::Other;
    fault.signal = 3;
    fault.frameCount = unwind(here);
    // The frames of this handler and of the runtime's terminate say nothing.
    int first = 0;
    ModuleSpot spot;
    while (first + 1 < fault.frameCount && locate(state.frames[first], spot) && state.executableRange.contains(state.frames[first]) &&
           first < 3)
        ++first;
    fault.frames = state.frames + first;
    fault.frameCount -= first;
    fault.address = fault.frameCount > 0 ? fault.frames[0] : 0;
    report(fault);
    TerminateProcess(GetCurrentProcess(), 3);
    std::abort();
}

}  // namespace

bool install(const CrashOptions& options) {
    if (installedFlag.load())
        return true;
    copyWide(state.reportDirectory, kPathCapacity, options.reportDirectory);
    copyWide(state.reporterSwitch, 64, options.reporterSwitch);
    state.toStandardError = options.toStandardError;
    copyWide(state.executable, kPathCapacity,
             options.reporterProgram.empty() ? process::executablePath() : options.reporterProgram);
    if (const HMODULE self = GetModuleHandleW(nullptr)) {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(self);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(self) + dos->e_lfanew);
        const auto low = reinterpret_cast<std::uintptr_t>(self);
        state.executableRange = ImageRange{low, low + nt->OptionalHeader.SizeOfImage};
    }
    prepareCurrentThread();
    SetUnhandledExceptionFilter(&onException);
    std::set_terminate(&onTerminate);
    installedFlag.store(true);
    return true;
}

bool installed() { return installedFlag.load(); }

}  // namespace quillbox::crash
