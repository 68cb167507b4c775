#pragma once
// The desktop program's command line: project files to open, and the options for users
// (--help, --version) and testers (--grab). Read before the QApplication exists, so that
// --help and --version work without a display.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox::app {

struct CommandLine {
    std::vector<std::string> files;  // project script files or plain JavaScript files
    std::string fault;               // --fault KIND: fault on purpose once started (testers)
    std::string grabFile;            // --grab FILE: a picture of the window, then exit
};

// What to do after reading the arguments: run the window, or end at once with a status
// (the help or version text, or a usage error, already written to `out`/`err`).
struct CommandLineResult {
    std::optional<CommandLine> run;
    int exitStatus = 0;
};

CommandLineResult parseCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillbox::app
