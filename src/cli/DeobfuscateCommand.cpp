// quillbox-cli deobfuscate: obfuscated code turned back into readable code, with the report
// of what was found and the check that the result behaves as the original.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ToolOptions.h"
#include "core/deobfuscate/Deobfuscate.h"
#include "core/text/Text.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "deobfuscate";

int runDeobfuscate(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    ToolOptions tool;
    bool partialOk = false;
    std::string engineName = "chakra";
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (const std::optional<int> status = tool.take(kName, option, value))
            return *status;
        if (option == "--partial")
            partialOk = true;
        else
            engineName = value;  // --engine
        return kOk;
    };
    std::vector<Option> options = ToolOptions::shared();
    options.insert(options.end(), {{"--partial", false}, {"--engine", true}});
    if (const int status = parseArguments(kName, args, options, onOption, operands); status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;
    if (engineName != "chakra" && engineName != "native")
        return usage(kName, "--engine is chakra or native");
    // The sandbox for decoders is a ChakraCore engine, whichever engine checks.
    if (const int status = requireEngine(kName, engine::kChakraEngine); status != kOk)
        return status;
    std::string bytes;
    if (!readInput(kName, operands[0], bytes))
        return kFailed;
    const std::string code = text::decodeFileText(bytes);

    // The time limit covers the whole command: the deobfuscation and the check.
    deobfuscate::Deobfuscator deobfuscator;
    const std::shared_ptr<tools::Stop> stop = tool.startStop();
    deobfuscator.setStop(stop);
    const deobfuscate::Deobfuscation result = deobfuscator.run(code);
    if (result.stopped)
        return fail(kName, tool.timedOut() + ": nothing was written");
    if (!result.ok)
        return fail(kName, result.error);
    std::ostream& said = tool.outPath.empty() || tool.outPath == "-" ? std::cerr : std::cout;
    // Half-decoded code is not passed off as the result: it is written only when asked for,
    // and then with a first line that says so.
    if (result.partial && !partialOk) {
        if (tool.report)
            for (const std::string& line : deobfuscate::reportLines(result))
                said << line << '\n';
        return fail(kName, "the result is partial (" + result.why +
                               "); nothing was written. --partial writes it, marked as partial");
    }
    std::string out = result.code;
    if (result.partial)
        out = "// 解混淆不完整 (partial): " + result.why + "\n" + out;
    if (!writeOutput(kName, tool.outPath, out))
        return kFailed;

    std::vector<std::string> lines = tool.report ? deobfuscate::reportLines(result) : std::vector<std::string>{};
    bool agree = true;
    bool checkStopped = false;
    if (!tool.expressions.empty()) {
        const auto engine = engineName == "native" ? deobfuscate::CheckEngine::Native : deobfuscate::CheckEngine::Chakra;
        const deobfuscate::BehaviourCheck check = deobfuscate::checkBehaviour(code, result.code, tool.expressions, engine, stop.get());
        agree = check.allAgree();
        checkStopped = check.stopped;
        for (const std::string& line : deobfuscate::checkLines(check, engine))
            lines.push_back(line);
    }
    for (const std::string& line : lines)
        said << line << '\n';
    said.flush();
    if (!flushStandardOutput(kName))
        return kFailed;
    if (checkStopped)
        return fail(kName, tool.timedOut() + ": the check did not finish");
    return result.partial || !agree ? kFailed : kOk;
}

const CommandRegistration registration({
    kName,
    "turn obfuscated JavaScript back into readable code",
    "Usage: quillbox-cli deobfuscate FILE [-o OUT] [--report] [--partial] [--check EXPR]...\n"
    "                                [--engine chakra|native] [--timeout SECONDS]\n"
    "\n"
    "Deobfuscates FILE (webcrack): string arrays and their decoders are decoded and put back,\n"
    "decoder wrappers and functions held in objects inlined, flattened control flow and dead\n"
    "code undone, debug protection and self-defending code removed, then the code unminified.\n"
    "Decoders run in a fresh, empty ChakraCore engine with a time and a memory limit, never\n"
    "with other code. FILE is never changed.\n"
    "\n"
    "  -o OUT          write the result to OUT (default: standard output)\n"
    "  --report        print what was found and done: obfuscator and options, strings\n"
    "                  restored, functions inlined, dead code and anti-debug code removed\n"
    "  --partial       write a partial result (decoder calls left, or the decoding failed),\n"
    "                  its first line saying so; without it a partial result is refused\n"
    "  --check EXPR    evaluate EXPR with the original and with the result, each in a fresh\n"
    "                  engine, and say whether they agree (value, type, error); may be repeated\n"
    "  --engine NAME   the engine the checks run in: chakra (default) or native\n"
    "  --timeout SECONDS  stop the command after this long, the deobfuscation and the checks\n"
    "                  together (a deobfuscation stopped writes nothing)\n"
    "\n"
    "The report and the checks go to standard error when the result goes to standard output.\n"
    "\n"
    "Exit status: 0 when the result is complete and every check agreed; 1 when it is partial,\n"
    "a check disagreed or the file cannot be deobfuscated; 2 bad usage.\n",
    runDeobfuscate,
});

}  // namespace
}  // namespace quillbox::cli
