// quillbox-cli format: the format transform of the editor, on a file or standard input.
#include "cli/Command.h"
#include "cli/CommandSupport.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "format";

int runFormat(const std::vector<std::string>& args) {
    return runTransformCommand(kName, transform::Mode::Format, args);
}

const CommandRegistration registration({
    kName,
    "re-indent a script with js-beautify's defaults",
    "Usage: quillbox-cli format [FILE]\n"
    "\n"
    "Prints the script in FILE (standard input without FILE or with -) re-indented by\n"
    "js-beautify with its default options (4 spaces, existing newlines kept), run on a\n"
    "fresh ChakraCore engine as the editor's command does. A file is read as UTF-8 when it\n"
    "is valid UTF-8, else as GBK; the result is printed in UTF-8.\n"
    "\n"
    "Exit status: 0 success; 1 when the file cannot be read or the library throws (a\n"
    "message on standard error, nothing printed); 2 bad usage.\n",
    runFormat,
});

}  // namespace
}  // namespace quillbox::cli
