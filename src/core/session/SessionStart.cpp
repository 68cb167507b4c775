#include "core/session/SessionStart.h"

#include <set>

#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionFile.h"

namespace quillbox::session {

namespace {

std::string uniqueName(const std::string& name, std::set<std::string>& taken) {
    std::string candidate = name;
    for (int n = 2; taken.count(candidate) != 0; ++n)
        candidate = name + " (" + std::to_string(n) + ")";
    taken.insert(candidate);
    return candidate;
}

NodeId moduleNode(const ProjectStore& store, const std::string& project, const std::string& module) {
    const NodeId projectNode = store.tree().findTopLevel(project);
    if (projectNode == kNoNode)
        return kNoNode;
    for (NodeId child : store.tree().children(projectNode))
        if (store.tree().value(child) == node_value::kModule && store.tree().text(child) == module + ".js")
            return child;
    return kNoNode;
}

}  // namespace

int restoreSession(ProjectStore& store, Output& output, const Session& session) {
    int restored = 0;
    for (const SessionProject& project : session.projects) {
        if (project.name.empty() || store.hasProject(project.name)) {
            output.messageLine("项目[" + project.name + "]已存在,未恢复");
            continue;
        }
        store.selectNode(store.addProjectCore(project.name));
        std::set<std::string> taken;
        for (const SessionModule& module : project.modules) {
            const std::string name = uniqueName(module.name, taken);
            if (name != module.name)
                output.messageLine("项目[" + project.name + "]中模块[" + module.name + "]重名,恢复为[" + name + "]");
            store.addModuleCore(name, module.code);
        }
        ++restored;
    }
    if (const NodeId shown = moduleNode(store, session.currentProject, session.currentModule); shown != kNoNode)
        store.selectNode(shown);
    return restored;
}

StartResult restoreAtStart(ProjectStore& store, Output& output, const std::string& path, bool memoryText,
                           bool writable) {
    StartResult result;
    result.keepSession = writable;
    ReadResult read = readSession(path);
    switch (read.status) {
    case ReadStatus::Missing:
        return result;
    case ReadStatus::Unreadable:
    case ReadStatus::Unparsable: {
        if (!writable) {
            output.messageLine("会话文件无法读取(" + read.error + "),本次运行不保存会话: " + path);
            return result;
        }
        std::string error;
        result.movedTo = moveAside(path, &error);
        if (result.movedTo.empty()) {
            result.keepSession = false;
            output.messageLine("会话文件无法读取(" + read.error + "),也无法移开(" + error +
                               "),本次运行不保存会话: " + path);
        } else {
            output.messageLine("会话文件无法读取(" + read.error + "),已移到: " + result.movedTo);
        }
        return result;
    }
    case ReadStatus::Ok:
        break;
    }
    result.unclean = !read.session.clean;
    if (!result.unclean && !memoryText)
        return result;
    result.restored = restoreSession(store, output, read.session);
    if (result.unclean && result.restored > 0)
        output.messageLine("上次运行未正常结束,已恢复" + std::to_string(result.restored) + "个项目");
    return result;
}

}  // namespace quillbox::session
