// quillbox-cli run: load a project into an engine and evaluate expressions against it.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/engine/BrowserEnvironment.h"
#include "core/engine/BothEngines.h"
#include "core/engine/CodeLoader.h"
#include "core/engine/Deterministic.h"
#include "core/engine/MemoryLimit.h"
#include "core/engine/WatchLog.h"
#include "core/platform/FileIO.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "run";

// Each expression in both engines, the project loaded into each first; the comparison's
// lines after each. 0 when every answer agrees (without expressions: both loads), else 1.
int runInBoth(ProjectStore& store, engine::JScript& native, engine::ChakraCore& chakra,
              const std::vector<std::string>& expressions, Output& output) {
    bool same = true;
    const std::vector<std::string> none{""};
    for (const std::string& expression : expressions.empty() ? none : expressions) {
        const engine::BothAnswers answers = engine::evaluateInBoth(store, native, chakra, expression, &output);
        for (const std::string& line : engine::comparisonLines(answers))
            output.messageLine(line);
        same = same && answers.difference.empty();
    }
    return same ? kOk : kFailed;
}

int runRun(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::vector<std::string> expressions;
    engine::EngineKind engineIndex = engine::kChakraEngine;
    bool both = false;
    double timeout = 0;
    std::size_t memoryLimit = engine::kDefaultMemoryLimit;
    bool browser = false;
    bool logAccess = false;
    bool watch = false;
    std::string profilePath;
    bool profileGiven = false;
    std::optional<engine::Determinism> determinism;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "--browser" || option == "--log-access" || option == "--profile") {
            (option == "--browser" ? browser : option == "--log-access" ? logAccess : profileGiven) = true;
            profilePath = option == "--profile" ? value : profilePath;
            return kOk;
        }
        if (option == "--watch") {
            watch = true;
            return kOk;
        }
        if (option == "--engine") {
            both = value == "both";
            return both ? kOk : parseEngineOption(kName, value, engineIndex);
        }
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
            kName, args, {{"--engine", true},
                     {"-e", true},
                     {"--timeout", true},
                     {"--memory", true},
                     {"--browser"},
                     {"--profile", true},
                     {"--log-access"},
                     {"--watch"},
                     {"--seed", true},
                     {"--now", true}}, onOption, operands);
        status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;
    if (const int status = requireEngine(kName, both ? engine::kChakraEngine : engineIndex); status != kOk)
        return status;
    if ((profileGiven || logAccess) && !browser)
        return usage(kName, std::string(profileGiven ? "--profile" : "--log-access") + " needs --browser");
    if (logAccess && engineIndex != engine::kChakraEngine)
        return usage(kName, "--log-access needs the chakra engine: the native engine has no Proxy to watch reads with");
    if (watch && (both || engineIndex != engine::kChakraEngine))
        return usage(kName, "--watch needs the chakra engine");
    std::string profile = engine::defaultBrowserProfile();
    if (profileGiven) {
        std::string error;
        if (!files::readAll(profilePath, profile, &error))
            return fail(kName, "cannot read the profile " + profilePath + ": " + error);
        if (!engine::checkBrowserProfile(profile, &error))
            return fail(kName, profilePath + ": " + error);
    }

    CommandProject project;
    if (!project.load(kName, operands[0], true))
        return kFailed;
    if (browser &&
        !engine::putBrowserModuleFirst(project.store(), project.name(), engine::browserModuleText(profile)))
        return fail(kName, "cannot put the browser environment into the project");

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
    if (both)
        return runInBoth(project.store(), native, chakra, expressions, output);
    engine::CodeLoader loader(project.store(), output, native, chakra);
    loader.setListing(false);  // nobody sees it here
    loader.setDeterminism(determinism);
    std::vector<engine::AccessRow> accessLog;
    bool accessLogged = false;
    loader.setBrowserLog(logAccess);
    if (logAccess)
        loader.onAccessLog = [&](std::vector<engine::AccessRow> rows) {
            accessLog = std::move(rows);
            accessLogged = true;
        };
    std::vector<engine::WatchRow> watchLog;
    loader.setWatching(watch);
    if (watch)
        loader.onWatchLog = [&](std::vector<engine::WatchRow> rows, bool) {
            watchLog.insert(watchLog.end(), rows.begin(), rows.end());
        };
    // The tables once everything has run, on standard output after the lines.
    const auto printAccessLog = [&] {
        if (accessLogged)
            std::cout << "访问记录:\n" << engine::accessTableText(accessLog) << std::flush;
        if (watch)
            std::cout << "监视记录:\n" << engine::watchTableText(watchLog) << std::flush;
    };
    if (!loader.load(engineIndex)) {
        printAccessLog();
        return kFailed;
    }
    bool allResults = true;
    for (const std::string& expression : expressions) {
        const engine::Evaluation outcome = loader.evaluate(expression, engineIndex);
        if (outcome == engine::Evaluation::Nothing)
            fail(kName, "'" + expression + "' was not evaluated: the module's page is empty, and the chakra "
                        "engine evaluates only against a page that holds code");
        if (outcome != engine::Evaluation::Result)
            allResults = false;
    }
    printAccessLog();
    return allResults ? kOk : kFailed;
}

