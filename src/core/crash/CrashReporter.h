#pragma once
// The crash reporter: the separate process the crash handler starts with the report file
// (`quillbox --crash-report FILE`). The crashed process can no longer be trusted to draw
// a window or read its own projects, so the reporter takes them from the session the
// program kept on disk, gives the user the one chance to export the project that was
// current, then shows the report. The session itself stays, so the next start brings
// every project back anyway.
#include <functional>
#include <string>

namespace quillbox {
class Dialogs;
class ProjectStore;
}

namespace quillbox::crash {

// Fills an empty store with the projects the crashed process had open and shows the page
// that was current; false when there was nothing to restore.
using SessionLoader = std::function<bool(ProjectStore& store)>;

// The report as the user reads it: the handler could only write the symbols of the call
// stack as the linker knows them (_ZN...); here they are turned back into C++ names.
std::string readableReport(const std::string& report);
// The same, with the frames of `executable` (the file the crashed program ran from, which the
// reporter also runs from) that the handler left unnamed named from its symbol table.
std::string readableReport(const std::string& report, const std::string& executable);

// The projects of the session file at `path` (the session store's own restore): what the
// desktop's reporter uses.
SessionLoader sessionLoader(const std::string& path);

inline constexpr const char* kReportTitle = "程序异常：";
inline constexpr const char* kUnreadableReport = "程序发生严重错误，无法获取异常信息，程序准备关闭";

// The reporter's whole dialogue: "程序崩溃,请选择项目保存点", the export of the current
// project (its question or the save dialog), then the report in a box titled "程序异常："
// (readable, as above; or, when the file cannot be read, the notice that nothing is known). Returns whether
// a project was exported.
bool runReporter(const std::string& reportPath, Dialogs& dialogs, const SessionLoader& loadSession);

}  // namespace quillbox::crash
