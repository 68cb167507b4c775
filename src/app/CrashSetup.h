#pragma once
// The desktop's side of the crash handler: installing it at start, the crash reporter
// process, and the faults testers ask for with --fault KIND.
#include <QStringList>
#include <string>

namespace quillbox::app {

inline constexpr const char* kCrashReportSwitch = "--crash-report";
inline constexpr const char* kFaultSwitch = "--fault";

// Report files go to crash/ under the home directory; the reporter is this program.
void installCrashHandler();

// `quillbox --crash-report FILE`: the reporter's dialogue (core/crash/CrashReporter.h).
int runCrashReporter(int argc, char** argv);

// The command line split into a fault asked for ("" when none) and the files to import.

// Makes the fault once the event loop runs, that is once start-up has finished. An
// unknown kind is said on standard error and faults nothing.
void scheduleFault(const std::string& kind);

}  // namespace quillbox::app