const CommandRegistration registration({
    kName,
    "load a project into an engine and evaluate expressions",
    "Usage: quillbox-cli run FILE [--engine native|chakra|both] [-e EXPR]... [--timeout SECONDS]\n"
    "                        [--memory MIB] [--browser [--profile FILE] [--log-access]]\n"
    "                        [--seed N] [--now MS] [--watch]\n"
    "\n"
    "Loads FILE as the load command does, then evaluates each EXPR in order as the evaluate\n"
    "command does. FILE is a project script file, or any other JavaScript file taken as a\n"
    "project of one module named after the file.\n"
    "\n"
    "  --engine native|chakra  the engine (default chakra); native speaks old JavaScript only\n"
    "  --engine both           each EXPR in both engines (the project loaded into each), then\n"
    "                          \"[MSScriptControl] ...\", \"[ChakraCore] ...\" and whether they\n"
    "                          differ (value, kind of answer, error); exit 1 when they do\n"
    "  -e EXPR                 an expression to evaluate; may be repeated\n"
    "  --timeout SECONDS       stop each engine call of the load or of an evaluation after\n"
    "                          this long; a stopped script writes the line \"执行已停止\"\n"
    "                          and leaves the engine empty\n"
    "  --memory MIB            the memory the script may use (default 1024, 16 to 1048576);\n"
    "                          a script that passes it fails with an error naming the limit\n"
    "                          and leaves the engine empty\n"
    "  --browser               load the browser environment (window, document, navigator,\n"
    "                          location, storage, timers...) before the project's modules,\n"
    "                          as the project property \"浏览器环境\" does; its timers run\n"
    "                          after the load and after each expression\n"
    "  --profile FILE          the browser profile (JSON from the capture page, see the\n"
    "                          capture command) instead of the desktop Chrome one built in\n"
    "  --log-access            chakra only: after everything has run, print the table of\n"
    "                          every browser property read and every missing global read\n"
    "                          (object, property, value given, count, first module:line),\n"
    "                          tab-separated, in order of first use\n"
    "  --seed N                a deterministic run: Math.random is a generator seeded with N\n"
    "                          (0 to 4294967295), and Date starts at --now (default 0)\n"
    "  --now MS                a deterministic run: new Date(), Date() and Date.now() (where\n"
    "                          the engine has it) start at MS milliseconds since 1970 and move\n"
    "                          only with the script's own timers; performance.now(), where\n"
    "                          defined, follows; the seed is 0 unless --seed gives one.\n"
    "                          The console says the run is deterministic\n"
    "  --watch                 chakra only: after everything has run, print every call of\n"
    "                          eval, Function, setTimeout/setInterval with a string,\n"
    "                          document.cookie write, XMLHttpRequest.send and $$.ajax, in\n"
    "                          order, with its arguments (shortened) and its module:line,\n"
    "                          tab-separated\n"
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
