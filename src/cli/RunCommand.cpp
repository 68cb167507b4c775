// quillbox-cli run: load a project into an engine and evaluate expressions against it.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/engine/CodeLoader.h"
#include "core/engine/Deterministic.h"
#include "core/engine/MemoryLimit.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "run";

int runRun(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::vector<std::string> expressions;
    engine::EngineKind engineIndex = engine::kChakraEngine;
    double timeout = 0;
    std::size_t memoryLimit = engine::kDefaultMemoryLimit;
    std::optional<engine::Determinism> determinism;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "--engine")
            return parseEngineOption(kName, value, engineIndex);
        if (option == "-e") {
            if (value.empty())
                return usage(kName, "-e needs an expression: an empty one evaluates nothing");
            expressions.push_back(value);
        } else if (option == "--seed") {
            const auto seed = engine::parseSeed(value);
            if (!seed)
                return usage(kName, "--seed takes a whole number from 0 to 4294967295, not '" + value + "'");
            determinism = determinism.value_or(engine::Determinism{});
            determinism->seed = *seed;
        } else if (option == "--now") {
            const auto now = engine::parseNow(value);
            if (!now)
                return usage(kName, "--now takes whole milliseconds since 1970 within Date's range, not '" + value + "'");
            determinism = determinism.value_or(engine::Determinism{});
            determinism->nowMs = *now;
        } else if (option == "--memory") {
            char* end = nullptr;
            const long mib = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || value[0] == '-' || value[0] == '+' ||
                mib < engine::kMinMemoryLimitMiB || mib > engine::kMaxMemoryLimitMiB)
                return usage(kName, "--memory takes a whole number of MiB from " +
                                        std::to_string(engine::kMinMemoryLimitMiB) + " to " +
                                        std::to_string(engine::kMaxMemoryLimitMiB) + ", not '" + value + "'");
            memoryLimit = static_cast<std::size_t>(mib) << 20;
        } else {
            char* end = nullptr;
            timeout = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(timeout > 0) || timeout > 1e6)
                return usage(kName, "--timeout takes a number of seconds above 0, not '" + value + "'");
        }
        return kOk;
    };
    if (const int status = parseArguments(
            kName, args, {{"--engine", true}, {"-e", true}, {"--timeout", true}, {"--memory", true},
                           {"--seed", true}, {"--now", true}}, onOption, operands);
        status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;
    if (const int status = requireEngine(kName, engineIndex); status != kOk)
        return status;

    CommandProject project;
    if (!project.load(kName, operands[0], true))
        return kFailed;

    RecordingOutput output(&std::cout);
    engine::JScript native;
    engine::ChakraCore chakra;
    chakra.setMemoryLimit(memoryLimit);
    native.ControlObject()->setMemoryLimit(memoryLimit);
    // The engines count whole milliseconds: a shorter limit is rounded up, never down to
    // 0, which would mean no limit at all.
    if (timeout > 0) {
        const std::chrono::milliseconds limit(static_cast<long long>(std::ceil(timeout * 1000)));
        chakra.setTimeLimit(limit);
        native.ControlObject()->setTimeLimit(limit);
    }
    engine::CodeLoader loader(project.store(), output, native, chakra);
    loader.setListing(false);  // nobody sees it here
    loader.setDeterminism(determinism);
    if (!loader.load(engineIndex))
        return kFailed;
    bool allResults = true;
    for (const std::string& expression : expressions) {
        const engine::Evaluation outcome = loader.evaluate(expression, engineIndex);
        if (outcome == engine::Evaluation::Nothing)
            fail(kName, "'" + expression + "' was not evaluated: the module's page is empty, and the chakra "
                        "engine evaluates only against a page that holds code");
        if (outcome != engine::Evaluation::Result)
            allResults = false;
    }
    return allResults ? kOk : kFailed;
}

const CommandRegistration registration({
    kName,
    "load a project into an engine and evaluate expressions",
    "Usage: quillbox-cli run FILE [--engine native|chakra] [-e EXPR]... [--timeout SECONDS]\n"
    "                        [--memory MIB] [--seed N] [--now MS]\n"
    "\n"
    "Loads FILE as the load command does, then evaluates each EXPR in order as the evaluate\n"
    "command does. FILE is a project script file, or any other JavaScript file taken as a\n"
    "project of one module named after the file.\n"
    "\n"
    "  --engine native|chakra  the engine (default chakra); native speaks old JavaScript only\n"
    "  -e EXPR                 an expression to evaluate; may be repeated\n"
    "  --timeout SECONDS       stop each engine call of the load or of an evaluation after\n"
    "                          this long; a stopped script writes the line \"执行已停止\"\n"
    "                          and leaves the engine empty\n"
    "  --memory MIB            the memory the script may use (default 1024, 16 to 1048576);\n"
    "                          a script that passes it fails with an error naming the limit\n"
    "                          and leaves the engine empty\n"
    "  --seed N                a deterministic run: Math.random is a generator seeded with N\n"
    "                          (0 to 4294967295), and Date starts at --now (default 0)\n"
    "  --now MS                a deterministic run: new Date(), Date() and Date.now() (where\n"
    "                          the engine has it) start at MS milliseconds since 1970 and move\n"
    "                          only with the script's own timers; performance.now(), where\n"
    "                          defined, follows; the seed is 0 unless --seed gives one.\n"
    "                          The console says the run is deterministic\n"
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
