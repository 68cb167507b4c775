#pragma once
// The script-to-constant command: all modules of the current project joined into one
// script, framed by banner comments, and put on the clipboard as one E text constant,
// "常量_JS_" and the sanitized project name. The call wrappers load that constant.
#include <string>
#include <string_view>
#include <vector>

#include "core/ecode/EImage.h"
#include "core/platform/Clipboard.h"
#include "core/platform/Output.h"

namespace quillbox {
class ProjectStore;
}

namespace quillbox::ecode {

// A moment of local time, as the time stamp line shows it.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime localTimeNow();
// "//2024/3/5 9:7:0": no leading zeros.
std::string timeStampLine(const LocalTime& time);

// One module as it goes into the constant.
struct ConstantModule {
    std::string name;  // without ".js"
    std::string code;
    bool lastPage = false;  // its page is the last page of the page list: one CR LF after it, not five
};

// The constant's value: the START banner, each module's banner, code and separator, the
// END banner, "//Quillbox1.30" and the time stamp (no line break after it).
std::string constantValue(std::string_view project, const std::vector<ConstantModule>& modules,
                          const LocalTime& time);

// The modules of a project in module order, each with the code of its own page. A module
// without a page is left out; a name listed twice takes the next page of that name.
std::vector<ConstantModule> projectModules(const ProjectStore& store, const std::string& project);

// Name, value and remark of the constant for a project.
EConstant projectConstant(const ProjectStore& store, const std::string& project, const LocalTime& time);

// The whole command on the current page's project: nothing without a current page;
// otherwise the constant goes to the clipboard and "转换易常量成功" is written, or
// "转换易常量失败" when the clipboard could not be written. True when it was written.
bool convertCurrentProject(const ProjectStore& store, Clipboard& clipboard, Output& output, const LocalTime& time);

}  // namespace quillbox::ecode
