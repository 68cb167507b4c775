#include "core/project/ProjectSource.h"

#include <vector>

#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox {

std::string projectNameForFile(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".js") == 0)
        name.erase(name.size() - 3);
    return name;
}

ProjectSource addProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes) {
    ProjectSource source;
    const ImportResult imported = store.importBytes(bytes);
    switch (imported.outcome) {
    case ImportOutcome::Imported:
        source.ok = true;
        source.project = imported.project;
        return source;
    case ImportOutcome::NoProject:
        break;  // a plain script: one module below
    default:
        source.error = imported.detail.empty() ? "the project in the file cannot be imported" : imported.detail;
        return source;
    }

    const std::string name = projectNameForFile(path);
    if (name.empty()) {
        source.error = "the file name gives no project name";
        return source;
    }
    store.selectNode(store.addProjectCore(name));
    if (store.addModuleCore(name, text::decodeFileText(bytes)) == kNoNode) {
        source.error = "cannot make a module of " + path;
        return source;
    }
    source.ok = true;
    source.project = name;
    return source;
}

ProjectSource openProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes) {
    ProjectSource source = addProjectSource(store, path, bytes);
    if (!source.ok)
        return source;
    const std::vector<std::string> modules = store.moduleNames(source.project);
    source.ok = false;
    if (modules.empty()) {
        source.error = "the project " + source.project + " has no modules";
        return source;
    }
    store.showPage(store.findPage(source.project, modules.front()));
    source.ok = store.currentPage() != nullptr;
    if (!source.ok)
        source.error = "the project " + source.project + " has no pages";
    return source;
}

std::string openUserFile(ProjectStore& store, Dialogs& dialogs, const std::string& path) {
    auto refuse = [&dialogs](const std::string& why) {
        dialogs.messageBox("导入失败: " + why, "错误", MessageIcon::Warning, MessageButtons::Ok);
        return std::string();
    };
    std::string bytes;
    std::string reason;
    if (!files::readAll(path, bytes, &reason))
        return refuse(reason);
    // A project script file is imported (the import speaks to the user itself).
    const ImportResult imported = store.importBytes(bytes);
    if (imported.outcome == ImportOutcome::Imported)
        return imported.project;
    if (imported.outcome != ImportOutcome::NoProject)
        return std::string();
    if (!imported.detail.empty())
        return refuse(imported.detail);  // it looked like a project but cannot be split
    // A plain script: its project must not take a name that is already in use.
    if (store.hasProject(projectNameForFile(path))) {
        dialogs.messageBox("名称重复！请重新命名", "警告", MessageIcon::Warning, MessageButtons::Ok);
        return std::string();
    }
    const ProjectSource source = addProjectSource(store, path, bytes);
    return source.ok ? source.project : refuse(source.error);
}

}  // namespace quillbox
