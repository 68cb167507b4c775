// Export and import of project script files.
#include <filesystem>

#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox {

namespace {
constexpr const char* kErrorTitle = "错误";
}  // namespace

std::string ProjectStore::exportText(const std::string& project) const {
    // Each module listed takes one page of its own: a module name listed twice (a rename
    // onto a sibling's name) takes the next page of that name, not the same code twice.
    std::vector<bool> used(pages_.size(), false);
    std::vector<project_file::ExportedModule> modules;
    for (const std::string& module : moduleNames(project)) {
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            if (used[i] || pages_[i].project != project || pages_[i].module != module)
                continue;
            used[i] = true;
            modules.push_back({module, pages_[i].page->getText(), i + 1 == pages_.size()});
            break;
        }
    }
    return project_file::build(project, modules);
}

std::string ProjectStore::exportBytes(const std::string& project) const {
    return text::toGb18030(exportText(project));
}

bool ProjectStore::exportProject(const std::string& project) {
    const std::string bytes = exportBytes(project);
    std::string path;
    if (!lastExportPath_.empty() &&
        dialogs_.messageBox("保存为[" + lastExportPath_ + "]?", "", MessageIcon::None, MessageButtons::YesNo) ==
            MessageAnswer::Yes) {
        path = lastExportPath_;
    } else {
        SaveFileRequest request;
        request.title = "Quillbox 保存Js";
        request.filter = "js文件(*.js)|*.js";
        request.defaultExtension = ".js";
        request.initialDirectory = paths::desktopDirectory();
        lastExportPath_ = dialogs_.saveFileDialog(request);
        path = lastExportPath_;
        if (path.empty())
            return false;
    }
    // The old file stays whole until the new one is complete; the user must hear when
    // the work was not saved.
    std::string reason;
    if (!files::writeAtomically(path, bytes, &reason)) {
        dialogs_.messageBox("导出失败: " + reason, kErrorTitle, MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    return true;
}

bool ProjectStore::exportCurrentProject() {
    const int position = currentPagePosition();
    if (position == 0)
        return false;
    return exportProject(projectOfPage(position));
}

bool ProjectStore::crashSavePoint() {
    dialogs_.messageBox("程序崩溃,请选择项目保存点", "", MessageIcon::None, MessageButtons::Ok);
    return exportCurrentProject();
}

ImportResult ProjectStore::importFile(const std::string& path) {
    ImportResult result;
    std::string extension = path.size() >= 3 ? path.substr(path.size() - 3) : path;
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (extension != ".js" &&
        dialogs_.messageBox("导入的不是Js文件,是否继续导入?", "警告", MessageIcon::Warning, MessageButtons::YesNo) !=
            MessageAnswer::Yes) {
        result.outcome = ImportOutcome::Declined;
        return result;
    }
    std::string bytes;
    std::string reason;
    std::error_code sizeError;
    if (const auto size = std::filesystem::file_size(path, sizeError); !sizeError)
        bytes.reserve(static_cast<std::size_t>(size));  // one allocation for a large file
    if (!files::readAll(path, bytes, &reason)) {
        dialogs_.messageBox("导入失败: " + reason, kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
        result.outcome = ImportOutcome::Unreadable;
        result.detail = reason;
        return result;
    }
    std::string fileText = text::decodeFileText(bytes);
    std::string().swap(bytes);
    result = importText(std::move(fileText));
    // A dropped file that yields nothing must not look like a success.
    if (result.outcome == ImportOutcome::NoProject)
        dialogs_.messageBox("导入失败: " + (result.detail.empty() ? std::string("文件中没有项目") : result.detail),
                            kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
    return result;
}

ImportResult ProjectStore::importBytes(const std::string& bytes) {
    return importText(text::decodeFileText(bytes));
}

ImportResult ProjectStore::importText(std::string fileText) {
    ImportResult result;
    project_file::SplitProject split = project_file::split(std::move(fileText));
    if (!split.ok || split.name.empty()) {
        result.outcome = ImportOutcome::NoProject;
        result.detail = split.error;  // empty when the text simply holds no project
        return result;
    }

    JsonDocument modules = JsonDocument::makeObject();
    JsonDocument list = JsonDocument::makeArray();
    for (const std::string& name : split.moduleNames)
        list.append("", JsonDocument::makeString(name));
    modules.setMember("", "js", list);
    JsonDocument imported = JsonDocument::makeObject();
    imported.setMember("", split.name, modules);
    if (imported.count() != 1) {
        dialogs_.messageBox("错误的源代码", kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
        result.outcome = ImportOutcome::BadSource;
        return result;
    }

    std::string name = split.name;
    while (hasProject(name)) {
        dialogs_.messageBox("重复的项目名称,请重新输入名称", kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
        const std::optional<std::string> answer = dialogs_.inputBox("请输入项目名称", "项目名称");
        if (!answer || answer->empty()) {
            dialogs_.messageBox("错误的导入操作", kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
            result.outcome = ImportOutcome::Refused;
            return result;
        }
        name = *answer;
    }

    result.outcome = ImportOutcome::Imported;
    result.project = name;
    selectNode(addProjectCore(name));
    for (std::size_t i = 0; i < split.moduleNames.size(); ++i) {
        const std::string& module = split.moduleNames[i];
        // The page takes the code over: a large file is not held twice.
        if (addModuleCore(module, std::move(split.codes[i])) == kNoNode)
            result.skipped.push_back(module);
        else
            result.modules.push_back(module);
        std::string().swap(split.codes[i]);
    }
    return result;
}

}  // namespace quillbox
