// quillbox-cli deobfuscate: obfuscated code turned back into readable code, with the report
// of what was found and the check that the result behaves as the original.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/deobfuscate/Deobfuscate.h"
#include "core/text/Text.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "deobfuscate";

int runDeobfuscate(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string outPath;
    bool report = false;
    bool partialOk = false;
    std::string engineName = "chakra";
    std::vector<std::string> expressions;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "-o")
            outPath = value;
        else if (option == "--report")
            report = true;
        else if (option == "--partial")
            partialOk = true;
        else if (option == "--engine")
            engineName = value;
        else if (value.empty())
            return usage(kName, "--check needs an expression");
        else
            expressions.push_back(value);
        return kOk;
    };
    if (const int status = parseArguments(kName, args,
                                          {{"-o", true}, {"--report", false}, {"--partial", false}, {"--check", true},
                                           {"--engine", true}},
                                          onOption, operands);
        status != kOk)
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

    deobfuscate::Deobfuscator deobfuscator;
    const deobfuscate::Deobfuscation result = deobfuscator.run(code);
    if (!result.ok)
        return fail(kName, result.error);
    std::ostream& said = outPath.empty() || outPath == "-" ? std::cerr : std::cout;
    // Half-decoded code is not passed off as the result: it is written only when asked for,
    // and then with a first line that says so.
    if (result.partial && !partialOk) {
        if (report)
            for (const std::string& line : deobfuscate::reportLines(result))
                said << line << '\n';
        return fail(kName, "the result is partial (" + result.why +
                               "); nothing was written. --partial writes it, marked as partial");
    }
    std::string out = result.code;
    if (result.partial)
        out = "// 解混淆不完整 (partial): " + result.why + "\n" + out;
    if (!writeOutput(kName, outPath, out))
        return kFailed;

    std::vector<std::string> lines = report ? deobfuscate::reportLines(result) : std::vector<std::string>{};
    bool agree = true;
    if (!expressions.empty()) {
        const auto engine = engineName == "native" ? deobfuscate::CheckEngine::Native : deobfuscate::CheckEngine::Chakra;
        const deobfuscate::BehaviourCheck check = deobfuscate::checkBehaviour(code, result.code, expressions, engine);
        agree = check.allAgree();
        for (const std::string& line : deobfuscate::checkLines(check, engine))
            lines.push_back(line);
    }
    for (const std::string& line : lines)
        said << line << '\n';
    said.flush();
    if (!flushStandardOutput(kName))
        return kFailed;
    return result.partial || !agree ? kFailed : kOk;
}

const CommandRegistration registration({
    kName,
    "turn obfuscated JavaScript back into readable code",
    "Usage: quillbox-cli deobfuscate FILE [-o OUT] [--report] [--partial] [--check EXPR]...\n"
    "                                [--engine chakra|native]\n"
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
    "\n"
    "The report and the checks go to standard error when the result goes to standard output.\n"
    "\n"
    "Exit status: 0 when the result is complete and every check agreed; 1 when it is partial,\n"
    "a check disagreed or the file cannot be deobfuscated; 2 bad usage.\n",
    runDeobfuscate,
});

}  // namespace
}  // namespace quillbox::cli
