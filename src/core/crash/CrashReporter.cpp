#include "core/crash/CrashReporter.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionFile.h"
#include "core/session/SessionStart.h"

namespace quillbox::crash {

namespace {

// The C++ name of a linker symbol, or the symbol itself when it is none.
std::string demangled(const std::string& symbol) {
    int status = 0;
    char* name = abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status);
    std::string result = status == 0 && name ? name : symbol;
    std::free(name);
    return result;
}

}  // namespace

std::string readableReport(const std::string& report) {
    std::string out;
    out.reserve(report.size() * 2);
    std::size_t from = 0;
    while (from < report.size()) {
        const std::size_t symbol = report.find(" _Z", from);
        if (symbol == std::string::npos) {
            out.append(report, from, std::string::npos);
            break;
        }
        out.append(report, from, symbol + 1 - from);
        std::size_t end = report.find_first_of("+\r\n", symbol + 1);
        if (end == std::string::npos)
            end = report.size();
        out += demangled(report.substr(symbol + 1, end - symbol - 1));
        from = end;
    }
    return out;
}

SessionLoader sessionLoader(const std::string& path) {
    return [path](ProjectStore& store) {
        const session::ReadResult read = session::readSession(path);
        if (read.status != session::ReadStatus::Ok)
            return false;
        RecordingOutput ignored;  // nobody reads the output box of the reporter
        return session::restoreSession(store, ignored, read.session) > 0;
    };
}

bool runReporter(const std::string& reportPath, Dialogs& dialogs, const SessionLoader& loadSession) {
    // The store only has to hand the modules' code to the export: pages in memory do.
    ProjectStore store(dialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    if (loadSession)
        loadSession(store);
    const bool exported = store.crashSavePoint();
    std::string report;
    if (files::readAll(reportPath, report) && !report.empty())
        dialogs.messageBox(readableReport(report), kReportTitle, MessageIcon::Error, MessageButtons::Ok);
    else
        dialogs.messageBox(kUnreadableReport, "", MessageIcon::Error, MessageButtons::Ok);
    return exported;
}

}  // namespace quillbox::crash
