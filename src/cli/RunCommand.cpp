// quillbox-cli run: load a project into an engine and evaluate expressions against it.
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/editor/MemoryPage.h"
#include "core/engine/CodeLoader.h"
#include "core/project/ProjectSource.h"
#include "core/platform/Dialogs.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "run";

int runRun(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::vector<std::string> expressions;
    int engineIndex = engine::kChakraEngine;
    double timeout = 0;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--engine" || arg == "-e" || arg == "--timeout";
        if (!optionsEnded && takesValue && i + 1 >= args.size())
            return usage(kName, arg + " needs a value");
        if (optionsEnded) {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--engine") {
            const std::string& e = args[++i];
            if (e == "native")
                engineIndex = engine::kNativeEngine;
            else if (e == "chakra")
                engineIndex = engine::kChakraEngine;
            else
                return usage(kName, "--engine must be native or chakra, not '" + e + "'");
        } else if (arg == "-e") {
            expressions.push_back(args[++i]);
        } else if (arg == "--timeout") {
            char* end = nullptr;
            timeout = std::strtod(args[++i].c_str(), &end);
            if (args[i].empty() || *end != '\0' || !(timeout > 0) || timeout > 1e6)
                return usage(kName, "--timeout takes a number of seconds above 0, not '" + args[i] + "'");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(kName, "unknown option '" + arg + "'");
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 1)
        return usage(kName, operands.empty() ? "FILE is needed" : "only one FILE is taken");
    if (timeout > 0 && engineIndex == engine::kNativeEngine)
        return usage(kName, "--timeout needs the chakra engine: the native engine cannot be stopped");
    if (engineIndex == engine::kChakraEngine && !engine::ChakraCore::libraryLoaded())
        return fail(kName, engine::ChakraCore::libraryError());

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

    RecordingOutput output(&std::cout);
    engine::JScript native;
    engine::ChakraCore chakra;
    if (timeout > 0)
        chakra.setTimeLimit(std::chrono::milliseconds(static_cast<long long>(timeout * 1000)));
    engine::CodeLoader loader(store, output, native, chakra);
    if (!loader.load(engineIndex))
        return kFailed;
    bool allResults = true;
    for (const std::string& expression : expressions)
        if (loader.evaluate(expression, engineIndex) != engine::Evaluation::Result)
            allResults = false;
    return allResults ? kOk : kFailed;
}

const CommandRegistration registration({
    kName,
    "load a project into an engine and evaluate expressions",
    "Usage: quillbox-cli run FILE [--engine native|chakra] [-e EXPR]... [--timeout SECONDS]\n"
    "\n"
    "Loads FILE as the load command does, then evaluates each EXPR in order as the evaluate\n"
    "command does. FILE is a project script file, or any other JavaScript file taken as a\n"
    "project of one module named after the file.\n"
    "\n"
    "  --engine native|chakra  the engine (default chakra); native speaks old JavaScript only\n"
    "  -e EXPR                 an expression to evaluate; may be repeated\n"
    "  --timeout SECONDS       stop the load or an evaluation after this long (chakra only);\n"
    "                          a stopped script writes the line \"执行已停止\"\n"
    "\n"
    "Every message line is printed as \">>\" and its text, every console line as \">>[type] \"\n"
    "and its message, in the order written. A failed load stops before the expressions; a\n"
    "failed expression does not stop the ones after it.\n"
    "\n"
    "Exit status: 0 when the load and every evaluation gave a result; 1 otherwise (the native\n"
    "engine's refusal of a boolean is not a result); 2 bad usage.\n",
    runRun,
});

}  // namespace
}  // namespace quillbox::cli
