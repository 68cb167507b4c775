// Export and import of project script files.
#include <deque>
#include <unordered_map>

#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox {

namespace {
constexpr const char* kErrorTitle = "错误";
}  // namespace

namespace {

// The project's modules as export writes them: in document order, each with the code of
// its page. Each module listed takes one page of its own, so a name listed twice (as older
// versions allowed) takes the next page of that name, not the same code twice.
std::vector<project_file::ExportedModule> exportedModules(const std::vector<std::string>& names,
                                                          const std::vector<Page*>& pages,
                                                          const std::vector<std::string>& pageModules,
                                                          std::size_t pageCount,
                                                          const std::vector<std::size_t>& positions) {
    std::unordered_map<std::string, std::deque<std::size_t>> pagesOf;
    for (std::size_t k = 0; k < pages.size(); ++k)
        pagesOf[pageModules[k]].push_back(k);
    std::vector<project_file::ExportedModule> modules;
    modules.reserve(names.size());
    for (const std::string& module : names) {
        auto it = pagesOf.find(module);
        if (it == pagesOf.end() || it->second.empty())
            continue;
        const std::size_t k = it->second.front();
        it->second.pop_front();
        modules.push_back({module, pages[k]->getText(), positions[k] + 1 == pageCount});
    }
    return modules;
}

}  // namespace

std::vector<project_file::ExportedModule> ProjectStore::exportModules(const std::string& project) const {
    std::vector<Page*> pages;
    std::vector<std::string> pageModules;
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i].project != project)
            continue;
        pages.push_back(pages_[i].page.get());
        pageModules.push_back(pages_[i].module);
        positions.push_back(i);
    }
    return exportedModules(moduleNames(project), pages, pageModules, pages_.size(), positions);
}

std::string ProjectStore::exportText(const std::string& project) const {
    return project_file::build(project, exportModules(project));
}

ProjectStore::CheckedExport ProjectStore::checkedExportBytes(const std::string& project) const {
    const std::vector<project_file::ExportedModule> modules = exportModules(project);
    CheckedExport result;
    result.bytes = text::toGb18030(project_file::build(project, modules));
    result.unstorable = project_file::checkRoundTrip(project, modules, text::decodeFileText(result.bytes));
    if (!result.ok())
        result.bytes.clear();
    return result;
}

std::string ProjectStore::exportBytes(const std::string& project) const {
    return text::toGb18030(exportText(project));
}

bool ProjectStore::exportProject(const std::string& project) {
    // A file that would not import back as this project is not written at all: it would
    // lose modules or code without a word the day it is imported.
    const CheckedExport checked = checkedExportBytes(project);
    if (!checked.ok()) {
        dialogs_.messageBox("导出失败: " + checked.unstorable, kErrorTitle, MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    const std::string& bytes = checked.bytes;
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

ImportResult ProjectStore::importFile(const std::string& path, PlainScript plain) {
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
    if (!files::readAll(path, bytes, &reason)) {
        dialogs_.messageBox("导入失败: " + reason, kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
        result.outcome = ImportOutcome::Unreadable;
        result.detail = reason;
        return result;
    }
    std::string fileText = text::decodeFileText(bytes);
    std::string().swap(bytes);
    result = importText(std::move(fileText), plain, path);
    // A dropped file that yields nothing must not look like a success.
    if (result.outcome == ImportOutcome::NoProject)
        dialogs_.messageBox("导入失败: " + (result.detail.empty() ? std::string("文件中没有项目") : result.detail),
                            kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
    return result;
}

ImportResult ProjectStore::importBytes(const std::string& bytes, PlainScript plain, const std::string& path) {
    return importText(text::decodeFileText(bytes), plain, path);
}

std::string ProjectStore::projectNameForFile(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".js") == 0)
        name.erase(name.size() - 3);
    return name;
}

bool ProjectStore::showFirstModule(const std::string& project) {
    const std::vector<std::string> modules = moduleNames(project);
    if (modules.empty())
        return false;
    const NodeId node = moduleNode(project, modules.front());
    if (node != kNoNode)
        selectNode(node);
    const int position = findPage(project, modules.front());
    if (position != 0 && currentPagePosition() != position)
        showPage(position);
    return position != 0;
}

ImportResult ProjectStore::importText(std::string fileText, PlainScript plain, const std::string& path) {
    ImportResult result;
    const bool mayBePlain = plain == PlainScript::AsModule;
    project_file::SplitProject split = project_file::split(std::move(fileText));
    if (!split.ok || split.name.empty()) {
        if (!mayBePlain || !split.ok) {
            result.outcome = ImportOutcome::NoProject;
            result.detail = split.error;  // empty when the text simply holds no project
            return result;
        }
        const std::string name = projectNameForFile(path);
        if (isBlankName(name)) {
            result.outcome = ImportOutcome::NoProject;
            result.detail = "文件名不能作为项目名称";
            return result;
        }
        // The text given back whole is the code of the one module.
        std::vector<std::string> codes{std::move(split.unsplit)};
        return createImported(name, {name}, codes);
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
    return createImported(split.name, split.moduleNames, split.codes);
}

ImportResult ProjectStore::createImported(std::string name, const std::vector<std::string>& modules,
                                          std::vector<std::string>& codes) {
    ImportResult result;
    while (hasProject(name)) {
        dialogs_.messageBox("重复的项目名称,请重新输入名称", kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
        const std::optional<std::string> answer = dialogs_.inputBox("请输入项目名称", "项目名称");
        if (!answer || isBlankName(*answer)) {
            dialogs_.messageBox("错误的导入操作", kErrorTitle, MessageIcon::Warning, MessageButtons::Ok);
            result.outcome = ImportOutcome::Refused;
            return result;
        }
        name = *answer;
    }

    result.outcome = ImportOutcome::Imported;
    result.project = name;
    selectNode(addProjectCore(name));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const std::string& module = modules[i];
        // The page takes the code over: a large file is not held twice.
        if (addModuleCore(module, std::move(codes[i])) == kNoNode)
            result.skipped.push_back(module);
        else
            result.modules.push_back(module);
        std::string().swap(codes[i]);
    }
    return result;
}

}  // namespace quillbox
