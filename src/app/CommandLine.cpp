#include "app/CommandLine.h"

#include "core/config/Version.h"
#include "core/crash/Faults.h"

#include <algorithm>

namespace quillbox::app {
namespace {
constexpr const char* kHelp =
    "Usage: quillbox [OPTION]... [FILE]...\n"
    "Quillbox: a JavaScript workbench for programmers who call JavaScript from E programs.\n"
    "\n"
    "  FILE            a project script file to open as a project; a plain JavaScript file\n"
    "                  becomes a project of one module named after the file\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "For testers:\n"
    "  --fault KIND    fault on purpose once start-up has finished, to see the crash report:\n"
    "                  write, read, divide, stack, abort, throw, thread-write\n"
    "  --grab FILE     save a PNG picture of the main window once it is shown, then exit\n"
    "\n"
    "Settings, lib/ and Js_Test.html live in $QUILLBOX_HOME, else the program directory when\n"
    "it is writable and not installed, else ~/.local/share/quillbox.\n";

int usageError(std::ostream& err, const std::string& message) {
    err << "quillbox: " << message << "\nTry 'quillbox --help'.\n";
    return 2;
}
}  // namespace

CommandLineResult parseCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            line.files.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            out << kHelp;
            return {std::nullopt, 0};
        } else if (a == "--version") {
            out << "quillbox " << config::kVersion << '\n';
            return {std::nullopt, 0};
        } else if (a == "--fault") {
            const std::vector<std::string>& kinds = crash::faultKinds();
            if (i + 1 >= args.size() || std::find(kinds.begin(), kinds.end(), args[i + 1]) == kinds.end()) {
                std::string known;
                for (const std::string& kind : kinds)
                    known += (known.empty() ? "" : ", ") + kind;
                return {std::nullopt, usageError(err, "--fault needs a KIND: " + known)};
            }
            line.fault = args[++i];
        } else if (a == "--grab") {
            if (i + 1 >= args.size())
                return {std::nullopt, usageError(err, "--grab needs a FILE")};
            line.grabFile = args[++i];
        } else {
            return {std::nullopt, usageError(err, "unknown option '" + a + "'")};
        }
    }
    return {line, 0};
}

}  // namespace quillbox::app
