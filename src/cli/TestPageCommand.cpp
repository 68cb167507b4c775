// quillbox-cli testpage: the browser test page for a project, written without opening it.
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/editor/MemoryPage.h"
#include "core/project/ProjectSource.h"
#include "core/engine/TestPage.h"
#include "core/platform/Dialogs.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "testpage";

int runTestPage(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string expression;
    std::string out;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "-e" || arg == "-o";
        if (!optionsEnded && takesValue && i + 1 >= args.size())
            return usage(kName, arg + " needs a value");
        if (optionsEnded)
            operands.push_back(arg);
        else if (arg == "--")
            optionsEnded = true;
        else if (arg == "-e")
            expression = args[++i];
        else if (arg == "-o")
            out = args[++i];
        else if (arg.size() > 1 && arg[0] == '-')
            return usage(kName, "unknown option '" + arg + "'");
        else
            operands.push_back(arg);
    }
    if (operands.size() != 1)
        return usage(kName, operands.empty() ? "FILE is needed" : "only one FILE is taken");
    if (out.empty())
        out = engine::testPagePath();

    std::string bytes;
    if (!readInput(kName, operands[0], bytes))
        return kFailed;
    ScriptedDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    const ProjectSource opened = openProjectSource(store, operands[0], bytes);
    if (!opened.ok)
        return fail(kName, opened.error);
    std::string error;
    if (!engine::writeTestPage(store, opened.project, expression, out, &error))
        return fail(kName, "cannot write " + error);
    std::cerr << "quillbox-cli testpage: wrote " << out << std::endl;
    return kOk;
}

const CommandRegistration registration({
    kName,
    "write the browser test page for a project",
    "Usage: quillbox-cli testpage FILE [-e EXPR] [-o OUT]\n"
    "\n"
    "Writes the HTML page that runs the project's modules in a browser and shows the value\n"
    "of EXPR (1 without one) in a text area, as the window's browser command does, but does\n"
    "not open it. The page is GBK, as its meta tag says.\n"
    "\n"
    "  -e EXPR   the expression whose value the page shows\n"
    "  -o OUT    where to write (default: Js_Test.html in the home directory)\n",
    runTestPage,
});

}  // namespace
}  // namespace quillbox::cli
