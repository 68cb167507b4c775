// quillbox-cli convert in the Windows build: it runs Babel in the program's own JavaScriptCore
// context, which the Windows build does not have; the command is listed and says so.
#include "cli/Command.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "convert";

int runConvert(const std::vector<std::string>&) {
    return fail(kName, "not available in the Windows build: converting modern code needs the tools context "
                       "(JavaScriptCore), which is built for Linux only; run it with the Linux quillbox-cli");
}

const CommandRegistration registration({
    kName,
    "convert modern JavaScript for the native engine (Linux build only)",
    "Usage: quillbox-cli convert FILE ...\n"
    "\n"
    "Not available in the Windows build: converting modern code needs the tools context (JavaScriptCore),\n"
    "which is built for Linux only. The Linux quillbox-cli has the command.\n",
    runConvert,
});

}  // namespace
}  // namespace quillbox::cli
