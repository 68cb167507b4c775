#include "core/crash/CrashReporter.h"

#include <memory>

#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionFile.h"
#include "core/session/SessionStart.h"

namespace quillbox::crash {

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
        dialogs.messageBox(report, kReportTitle, MessageIcon::Error, MessageButtons::Ok);
    else
        dialogs.messageBox(kUnreadableReport, "", MessageIcon::Error, MessageButtons::Ok);
    return exported;
}

}  // namespace quillbox::crash
