#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>

#include "cli/Command.h"
#include "core/config/Version.h"
#include "core/crash/CrashHandler.h"
#include "core/crash/Faults.h"
#include "core/platform/Assets.h"
#include "core/platform/FileIO.h"
#include "core/text/CodePage.h"

namespace quillbox::cli {
namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : registry())
        if (name == c.name)
            return &c;
    return nullptr;
}

void printOverview(std::ostream& out) {
    out << "Usage: quillbox-cli COMMAND [ARGS...]\n"
           "       quillbox-cli COMMAND --help\n"
           "       quillbox-cli --version\n\n"
           "Quillbox without a window: projects, JSON, engines and E code from the shell.\n\n"
           "Commands:\n";
    std::map<std::string, const Command*> sorted;
    for (const Command& c : registry())
        sorted[c.name] = &c;
    for (const auto& [name, c] : sorted) {
        out << "  " << name;
        for (std::size_t i = name.size(); i < 10; ++i)
            out << ' ';
        out << ' ' << c->summary << '\n';
    }
    out << "\nExit status: 0 success, 1 an operation was refused or failed, 2 bad usage.\n";
}

std::string usageLine(const Command& c) {
    std::string help = c.help;
    return help.substr(0, help.find('\n'));
}
}  // namespace

CommandRegistration::CommandRegistration(const Command& command) { registry().push_back(command); }

const std::vector<Command>& commands() { return registry(); }

int fail(const char* command, const std::string& message) {
    std::cerr << "quillbox-cli " << command << ": " << message << std::endl;
    return kFailed;
}

int usage(const char* command, const std::string& message) {
    std::cerr << "quillbox-cli " << command << ": " << message << '\n';
    if (const Command* c = findCommand(command))
        std::cerr << usageLine(*c) << '\n';
    std::cerr << "Try 'quillbox-cli " << command << " --help'." << std::endl;
    return kUsage;
}

bool readInput(const char* command, const std::string& path, std::string& bytes) {
    if (path.empty() || path == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::string error;
    if (!files::readAll(path, bytes, &error)) {
        fail(command, "cannot read " + error);
        return false;
    }
    return true;
}

namespace {
void sayStdoutFailed(const char* command, int code) {
    fail(command, std::string(kCannotWriteStdout) + (code != 0 ? std::string(": ") + std::strerror(code) : ""));
}
}  // namespace

bool flushStandardOutput(const char* command) {
    // The reason is known only when the failing write happens here; a stream that failed
    // earlier has lost it.
    const bool failedBefore = !std::cout;
    errno = 0;
    std::cout.flush();
    if (std::cout)
        return true;
    sayStdoutFailed(command, failedBefore ? 0 : errno);
    return false;
}

bool writeOutput(const char* command, const std::string& path, const std::string& bytes) {
    if (path.empty() || path == "-") {
        if (!std::cout)
            return false;  // said already
        errno = 0;
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        if (std::cout)
            return true;
        sayStdoutFailed(command, errno);
        return false;
    }
    std::string error;
    if (!files::writeAtomically(path, bytes, &error)) {
        fail(command, "cannot write " + error);
        return false;
    }
    return true;
}

int runCommandLine(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    crash::CrashOptions crashOptions;
    crashOptions.toStandardError = true;
    crash::install(crashOptions);
    if (argc < 2) {
        printOverview(std::cerr);
        return kUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printOverview(std::cout);
        return kOk;
    }
    if (name == "--version") {
        std::cout << "quillbox-cli " << config::kVersion << '\n';
        if (const std::string limit = text::codepage::limitation(); !limit.empty())
            std::cerr << "quillbox-cli: " << limit << '\n';
        return kOk;
    }
    // For testing the crash handler; not in the command list.
    if (name == "--fault") {
        if (argc == 3 && crash::makeFault(argv[2]))
            return kOk;
        std::cerr << "quillbox-cli --fault: KIND is one of";
        for (const std::string& kind : crash::faultKinds())
            std::cerr << ' ' << kind;
        std::cerr << std::endl;
        return kUsage;
    }
    // A build that lacks a built-in file would run, for one, without its syntax gate.
    if (const auto missing = assets::missingOrEmpty(assets::coreAssets()); !missing.empty()) {
        std::cerr << "quillbox-cli: " << assets::missingAssetsMessage(missing) << '\n';
        return kFailed;
    }
    const Command* command = findCommand(name);
    if (!command) {
        std::cerr << "quillbox-cli: unknown command '" << name << "'\n\n";
        printOverview(std::cerr);
        return kUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            std::cout << command->help;
            return flushStandardOutput(command->name) ? kOk : kFailed;
        }
    }
    const int status = command->run(args);
    // What a command printed as it went (run's messages, list's JSON) is checked here: a
    // full disk or a closed pipe is a failure, said once.
    if (status == kOk && !flushStandardOutput(command->name))
        return kFailed;
    return status;
}

}  // namespace quillbox::cli
