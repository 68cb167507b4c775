#include "cli/CommandSupport.h"

#include <memory>

#include "cli/Command.h"
#include "core/project/TextPage.h"
#include "core/engine/ChakraCore.h"
#include "core/engine/CodeLoader.h"
#include "core/project/ProjectSource.h"
#include "core/text/Text.h"

namespace quillbox::cli {

int parseArguments(const char* command, const std::vector<std::string>& args, const std::vector<Option>& options,
                   const OptionHandler& onOption, std::vector<std::string>& operands) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const Option* option = nullptr;
        for (const Option& o : options)
            if (o.name == arg)
                option = &o;
        if (option) {
            std::string value;
            if (option->takesValue) {
                if (i + 1 >= args.size())
                    return usage(command, option->missingValue.empty() ? arg + " needs a value" : option->missingValue);
                value = args[++i];
            }
            if (const int status = onOption(arg, value); status != kOk)
                return status;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(command, "unknown option '" + arg + "'");
        } else {
            operands.push_back(arg);
        }
    }
    return kOk;
}

int requireOneFile(const char* command, const std::vector<std::string>& operands) {
    if (operands.size() != 1)
        return usage(command, operands.empty() ? "FILE is needed" : "only one FILE is taken");
    return kOk;
}

int parseEngineOption(const char* command, const std::string& value, engine::EngineKind& engineIndex) {
    if (value == "native")
        engineIndex = engine::kNativeEngine;
    else if (value == "chakra")
        engineIndex = engine::kChakraEngine;
    else
        return usage(command, "--engine must be native or chakra, not '" + value + "'");
    return kOk;
}

int requireEngine(const char* command, engine::EngineKind engineIndex) {
    if (engineIndex == engine::kChakraEngine && !engine::ChakraCore::libraryLoaded())
        return fail(command, engine::ChakraCore::libraryError());
    return kOk;
}

CommandProject::CommandProject()
    : store_(dialogs_, [](const std::string& name, std::string code) {
          // The code as read; it becomes an editor's only when a command edits it.
          return std::make_unique<TextPage>(name, std::move(code));
      }) {}

bool CommandProject::load(const char* command, const std::string& path, bool open) {
    std::string bytes;
    if (!readInput(command, path, bytes))
        return false;
    const ProjectSource source = open ? openProjectSource(store_, path, bytes) : addProjectSource(store_, path, bytes);
    if (!source.ok) {
        fail(command, source.error);
        return false;
    }
    name_ = source.project;
    return true;
}

int runTransformCommand(const char* command, transform::Mode mode, const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    const auto noOptions = [](const std::string&, const std::string&) { return kOk; };
    if (const int status = parseArguments(command, args, {}, noOptions, operands); status != kOk)
        return status;
    if (operands.size() > 1)
        return usage(command, "only one FILE is taken");
    if (std::string why; !transform::transformAvailable(why))
        return fail(command, why);
    std::string bytes;
    if (!readInput(command, operands.empty() ? "" : operands[0], bytes))
        return kFailed;
    const transform::TransformResult result = transform::runTransform(text::decodeFileText(bytes), mode);
    if (!result.ok)
        return fail(command, std::string(transform::kTransformFailed) + "：" + result.error);
    if (!writeOutput(command, "-", result.text))
        return kFailed;
    return kOk;
}

}  // namespace quillbox::cli
