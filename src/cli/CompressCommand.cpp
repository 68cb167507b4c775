// quillbox-cli compress: the compress transform of the editor, on a file or standard input.
#include "cli/Command.h"
#include "cli/CommandSupport.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "compress";

int runCompress(const std::vector<std::string>& args) {
    return runTransformCommand(kName, transform::Mode::Compress, args);
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
