// quillbox-cli testpage: the browser test page for a project, written without opening it.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/engine/TestPage.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "testpage";

int runTestPage(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string expression;
    std::string out;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        (option == "-e" ? expression : out) = value;
        return kOk;
    };
    if (const int status = parseArguments(kName, args, {{"-e", true}, {"-o", true}}, onOption, operands); status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;
    if (out.empty())
        out = engine::testPagePath();

    CommandProject project;
    if (!project.load(kName, operands[0], true))
        return kFailed;
    std::string error;
    if (!engine::writeTestPage(project.store(), project.name(), expression, out, &error))
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
