#pragma once
// The commands of quillbox-cli. Each command lives in its own file and registers itself
// with a static CommandRegistration.
//
// Exit status: 0 success; 1 an operation refused or failed (message on standard error);
// 2 bad usage.
#include <iosfwd>
#include <string>
#include <vector>

namespace quillbox::cli {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct Command {
    const char* name;
    const char* summary;  // one line for the command list
    const char* help;     // full help text: usage line first
    int (*run)(const std::vector<std::string>& args);
};

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& commands();

// Prints "quillbox-cli NAME: message" on standard error and returns kFailed.
int fail(const char* command, const std::string& message);
// The whole command line (arguments in UTF-8): the command's exit status. The entry of each
// system (Entry.cpp, Entry.win32.cpp) prepares the process and calls it.
int runCommandLine(int argc, char** argv);
// Prints the message and the command's usage line on standard error and returns kUsage.
int usage(const char* command, const std::string& message);

// Reads a file, or standard input when path is empty or "-". False with a message on
// standard error when it cannot be read.
bool readInput(const char* command, const std::string& path, std::string& bytes);

constexpr const char* kCannotWriteStdout = "cannot write to standard output";

// Writes to a file (see files::writeAtomically), or standard output when path is empty or
// "-". False, with the one message on standard error, when it cannot be written.
bool writeOutput(const char* command, const std::string& path, const std::string& bytes);

// Flushes standard output; false, with the message, when what was written did not arrive.
bool flushStandardOutput(const char* command);

}  // namespace quillbox::cli
