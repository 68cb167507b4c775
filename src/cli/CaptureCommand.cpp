// quillbox-cli capture: the page that collects a browser profile, written without opening it.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/engine/BrowserEnvironment.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "capture";

int runCapture(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string out;
    const auto onOption = [&](const std::string&, const std::string& value) {
        out = value;
        return kOk;
    };
    if (const int status = parseArguments(kName, args, {{"-o", true}}, onOption, operands); status != kOk)
        return status;
    if (!operands.empty())
        return usage(kName, "takes no FILE: the page is the same for every project");
    if (out.empty())
        out = engine::capturePagePath();
    std::string error;
    if (!engine::writeCapturePage(out, &error))
        return fail(kName, "cannot write " + error);
    std::cerr << "quillbox-cli capture: wrote " << out << std::endl;
    return kOk;
}

const CommandRegistration registration({
    kName,
    "write the page that collects a browser profile",
    "Usage: quillbox-cli capture [-o OUT]\n"
    "\n"
    "Writes the HTML page that, opened in a browser, shows that browser's profile as JSON:\n"
    "navigator (in its enumeration order), screen, window sizes, document, canvas and WebGL\n"
    "answers. Save it to a file for run --browser --profile, or paste it over the profile at\n"
    "the end of a project's \"浏览器环境\" module. The page is UTF-8.\n"
    "\n"
    "  -o OUT    where to write (default: Js_Capture.html in the home directory)\n",
    runCapture,
});

}  // namespace
}  // namespace quillbox::cli
