#include "core/engine/LoadState.h"

#include "core/platform/Page.h"
#include "core/project/ProjectStore.h"

namespace quillbox::engine {

LoadStamp stampOf(ProjectStore& store, const std::string& project) {
    LoadStamp stamp;
    stamp.project = project;
    if (project.empty())
        return stamp;
    for (const std::string& module : store.moduleNames(project)) {
        Page* page = store.page(store.findPage(project, module));
        if (page)
            stamp.pages.emplace_back(page->name(), page->revision());
    }
    return stamp;
}

Staleness staleness(const std::optional<LoadStamp>& loaded, const LoadStamp& now) {
    if (!loaded)
        return Staleness::NeverLoaded;
    if (loaded->project != now.project)
        return Staleness::OtherProject;
    return *loaded == now ? Staleness::Current : Staleness::Edited;
}

const char* selectorName(EngineKind engine) { return engine == EngineKind::Native ? "MSScriptControl" : "ChakraCore"; }

std::string reloadNote(Staleness staleness, EngineKind engine) {
    const std::string name = selectorName(engine);
    switch (staleness) {
    case Staleness::Current: return "";
    case Staleness::NeverLoaded: return name + " 尚未加载本项目,先加载再执行";
    case Staleness::OtherProject: return name + " 中是另一项目,先加载本项目再执行";
    case Staleness::Edited: return "代码已修改,先重新加载到 " + name + " 再执行";
    }
    return "";
}

std::string engineStatus(EngineKind engine, const std::optional<LoadStamp>& loaded, ProjectStore& store) {
    std::string status = std::string(selectorName(engine)) + ": ";
    if (!loaded)
        return status + "未加载";
    status += loaded->project;
    return status + (staleness(loaded, stampOf(store, loaded->project)) == Staleness::Current ? " (最新)" : " (已修改)");
}

}  // namespace quillbox::engine
