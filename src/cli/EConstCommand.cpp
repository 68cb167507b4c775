// quillbox-cli econst: a project's script as an E text constant, in an E project image.
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/ecode/ConstantConversion.h"
#include "core/ecode/FileClipboard.h"
#include "core/project/ProjectSource.h"
#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "econst";

int runEConst(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string out = "-";
    bool valueOnly = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-o") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usage(kName, "-o needs a file name");
            out = args[++i];
        } else if (arg == "--value") {
            valueOnly = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(kName, "unknown option '" + arg + "'");
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 1)
        return usage(kName, operands.empty() ? "FILE is needed" : "only one FILE is taken");

    std::string bytes;
    if (!readInput(kName, operands[0], bytes))
        return kFailed;
    ScriptedDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, const std::string& code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    const ProjectSource source = addProjectSource(store, operands[0], bytes);
    if (!source.ok)
        return fail(kName, source.error);
    std::string().swap(bytes);

    const ecode::EConstant constant = ecode::projectConstant(store, source.project, ecode::localTimeNow());
    if (valueOnly)
        return writeOutput(kName, out, constant.value) ? kOk : kFailed;

    ecode::FileClipboard clipboard(std::cout);
    clipboard.route(std::string(ecode::kEClipFormat), out);
    if (!ecode::placeConstantOnClipboard(clipboard, constant))
        return fail(kName, clipboard.error().empty() ? "no E image could be built" : "cannot write " + clipboard.error());
    return kOk;
}

const CommandRegistration registration({
    kName,
    "write a project's script as an E text constant in an E project image",
    "Usage: quillbox-cli econst FILE [-o IMAGE] [--value]\n"
    "\n"
    "Joins the modules of the project in FILE into one script framed by banner comments,\n"
    "as the workbench's script-to-constant command does, and writes the E project image\n"
    "that holds it as the text constant 常量_JS_<project> (the bytes the workbench puts on\n"
    "the clipboard under \"EClipFormat\"). FILE is a project script file, or any other\n"
    "JavaScript file taken as a project of one module named after the file.\n"
    "\n"
    "  -o IMAGE  write to IMAGE (replaced whole only once complete) instead of standard\n"
    "            output\n"
    "  --value   write the constant's value as UTF-8 text instead of the image\n"
    "\n"
    "Exit status: 0 written; 1 FILE cannot be read or holds a project that cannot be\n"
    "imported, or IMAGE cannot be written; 2 bad usage.\n",
    runEConst,
});

}  // namespace
}  // namespace quillbox::cli
