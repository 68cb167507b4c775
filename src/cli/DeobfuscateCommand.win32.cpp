// quillbox-cli deobfuscate in the Windows build: it runs webcrack in the program's own JavaScriptCore
// context, which the Windows build does not have; the command is listed and says so.
#include "cli/Command.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "deobfuscate";

int runDeobfuscate(const std::vector<std::string>&) {
    return fail(kName, "not available in the Windows build: deobfuscating needs the tools context "
                       "(JavaScriptCore), which is built for Linux only; run it with the Linux quillbox-cli");
}

const CommandRegistration registration({
    kName,
    "make obfuscated JavaScript readable (Linux build only)",
    "Usage: quillbox-cli deobfuscate FILE ...\n"
    "\n"
    "Not available in the Windows build: deobfuscating needs the tools context (JavaScriptCore),\n"
    "which is built for Linux only. The Linux quillbox-cli has the command.\n",
    runDeobfuscate,
});

}  // namespace
}  // namespace quillbox::cli
