#include "core/convert/ConvertInStore.h"

#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"

namespace quillbox::convert {

namespace {

std::string moduleOfNode(const std::string& nodeText) {
    return nodeText.size() > 3 && nodeText.compare(nodeText.size() - 3, 3, ".js") == 0
               ? nodeText.substr(0, nodeText.size() - 3)
               : nodeText;
}

std::string moduleText(const ProjectStore& store, const std::string& project, const std::string& module) {
    const int position = store.findPage(project, module);
    Page* page = position > 0 ? store.page(position) : nullptr;
    return page ? page->getText() : std::string();
}

// The name itself when free, else with 2, 3, ... after it.
template <class Taken>
std::string freeName(const std::string& name, Taken taken) {
    if (!taken(name))
        return name;
    for (int n = 2;; ++n)
        if (!taken(name + std::to_string(n)))
            return name + std::to_string(n);
}

}  // namespace

ConvertTarget convertTarget(const ProjectStore& store) {
    ConvertTarget target;
    const ProjectTree& tree = store.tree();
    NodeId node = tree.selected();
    while (node != kNoNode && tree.value(node) != node_value::kModule && tree.value(node) != node_value::kProject)
        node = tree.parent(node);
    if (node == kNoNode) {
        target.refusal = "请先选择要转换的项目或模块";
        return target;
    }
    if (tree.value(node) == node_value::kProject) {
        target.project = tree.text(node);
        for (const std::string& module : store.moduleNames(target.project))
            target.modules.push_back({module, moduleText(store, target.project, module)});
        if (target.modules.empty())
            target.refusal = "项目[" + target.project + "]中没有模块";
        return target;
    }
    target.project = tree.text(tree.parent(node));
    target.module = moduleOfNode(tree.text(node));
    target.modules.push_back({target.module, moduleText(store, target.project, target.module)});
    return target;
}

ConvertOutcome runConversion(Converter& converter, const ConvertTarget& target) {
    ConvertOutcome outcome;
    outcome.conversion = converter.convert(target.modules);
    if (outcome.conversion.ok)
        outcome.check = checkByRunning(target.modules, outcome.conversion, {}, {}, converter.currentStop());
    return outcome;
}

std::string placeConversion(ProjectStore& store, const ConvertTarget& target, const ConvertOutcome& outcome,
                            Output& output) {
    output.chooseTab(0);
    output.messageLine(std::string(kConvertCommand) + "：" + target.project + (target.module.empty() ? "" : "/" + target.module));
    for (const std::string& line : reportLines(outcome.conversion))
        output.messageLine(line);
    if (!outcome.conversion.ok)
        return {};

    std::string placed;
    if (target.module.empty()) {
        placed = freeName(target.project + kConvertedSuffix, [&](const std::string& n) { return store.hasProject(n); });
        store.selectNode(store.addProjectCore(placed));
    } else {
        // Beside the original, in its project: select the project so the modules go there.
        const NodeId module = store.moduleNode(target.project, target.module);
        if (module == kNoNode || !store.hasProject(target.project)) {
            output.messageLine("转换失败：项目[" + target.project + "]已不在");
            return {};
        }
        store.selectNode(store.tree().parent(module));
    }
    const std::string project = target.module.empty() ? placed : target.project;
    const auto taken = [&](const std::string& n) { return store.hasModule(project, n); };
    std::string shimModule;
    if (!outcome.conversion.shimCode.empty()) {
        shimModule = freeName(kShimModule, taken);
        store.addModuleCore(shimModule, outcome.conversion.shimCode);
    }
    for (const ConvertedModule& m : outcome.conversion.modules) {
        const std::string name = target.module.empty() ? m.name : freeName(m.name + kConvertedSuffix, taken);
        store.addModuleCore(name, m.code);
        if (!target.module.empty())
            placed = name;
    }
    output.messageLine("已写入" + std::string(target.module.empty() ? "新项目[" : "新模块[") + placed + "]" +
                       (shimModule.empty() ? "" : "，补丁在模块[" + shimModule + "]") + "，原代码未改动");
    for (const std::string& line : checkLines(outcome.check))
        output.messageLine(line);
    return placed;
}

}  // namespace quillbox::convert
