// quillbox-cli unpack: import a project script file and write its modules as files.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/project/TextPage.h"
#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"

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

// Writes through a temporary file beside the target and renames it into place, so an
// error never leaves a half-written file where an older one stood. Unlike an export it
// does not wait for the disk (fsync): the project file still holds every module, and
// two hundred waits would make unpack ten times slower.
bool writeModuleFile(const std::string& path, const std::string& bytes, std::string& reason) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (ok) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        reason = path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
    }
    return ok;
}

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
            std::cerr << "quillbox-cli " << kName << ": " << notice << '\n';
        return fail(kName, "the import was refused; nothing was written");
    }
    for (const std::string& notice : dialogs.notices)
        std::cerr << "quillbox-cli " << kName << ": warning: " << notice << '\n';

    // Check every name before writing anything.
    std::vector<std::string> modules;
    for (int i = 1; i <= store.pageCount(); ++i) {
        const std::string module = store.moduleOfPage(i);
        if (!isPlainFileName(module))
            return fail(kName, "module name '" + module + "' is not a plain file name; nothing was written");
        modules.push_back(module);
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return fail(kName, "cannot create " + dir + ": " + ec.message());

    for (int i = 1; i <= store.pageCount(); ++i) {
        std::string reason;
        const std::string target = (std::filesystem::path(dir) / (modules[static_cast<std::size_t>(i - 1)] + ".js")).string();
        if (!writeModuleFile(target, store.page(i)->getText(), reason))
            return fail(kName, "cannot write " + reason);
    }

    std::string listing = imported.project + "\n";
    for (const std::string& module : store.moduleNames(imported.project))
        listing += module + "\n";
    if (!writeOutput(kName, "", listing))
        return fail(kName, "cannot write to standard output");
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
    "every module but the last, one after the last (see pack --help).\n"
    "\n"
    "Exit status: 0 written; 1 FILE cannot be read, holds no project, or names a module\n"
    "that is not a plain file name (holding '/', or being '.' or '..'), in which case\n"
    "nothing is written; 2 bad usage.\n",
    runUnpack,
});

}  // namespace
}  // namespace quillbox::cli
