// quillbox-cli convert: modern code converted for the native engine, with the shims it needs
// and the report of what cannot run there.
#include <iostream>
#include <optional>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ToolOptions.h"
#include "core/convert/Convert.h"
#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"
#include "core/tools/Stop.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "convert";

int runConvert(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    ToolOptions tool;
    std::string preludePath;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (const std::optional<int> status = tool.take(kName, option, value))
            return *status;
        preludePath = value;  // --prelude
        return kOk;
    };
    std::vector<Option> options = ToolOptions::shared();
    options.push_back({"--prelude", true});
    if (const int status = parseArguments(kName, args, options, onOption, operands); status != kOk)
        return status;
    if (const int status = requireOneFile(kName, operands); status != kOk)
        return status;
    if (const int status = requireEngine(kName, engine::kChakraEngine); status != kOk)
        return status;
    std::string bytes;
    if (!readInput(kName, operands[0], bytes))
        return kFailed;
    std::string prelude;
    if (!preludePath.empty()) {
        if (!readInput(kName, preludePath, prelude))
            return kFailed;
        prelude = text::decodeFileText(prelude);
    }

    // A project script file converts to a project file (the shims its first module); any
    // other script to one script with the shims before it.
    project_file::SplitProject split = project_file::split(text::decodeFileText(bytes));
    if (!split.ok)
        return fail(kName, split.error);
    const bool isProject = !split.name.empty();
    std::vector<convert::SourceModule> modules;
    if (isProject) {
        for (std::size_t i = 0; i < split.moduleNames.size(); ++i)
            modules.push_back({split.moduleNames[i], split.codes[i]});
    } else {
        modules.push_back({ProjectStore::projectNameForFile(operands[0]), split.unsplit});
    }

    // The time limit covers the whole command: the conversion and the check by running.
    convert::Converter converter;
    const std::shared_ptr<tools::Stop> stop = tool.startStop();
    converter.setStop(stop);
    const convert::Conversion conversion = converter.convert(modules);
    if (conversion.stopped)
        return fail(kName, tool.timedOut() + ": nothing was written");
    if (!conversion.ok)
        return fail(kName, conversion.error);

    std::string out;
    if (isProject) {
        std::vector<project_file::ExportedModule> exported;
        if (!conversion.shimCode.empty())
            exported.push_back({convert::kShimModule, conversion.shimCode, false});
        for (const convert::ConvertedModule& m : conversion.modules)
            exported.push_back({m.name, m.code, false});
        if (!exported.empty())
            exported.back().lastPage = true;
        out = text::toGb18030(project_file::build(split.name + convert::kConvertedSuffix, exported));
    } else {
        if (!conversion.shimCode.empty())
            out = "// ==== " + std::string(convert::kShimModule) + " ====\r\n" + conversion.shimCode + "// ==== " +
                  modules[0].name + " ====\r\n";
        out += conversion.modules[0].code;
        out += "\n";
    }
    if (!writeOutput(kName, tool.outPath, out))
        return kFailed;

    const convert::RunCheck check = convert::checkByRunning(modules, conversion, tool.expressions, prelude, stop.get());
    std::ostream& said = tool.outPath.empty() || tool.outPath == "-" ? std::cerr : std::cout;
    std::vector<std::string> lines = tool.report ? convert::reportLines(conversion) : std::vector<std::string>{};
    if (!tool.report)
        for (const convert::Problem& p : conversion.problems)
            lines.push_back("cannot run in JScript 5.7: " + p.module + ":" + std::to_string(p.line) + ":" +
                            std::to_string(p.column) + ": " + p.construct + " — " + p.why);
    for (const std::string& line : convert::checkLines(check))
        lines.push_back(line);
    for (const std::string& line : lines)
        said << line << '\n';
    said.flush();
    if (!flushStandardOutput(kName))
        return kFailed;
    if (check.stopped)
        return fail(kName, tool.timedOut() + ": the check by running did not finish");
    return conversion.complete() && check.loaded && check.allAgree() ? kOk : kFailed;
}

const CommandRegistration registration({
    kName,
    "convert modern JavaScript for the native engine",
    "Usage: quillbox-cli convert FILE [-o OUT] [--report] [--check EXPR]... [--prelude FILE]\n"
    "                            [--timeout SECONDS]\n"
    "\n"
    "Converts FILE (a project script file, or any JavaScript file) for the native engine,\n"
    "which speaks JScript 5.7's language: ES2015+ syntax becomes ES3 (Babel), and the shims\n"
    "the code needs (es5-shim, es5-sham, JSON 3, core-js, typed arrays) are put first, in a\n"
    "module named \"旧引擎补丁\" of a project, or before the code of a script. FILE is never\n"
    "changed. The result is then loaded in the native engine and the outcome printed.\n"
    "\n"
    "  -o OUT          write the result to OUT (default: standard output)\n"
    "  --report        print what was converted, the shims and why, and every construct\n"
    "                  that cannot run in JScript 5.7 (module:line:column)\n"
    "  --check EXPR    evaluate EXPR with the original in ChakraCore and with the result in\n"
    "                  the native engine, and say whether they agree; may be repeated\n"
    "  --prelude FILE  code run before the original and the result in the checks (a host the\n"
    "                  code expects, such as `var module = {exports: {}};`)\n"
    "  --timeout SECONDS  stop the command after this long, the conversion and the check\n"
    "                  by running together (a conversion stopped writes nothing)\n"
    "\n"
    "The report and the checks go to standard error when the result goes to standard output.\n"
    "\n"
    "Exit status: 0 when everything converted, the result loaded and every check agreed; 1 when\n"
    "something cannot be converted or run, a check disagreed or the file does not parse; 2 bad\n"
    "usage.\n",
    runConvert,
});

}  // namespace
}  // namespace quillbox::cli
