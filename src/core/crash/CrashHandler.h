#pragma once
// The crash handler: catches a fault on any thread (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGTRAP, SIGABRT) and an exception nobody caught, writes the report (CrashReport.h),
// hands it on, and lets the process die of its signal so that the system's crash tools
// still see what happened.
//
// Where the report goes is the front end's choice: the desktop writes it to crash/ under
// the home directory and starts itself as the crash reporter with the file
// (`quillbox --crash-report FILE`), waiting until the user is done with it; the command
// line writes it to standard error.
#include <string>

namespace quillbox::crash {

struct CrashOptions {
    // A directory for the report file ("" for none). Created when the crash comes.
    std::string reportDirectory;
    // Write the report to standard error as well.
    bool toStandardError = false;
    // When not empty and a report file was written: start this executable with this
    // switch and the file's path, and wait for it to end.
    std::string reporterSwitch;
    // The reporter program; "" for this executable (/proc/self/exe, resolved now).
    std::string reporterProgram;
};

// Installs the handler for the whole process; call it once, early, on the main thread.
// False when the signal handlers could not be set (the program runs on without them).
bool install(const CrashOptions& options);
bool installed();

// The start-up stage now beginning, shown as the first line of the report's attached
// information; `secondLine` adds it below the current first line instead.
void recordStage(const std::string& stage, bool secondLine = false);

// Report files are named crash-YYYYMMDD-HHMMSS-PID.txt (local time).
inline constexpr const char* kReportFilePrefix = "crash-";

}  // namespace quillbox::crash
