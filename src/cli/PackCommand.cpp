// quillbox-cli pack: make a project of files and export it as a project script file.
#include <iostream>
#include <memory>
#include <set>

#include "cli/Command.h"
#include "core/project/TextPage.h"
#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox::cli {
namespace {

constexpr const char* kName = "pack";

// Every check is made before the store is filled, so the store never needs to ask.
class SilentDialogs : public Dialogs {
public:
    MessageAnswer messageBox(const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) override {
        std::cerr << "quillbox-cli " << kName << ": " << text << '\n';
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::string saveFileDialog(const SaveFileRequest&) override { return ""; }
};

// The file's name without its directory and without a final ".js".
std::string moduleNameOf(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.size() >= 3 && name.compare(name.size() - 3, 3, ".js") == 0)
        name.resize(name.size() - 3);
    return name;
}

bool holdsLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// A text file's last line ends with a line break; in the project file the format puts its
// own line break after the code, so the file's is left out (a file of the one line
// "var a=1;" gives the module "var a=1;" whichever way it was saved).
void dropFinalLineBreak(std::string& code) {
    if (code.size() >= 2 && code.compare(code.size() - 2, 2, "\r\n") == 0)
        code.resize(code.size() - 2);
    else if (!code.empty() && code.back() == '\n')
        code.pop_back();
}

int runPack(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    std::string out;
    bool outGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "-o") {
            if (i + 1 >= args.size())
                return usage(kName, "-o needs a file name");
            if (outGiven)
                return usage(kName, "-o given twice");
            out = args[++i];
            outGiven = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return usage(kName, "unknown option '" + arg + "'");
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.empty())
        return usage(kName, "NAME is needed");
    if (outGiven && out.empty())
        return usage(kName, "-o needs a file name");
    const std::string project = operands[0];
    if (project.empty())
        return usage(kName, "NAME must not be empty");
    if (ProjectStore::isBlankName(project))
        return fail(kName, "project name must not be blank");
    // A line break in a name would end the block line that carries it: the file could
    // not be imported again.
    if (holdsLineBreak(project))
        return fail(kName, "project name must not hold a line break");

    std::vector<std::string> modules;
    std::vector<std::string> codes;
    std::set<std::string> seen;
    for (std::size_t i = 1; i < operands.size(); ++i) {
        const std::string module = moduleNameOf(operands[i]);
        if (module.empty())
            return fail(kName, operands[i] + " gives an empty module name");
        if (ProjectStore::isBlankName(module))
            return fail(kName, operands[i] + " gives a blank module name");
        if (holdsLineBreak(module))
            return fail(kName, operands[i] + ": module name must not hold a line break");
        if (!seen.insert(module).second)
            return fail(kName, "module " + module + " is given twice (" + operands[i] + ")");
        std::string bytes;
        if (!readInput(kName, operands[i], bytes))
            return kFailed;
        modules.push_back(module);
        codes.push_back(text::decodeFileText(bytes));
        dropFinalLineBreak(codes.back());
    }

    SilentDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, std::string code) {
        return std::make_unique<TextPage>(name, std::move(code));
    });
    store.selectNode(store.addProjectCore(project));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        if (store.addModuleCore(modules[i], std::move(codes[i])) == kNoNode)
            return kFailed;  // the store has said why
    }
    const ProjectStore::CheckedExport exported = store.checkedExportBytes(project);
    if (!exported.ok())
        return fail(kName, "导出失败: " + exported.unstorable + "; nothing was written");
    if (!writeOutput(kName, out, exported.bytes))
        return kFailed;
    return kOk;
}

const CommandRegistration registration({
    kName,
    "make a project script file of JavaScript files",
    "Usage: quillbox-cli pack NAME [FILE...] [-o OUT]\n"
    "\n"
    "Makes the project NAME with one module per FILE, in the order given, and exports it\n"
    "as the workbench does: a project script file in GB18030 with CR LF line ends, written\n"
    "to OUT (replaced whole only once complete) or to standard output.\n"
    "\n"
    "The module name is the file name without its directory and without a final \".js\".\n"
    "Each FILE is read as UTF-8 when it is valid UTF-8, else as GB18030, and its code is\n"
    "kept as it is, except for the line break that ends its last line (LF or CR LF), which\n"
    "the format supplies itself. The module of the last FILE holds the last editor page, so\n"
    "it ends with one CR LF in the file; every other module ends with five. unpack gives the\n"
    "code back with the extra line breaks the format adds: four CR LF pairs after every\n"
    "module but the last, one after the last.\n"
    "\n"
    "  -o OUT   write to OUT instead of standard output\n"
    "  --       end of options\n"
    "\n"
    "OUT is written through a symbolic link (its target is replaced); a FIFO or a device is\n"
    "written directly.\n"
    "\n"
    "Exit status: 0 written; 1 a FILE cannot be read, two FILEs give the same module name,\n"
    "a name is blank or holds a line break, the file would not import back as the same\n"
    "project (\"导出失败: \" and the module, as for a module named \"end game\" or code that\n"
    "holds a project file), or OUT cannot be written (an existing OUT is then left as it\n"
    "was); 2 bad usage.\n",
    runPack,
});

}  // namespace
}  // namespace quillbox::cli
