// quillbox-cli unpack: import a project script file and write its modules as files.
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/project/TextPage.h"
#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"
#include "core/platform/FsPath.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "unpack";

// The importer's dialogue without a window: the file was named on purpose, so a question
// is answered Yes; notices are kept for the end (warnings of an import that succeeded);
// there is nothing to type a name into.
class CommandLineDialogs : public Dialogs {
public:
    std::vector<std::string> notices;
    MessageAnswer messageBox(const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) override {
        if (buttons == MessageButtons::YesNo)
            return MessageAnswer::Yes;
        notices.push_back(text);
        return MessageAnswer::Ok;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::string saveFileDialog(const SaveFileRequest&) override { return ""; }
};

// A module name becomes a file name in DIR: it must not reach outside DIR.
bool isPlainFileName(const std::string& name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

int runUnpack(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
            return usage(kName, "unknown option '" + arg + "'");
        else
            operands.push_back(arg);
    }
    if (operands.size() != 2)
        return usage(kName, operands.size() < 2 ? "FILE and DIR are needed" : "too many arguments");
    const std::string& file = operands[0];
    const std::string& dir = operands[1];

    CommandLineDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, std::string code) {
        return std::make_unique<TextPage>(name, std::move(code));
    });
    const ImportResult imported = store.importFile(file);
    switch (imported.outcome) {
    case ImportOutcome::Imported:
        break;
    case ImportOutcome::NoProject:
        return fail(kName, file + " holds no project" + (imported.detail.empty() ? "" : " (" + imported.detail + ")"));
    case ImportOutcome::Unreadable:
        return fail(kName, "cannot read " + imported.detail);
    default:
        for (const std::string& notice : dialogs.notices)
            std::cerr << "quillbox-cli " << kName << ": " << text::escapeControls(notice) << '\n';
        return fail(kName, "the import was refused; nothing was written");
    }
    for (const std::string& skipped : imported.skipped)
        if (ProjectStore::isBlankName(skipped))
            return fail(kName, "a module name is blank ('" + text::escapeControls(skipped) + "'); nothing was written");
    for (const std::string& notice : dialogs.notices)
        std::cerr << "quillbox-cli " << kName << ": warning: " << text::escapeControls(notice) << '\n';

    // Check every name before writing anything: a name the file system cannot take would
    // otherwise stop the command halfway, with some modules written.
    const long nameMax = files::maxNameLength(dir);
    std::vector<std::string> modules;
    for (int i = 1; i <= store.pageCount(); ++i) {
        const std::string module = store.moduleOfPage(i);
        const std::string shown = "'" + text::escapeControls(module) + "'";
        if (!isPlainFileName(module))
            return fail(kName, "module name " + shown + " is not a plain file name; nothing was written");
        if (static_cast<long>(module.size() + 3) > nameMax)
            return fail(kName, "module name " + shown + " is too long for a file name here (" +
                                   std::to_string(module.size() + 3) + " bytes with .js, at most " +
                                   std::to_string(nameMax) + "); nothing was written");
        modules.push_back(module);
    }
    std::error_code ec;
    std::filesystem::create_directories(files::fsPath(dir), ec);
    if (ec)
        return fail(kName, "cannot create " + dir + ": " + ec.message());

    for (int i = 1; i <= store.pageCount(); ++i) {
        std::string reason;
        const std::string target = files::utf8Path(files::fsPath(dir) / files::fsPath(modules[static_cast<std::size_t>(i - 1)] + ".js"));
        // No wait for the disk per file: the project file still holds every module, and
        // hundreds of waits would make unpack many times slower.
        if (!files::writeAtomically(target, store.page(i)->getText(), &reason, {.sync = false}))
            return fail(kName, "cannot write " + reason);
    }

    // Names are printed with their control characters escaped: a name holding ESC or CR
    // must not drive the terminal.
    std::string listing = text::escapeControls(imported.project) + "\n";
    for (const std::string& module : store.moduleNames(imported.project))
        listing += text::escapeControls(module) + "\n";
    if (!writeOutput(kName, "", listing))
        return kFailed;
    return kOk;
}

const CommandRegistration registration({
    kName,
    "write the modules of a project script file as files",
    "Usage: quillbox-cli unpack FILE DIR\n"
    "\n"
    "Imports the project script file FILE as the workbench does when the file is dropped\n"
    "on the project tree, writes the code of each module to DIR/<module>.js in UTF-8\n"
    "(creating DIR), and prints the project name on the first line and each module name\n"
    "on a line of its own.\n"
    "\n"
    "FILE is read as UTF-8 when it is valid UTF-8, else as GB18030. Spaces are removed\n"
    "from the project name. A module name repeated in FILE is skipped with a warning.\n"
    "Module codes keep the line breaks the format adds after them: four CR LF pairs after\n"
    "every module but the last, one after the last (see pack --help). Control characters\n"
    "in the printed names are written as \\xNN.\n"
    "\n"
    "Exit status: 0 written; 1 FILE cannot be read, holds no project, or names a module\n"
    "that is not a plain file name (holding '/', being '.' or '..', blank, or too long for\n"
    "the file system), in which case nothing is written; 2 bad usage.\n",
    runUnpack,
});

}  // namespace
}  // namespace quillbox::cli
