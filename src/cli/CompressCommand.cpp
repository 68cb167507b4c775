// quillbox-cli compress: the compress transform of the editor, on a file or standard input.
#include "cli/Command.h"
#include "core/text/Text.h"
#include "core/transform/Transform.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "compress";

int runCompress(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-')
            operands.push_back(arg);
        else if (arg == "--")
            optionsEnded = true;
        else
            return usage(kName, "unknown option '" + arg + "'");
    }
    if (operands.size() > 1)
        return usage(kName, "only one FILE is taken");
    if (!engine::ChakraCore::libraryLoaded())
        return fail(kName, engine::ChakraCore::libraryError());
    std::string bytes;
    if (!readInput(kName, operands.empty() ? "" : operands[0], bytes))
        return kFailed;
    const transform::TransformResult result =
        transform::runTransform(text::decodeFileText(bytes), transform::Mode::Compress);
    if (!result.ok)
        return fail(kName, std::string(transform::kTransformFailed) + "：" + result.error);
    if (!writeOutput(kName, "-", result.text))
        return fail(kName, "cannot write to standard output");
    return kOk;
}

const CommandRegistration registration({
    kName,
    "minify a script with JSMin",
    "Usage: quillbox-cli compress [FILE]\n"
    "\n"
    "Prints the script in FILE (standard input without FILE or with -) minified by JSMin\n"
    "at its normal level (ysjs), run on a\n"
    "fresh ChakraCore engine as the editor's command does. A file is read as UTF-8 when it\n"
    "is valid UTF-8, else as GBK; the result is printed in UTF-8.\n"
    "\n"
    "Exit status: 0 success; 1 when the file cannot be read or the library throws (a\n"
    "message on standard error, nothing printed); 2 bad usage.\n",
    runCompress,
});

}  // namespace
}  // namespace quillbox::cli
