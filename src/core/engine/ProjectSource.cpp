#include "core/engine/ProjectSource.h"

#include "core/project/ProjectFile.h"
#include "core/text/Text.h"

namespace quillbox::engine {

std::string projectNameForFile(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".js") == 0)
        name.erase(name.size() - 3);
    return name;
}

OpenedProject openProjectSource(ProjectStore& store, const std::string& path, const std::string& bytes) {
    OpenedProject opened;
    std::string text = text::decodeFileText(bytes);
    const project_file::SplitProject split = project_file::split(text);
    if (split.ok && !split.name.empty()) {
        const ImportResult imported = store.importBytes(bytes);
        if (imported.outcome != ImportOutcome::Imported) {
            opened.error = imported.detail.empty() ? "the project in the file could not be imported" : imported.detail;
            return opened;
        }
        opened.project = imported.project;
    } else {
        opened.project = projectNameForFile(path);
        if (opened.project.empty()) {
            opened.error = "the file name gives no project name";
            return opened;
        }
        store.tree().select(store.addProjectCore(opened.project));
        if (store.addModuleCore(opened.project, std::move(text)) == kNoNode) {
            opened.error = "the module could not be created";
            return opened;
        }
    }
    const std::vector<std::string> modules = store.moduleNames(opened.project);
    if (modules.empty()) {
        opened.error = "the project " + opened.project + " has no modules";
        return opened;
    }
    store.showPage(store.findPage(opened.project, modules.front()));
    opened.ok = store.currentPage() != nullptr;
    if (!opened.ok)
        opened.error = "the project " + opened.project + " has no pages";
    return opened;
}

}  // namespace quillbox::engine
