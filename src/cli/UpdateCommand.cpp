// quillbox-cli update: the update check and library update, as the desktop program runs them.
#include <iostream>

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "core/online/UpdateCheck.h"
#include "core/platform/Output.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "update";

// Prints each message box and answers its question as the command line said.
class AnsweringDialogs : public ScriptedDialogs {
public:
    explicit AnsweringDialogs(bool yes) : yes_(yes) {}
    MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon,
                             MessageButtons buttons) override {
        std::cout << "[" << title << "] " << text << "\n";
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        std::cout << (yes_ ? "--yes: 是" : "--no: 否") << "\n";
        return yes_ ? MessageAnswer::Yes : MessageAnswer::No;
    }

private:
    bool yes_;
};

int runUpdate(const std::vector<std::string>& args) {
    bool yes = false;
    std::string program;
    std::vector<std::string> operands;
    const auto onOption = [&](const std::string& option, const std::string& value) {
        if (option == "--yes")
            yes = true;
        else if (option == "--no")
            yes = false;
        else
            program = value;
        return kOk;
    };
    if (const int status = parseArguments(kName, args, {{"--yes"}, {"--no"}, {"--program", true}}, onOption, operands);
        status != kOk)
        return status;
    if (!operands.empty())
        return usage(kName, "no operands are taken");

    RecordingOutput log(&std::cout);
    AnsweringDialogs dialogs(yes);
    online::UpdateContext context = online::defaultUpdateContext(log, dialogs);
    if (!program.empty())
        context.program = program;
    // The command line puts the new program in place; starting it is left to the user.
    context.startProgram = nullptr;
    online::LibraryUpdateResult library;
    switch (online::runUpdateCheck(context, &library)) {
    case online::UpdateOutcome::UpToDate:
        // The library update is a step of its own: its failure is the command's.
        if (online::libraryUpdateFailed(library.outcome)) {
            std::cerr << "quillbox-cli update: the module library was not updated (see the lines above)\n";
            return kFailed;
        }
        return kOk;
    case online::UpdateOutcome::Declined:
        return kOk;
    case online::UpdateOutcome::Replaced:
        std::cout << "new version in place: " << context.program << "\n";
        return kOk;
    default:
        return kFailed;
    }
}

const CommandRegistration registration({
    kName,
    "check the update server for a new version and update the module library",
    "Usage: quillbox-cli update [--yes|--no] [--program FILE]\n"
    "\n"
    "Asks the update server ($QUILLBOX_UPDATE_SERVER, else the built-in address) for the\n"
    "newest version and prints every log line and message box as the workbench shows them.\n"
    "Only a signed, strictly newer version is offered. When the version is the same (or\n"
    "the server's is older), brings the module library (lib/ in the home directory) up to\n"
    "date. When a new version is offered, --yes accepts it and --no (the default) declines\n"
    "it. An accepted version is downloaded only up to its signed size and used only when\n"
    "its digest is the signed one; it then replaces the desktop program beside this command\n"
    "(or FILE) in one rename; it is not started.\n"
    "\n"
    "  --yes           answer the update question with yes\n"
    "  --no            answer it with no (the default)\n"
    "  --program FILE  the program file a new version replaces\n"
    "\n"
    "Exit status: 0 current (library current or updated), declined or replaced; 1 the\n"
    "server could not be reached or its answer was refused (a bad signature, an older\n"
    "version or library index, a size past its cap, a time-out), the download was\n"
    "refused, the module library was not updated whole, or the program's directory is\n"
    "not writable; 2 bad usage.\n",
    runUpdate,
});

}  // namespace
}  // namespace quillbox::cli
