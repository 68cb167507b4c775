#include "core/project/ProjectSource.h"

#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/project/ProjectStore.h"

namespace quillbox {

std::string projectNameForFile(const std::string& path) { return ProjectStore::projectNameForFile(path); }

ProjectSource addProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes) {
    ProjectSource source;
    const ImportResult imported = store.importBytes(bytes, PlainScript::AsModule, path);
    if (imported.outcome != ImportOutcome::Imported) {
        source.error = imported.detail.empty() ? "the project in the file cannot be imported" : imported.detail;
        return source;
    }
    source.ok = true;
    source.project = imported.project;
    return source;
}

ProjectSource openProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes) {
    ProjectSource source = addProjectSource(store, path, bytes);
    if (source.ok && !store.showFirstModule(source.project)) {
        source.ok = false;
        source.error = "the project " + source.project + " has no modules";
    }
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
