#pragma once
// The window's conversion command on the project store: the selected module, or the selected
// project, converted for the native engine into NEW modules or a NEW project. The original's
// modules are read, never written. The report goes to the output box.
//
// Three steps for the threads: the target is taken on the window's side, converted where the
// engines live, and placed back on the window's side.
#include <string>
#include <vector>

#include "core/convert/Convert.h"

namespace quillbox {
class Output;
class ProjectStore;
}  // namespace quillbox

namespace quillbox::convert {

inline constexpr const char* kConvertCommand = "转换为旧引擎代码";

struct ConvertTarget {
    std::string refusal;  // why nothing can be converted ("" when something can)
    std::string project;
    std::string module;   // the one module; "" for the whole project
    std::vector<SourceModule> modules;
};

struct ConvertOutcome {
    Conversion conversion;
    RunCheck check;
};

// What the tree's selection names: a module (or a function or member under it) converts that
// module, a project node the whole project. Texts are taken now.
ConvertTarget convertTarget(const ProjectStore& store);

// The conversion and the load check in the native engine (where the engines live), both
// under the converter's stop.
ConvertOutcome runConversion(Converter& converter, const ConvertTarget& target);

// Writes the result as new modules beside the original module ("name_旧引擎", with the shims
// in "旧引擎补丁") or as a new project ("project_旧引擎") whose first module holds the shims; a
// name already taken gets a number. Writes the report lines. Returns the new project's or
// module's name, "" when nothing was written (the conversion failed).
std::string placeConversion(ProjectStore& store, const ConvertTarget& target, const ConvertOutcome& outcome,
                            Output& output);

}  // namespace quillbox::convert
