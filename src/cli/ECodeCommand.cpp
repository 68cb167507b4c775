// quillbox-cli ecode: the E subroutine that calls a project's script.
#include <optional>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/ecode/CallWrapper.h"
#include "core/platform/Dialogs.h"
#include "core/text/Text.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "ecode";

int runECode(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    ecode::CallWrapperSettings settings;
    std::string expression;
    std::optional<std::string> typedName;
    bool gbk = false;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "--style") {
            const std::optional<ecode::CallStyle> style = ecode::parseCallStyle(value);
            if (!style)
                return usage(kName, "--style must be 1000, 1001 or 1002, not '" + value + "'");
            settings.style = *style;
        } else if (option == "-e") {
            expression = value;
        } else if (option == "--name") {
            typedName = value;
        } else {
            gbk = true;
        }
        return kOk;
    };
    if (const int status = parseArguments(
            kName, args, {{"--style", true}, {"-e", true}, {"--name", true}, {"--gbk"}}, onOption, operands);
        status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;

    CommandProject project;
    if (!project.load(kName, operands[0], false))
        return kFailed;

    // A name given with --name stands for the one typed into the rename prompt.
    ScriptedDialogs renameDialogs;
    if (typedName) {
        settings.rename = true;
        renameDialogs.inputAnswers.push_back(*typedName);
    }
    const std::string code = ecode::callWrapperForProject(project.name(), expression, settings, renameDialogs);
    if (!writeOutput(kName, "-", gbk ? text::toGb18030(code) : code))
        return kFailed;
    return kOk;
}

const CommandRegistration registration({
    kName,
    "print the E subroutine that calls a project's script",
    "Usage: quillbox-cli ecode FILE [--style 1000|1001|1002] [-e EXPR] [--name NAME] [--gbk]\n"
    "\n"
    "Prints the source of the E subroutine that loads the project in FILE into a script\n"
    "engine and evaluates the expression passed to it, as the workbench's E-code command\n"
    "puts it on the clipboard. FILE is a project script file, or any other JavaScript file\n"
    "taken as a project of one module named after the file. The subroutine loads the text\n"
    "constant that 'quillbox-cli econst' makes from the same FILE.\n"
    "\n"
    "  --style N   1000 script-control object (default), 1001 JScript class,\n"
    "              1002 ChakraCore class\n"
    "  -e EXPR     the example call written into the subroutine's remark\n"
    "  --name NAME the subroutine's name as typed into the rename prompt (default: JS_ and\n"
    "              the project name with the characters E names cannot hold replaced)\n"
    "  --gbk       print code page 936 (GB18030) bytes instead of UTF-8\n"
    "\n"
    "Lines end with CR LF. Exit status: 0 printed; 1 FILE cannot be read or holds a project\n"
    "that cannot be imported; 2 bad usage.\n",
    runECode,
});

}  // namespace
}  // namespace quillbox::cli
