#include "core/crash/CrashReporter.h"


#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>

#include "core/crash/OwnSymbols.h"
#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/platform/Output.h"
#include "core/platform/Process.h"
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

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Call stack lines "[module].OFFSET" of our own executable that the handler could not name
// get the name from the executable's symbol table, as the handler writes names it knows.
std::string nameOwnFrames(const std::string& report, const OwnSymbols& own, const std::string& module) {
    if (own.empty() || module.empty())
        return report;
    const std::string marker = "[" + module + "].";
    std::string out;
    out.reserve(report.size() + 256);
    std::size_t from = 0;
    while (from < report.size()) {
        std::size_t end = report.find('\n', from);
        end = end == std::string::npos ? report.size() : end + 1;
        std::string_view line(report.data() + from, end - from);
        std::size_t content = line.size();
        while (content > 0 && (line[content - 1] == '\n' || line[content - 1] == '\r'))
            --content;
        const std::size_t at = line.find(marker);
        const std::size_t digits = at == std::string_view::npos ? 0 : at + marker.size();
        std::size_t stop = digits;
        while (stop < content && isHexDigit(line[stop]))
            ++stop;
        // A call stack line (indented) that ends with the module position: no name was
        // written after it.
        if (at != std::string_view::npos && !line.empty() && line[0] == ' ' && stop == content &&
            stop - digits == 8) {
            const auto hit = own.at(std::strtoull(std::string(line.substr(digits, 8)).c_str(), nullptr, 16));
            if (hit) {
                char distance[24];
                std::snprintf(distance, sizeof distance, "+0x%llX", static_cast<unsigned long long>(hit->distance));
                out.append(line.substr(0, content));
                out += ' ' + hit->name + distance;
                out.append(line.substr(content));
                from = end;
                continue;
            }
        }
        out.append(line);
        from = end;
    }
    return out;
}

std::string ownExecutable() { return process::executablePath(); }

}  // namespace

std::string readableReport(const std::string& report, const std::string& executable) {
    if (executable.empty())
        return readableReport(report);
    const std::size_t slash = executable.rfind('/');
    return readableReport(nameOwnFrames(report, OwnSymbols(executable), executable.substr(slash + 1)));
}

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
        dialogs.messageBox(readableReport(report, ownExecutable()), kReportTitle, MessageIcon::Error,
                           MessageButtons::Ok);
    else
        dialogs.messageBox(kUnreadableReport, "", MessageIcon::Error, MessageButtons::Ok);
    return exported;
}

}  // namespace quillbox::crash
