#include "core/deobfuscate/DeobfuscateInStore.h"

#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"

namespace quillbox::deobfuscate {

namespace {

std::string moduleOfNode(const std::string& nodeText) {
    return nodeText.size() > 3 && nodeText.compare(nodeText.size() - 3, 3, ".js") == 0
               ? nodeText.substr(0, nodeText.size() - 3)
               : nodeText;
}

}  // namespace

DeobfuscateTarget deobfuscateTarget(const ProjectStore& store, const std::string& expression) {
    DeobfuscateTarget target;
    const ProjectTree& tree = store.tree();
    NodeId node = tree.selected();
    while (node != kNoNode && tree.value(node) != node_value::kModule && tree.value(node) != node_value::kProject)
        node = tree.parent(node);
    if (node == kNoNode || tree.value(node) != node_value::kModule) {
        target.refusal = "请先选择要解混淆的模块";
        return target;
    }
    target.project = tree.text(tree.parent(node));
    target.module = moduleOfNode(tree.text(node));
    const int position = store.findPage(target.project, target.module);
    Page* page = position > 0 ? store.page(position) : nullptr;
    target.code = page ? page->getText() : std::string();
    if (target.code.find_first_not_of(" \t\r\n") == std::string::npos)
        target.refusal = "模块[" + target.module + "]没有代码";
    target.expression = expression;
    return target;
}

DeobfuscateOutcome runDeobfuscation(Deobfuscator& deobfuscator, const DeobfuscateTarget& target) {
    DeobfuscateOutcome outcome;
    outcome.result = deobfuscator.run(target.code);
    if (outcome.result.ok && !target.expression.empty()) {
        outcome.check = checkBehaviour(target.code, outcome.result.code, {target.expression}, CheckEngine::Chakra,
                                       deobfuscator.currentStop());
        outcome.checked = true;
    }
    return outcome;
}

std::string placeDeobfuscation(ProjectStore& store, const DeobfuscateTarget& target, const DeobfuscateOutcome& outcome,
                               Output& output) {
    output.chooseTab(0);
    output.messageLine(std::string(kDeobfuscateCommand) + "：" + target.project + "/" + target.module);
    for (const std::string& line : reportLines(outcome.result))
        output.messageLine(line);
    if (!outcome.result.ok)
        return {};
    const NodeId module = store.moduleNode(target.project, target.module);
    if (module == kNoNode || !store.hasProject(target.project)) {
        output.messageLine("解混淆失败：项目[" + target.project + "]已不在");
        return {};
    }
    // Beside the original, in its project: select the project so the module goes there.
    store.selectNode(store.tree().parent(module));
    const std::string base = target.module + (outcome.result.partial ? kPartialSuffix : kDeobfuscatedSuffix);
    std::string name = base;
    for (int n = 2; store.hasModule(target.project, name); ++n)
        name = base + std::to_string(n);
    std::string code = outcome.result.code;
    if (outcome.result.partial)
        code = "// 解混淆不完整 (partial): " + outcome.result.why + "\n" + code;
    store.addModuleCore(name, code);
    output.messageLine("已写入新模块[" + name + "]，原代码未改动");
    if (outcome.checked)
        for (const std::string& line : checkLines(outcome.check, CheckEngine::Chakra))
            output.messageLine(line);
    return name;
}

}  // namespace quillbox::deobfuscate
