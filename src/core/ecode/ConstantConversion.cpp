#include "core/ecode/ConstantConversion.h"

#include <ctime>

#include "core/ecode/CallWrapper.h"
#include "core/platform/Process.h"
#include "core/project/ProjectStore.h"

namespace quillbox::ecode {
namespace {

constexpr std::string_view kRule = "//========================\r\n";
constexpr std::string_view kLabelIndent = "//       ";
constexpr std::string_view kVersionLine = "\r\n//Quillbox1.30\r\n";
constexpr std::string_view kRemark = "代码由 Quillbox生成 by Zorvan";

void appendBanner(std::string& out, std::string_view label) {
    out += kRule;
    out += kLabelIndent;
    out += label;
    out += "\r\n";
    out += kRule;
}

}  // namespace

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm parts = process::localTime(now);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string timeStampLine(const LocalTime& t) {
    return "//" + std::to_string(t.year) + "/" + std::to_string(t.month) + "/" + std::to_string(t.day) + " " +
           std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second);
}

std::string constantValue(std::string_view project, const std::vector<ConstantModule>& modules,
                          const LocalTime& time) {
    std::size_t size = 256 + 2 * project.size();
    for (const ConstantModule& m : modules)
        size += m.name.size() + m.code.size() + 80;
    std::string value;
    value.reserve(size);

    appendBanner(value, "START   " + std::string(project));
    value += "\r\n";
    for (const ConstantModule& m : modules) {
        appendBanner(value, m.name + ".js");
        value += m.code;
        value += m.lastPage ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n";
    }
    value += "\r\n";
    appendBanner(value, "END   " + std::string(project));
    value += kVersionLine;
    value += timeStampLine(time);
    return value;
}

std::vector<ConstantModule> projectModules(const ProjectStore& store, const std::string& project) {
    // The modules as export takes them: pages matched by the project and module they
    // belong to, not by page name, in one pass however many modules there are.
    std::vector<ConstantModule> modules;
    for (project_file::ExportedModule& m : store.exportModules(project))
        modules.push_back({std::move(m.name), std::move(m.code), m.lastPage});
    return modules;
}

EConstant projectConstant(const ProjectStore& store, const std::string& project, const LocalTime& time) {
    return {"常量_JS_" + sanitizeName(project), constantValue(project, projectModules(store, project), time),
            std::string(kRemark)};
}

bool convertCurrentProject(const ProjectStore& store, Clipboard& clipboard, Output& output, const LocalTime& time) {
    if (store.currentPagePosition() == 0)
        return false;
    const bool written = placeConstantOnClipboard(clipboard, projectConstant(store, store.currentProject(), time));
    output.messageLine(written ? "转换易常量成功" : "转换易常量失败");
    return written;
}

}  // namespace quillbox::ecode
