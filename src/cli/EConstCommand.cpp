// quillbox-cli econst: a project's script as an E text constant, in an E project image.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/ecode/ConstantConversion.h"
#include "core/ecode/FileClipboard.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "econst";

int runEConst(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string out = "-";
    bool valueOnly = false;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "--value") {
            valueOnly = true;
        } else {
            if (value.empty())
                return usage(kName, "-o needs a file name");
            out = value;
        }
        return kOk;
    };
    if (const int status =
            parseArguments(kName, args, {{"-o", true, "-o needs a file name"}, {"--value"}}, onOption, operands);
        status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;

    CommandProject project;
    if (!project.load(kName, operands[0], false))
        return kFailed;

    const ecode::EConstant constant = ecode::projectConstant(project.store(), project.name(), ecode::localTimeNow());
    if (valueOnly)
        return writeOutput(kName, out, constant.value) ? kOk : kFailed;

    ecode::FileClipboard clipboard(std::cout);
    clipboard.route(std::string(ecode::kEClipFormat), out);
    if (!ecode::placeConstantOnClipboard(clipboard, constant))
        return fail(kName, clipboard.error().empty() ? "no E image could be built" : clipboard.error());
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
