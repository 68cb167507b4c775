#include "core/project/ProjectStore.h"

#include <algorithm>

namespace quillbox {

namespace {

constexpr const char* kWarningTitle = "警告";
constexpr const char* kSelectParentOrModule = "请选中父\\子项目后再进行操作";

std::string replaceMark(std::string text, const std::string& value) {
    const std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

}  // namespace

ProjectStore::ProjectStore(Dialogs& dialogs, PageFactory pageFactory)
    : dialogs_(dialogs), pageFactory_(std::move(pageFactory)), document_(JsonDocument::makeObject()) {}

ProjectStore::~ProjectStore() = default;

// ---- projects and modules ---------------------------------------------------------------

std::vector<std::string> ProjectStore::projectNames() const {
    std::vector<std::string> names;
    document_.memberNames("", names);
    return names;
}

bool ProjectStore::hasProject(const std::string& project) const {
    const std::vector<std::string> names = projectNames();
    return std::find(names.begin(), names.end(), project) != names.end();
}

std::string ProjectStore::modulesPath(const std::string& project) {
    return JsonDocument::escapePathKey(project) + ".js";
}

std::vector<std::string> ProjectStore::moduleNames(const std::string& project) const {
    const std::string path = modulesPath(project);
    const std::size_t n = document_.count(path);
    std::vector<std::string> names;
    names.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        names.push_back(document_.at(path, i).string());
    return names;
}

std::size_t ProjectStore::moduleCount(const std::string& project) const {
    return document_.count(modulesPath(project));
}

bool ProjectStore::hasModule(const std::string& project, const std::string& module) const {
    auto it = modulesOf_.find(project);
    return it != modulesOf_.end() && it->second.count(module) != 0;
}

void ProjectStore::forgetModule(const std::string& project, const std::string& module) {
    if (auto it = modulesOf_.find(project); it != modulesOf_.end())
        it->second.erase(module);
}

NodeId ProjectStore::moduleNode(const std::string& project, const std::string& module) const {
    for (NodeId p : tree_.topLevel()) {
        if (tree_.value(p) != node_value::kProject || tree_.text(p) != project)
            continue;
        for (NodeId m : tree_.children(p))
            if (tree_.value(m) == node_value::kModule && tree_.text(m) == module + ".js")
                return m;
    }
    return kNoNode;
}

bool ProjectStore::isBlankName(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ' ' || name[i] == '\t' || name[i] == '\r' || name[i] == '\n' || name[i] == '\v' ||
            name[i] == '\f')
            continue;
        if (name.compare(i, 3, "\xE3\x80\x80") == 0) {
            i += 2;
            continue;
        }
        return false;
    }
    return true;
}

int ProjectStore::moduleIndex(const std::string& project, const std::string& module) const {
    // Compared as strings, not as JSON text: a name holding "/" or a quote is written
    // escaped in JSON and would never be found that way.
    const std::vector<std::string> names = moduleNames(project);
    auto it = std::find(names.begin(), names.end(), module);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

std::string ProjectStore::moduleOfNodeText(const std::string& nodeText) {
    // A module node reads name + ".js"; the name itself may contain ".js".
    if (nodeText.size() >= 3 && nodeText.compare(nodeText.size() - 3, 3, ".js") == 0)
        return nodeText.substr(0, nodeText.size() - 3);
    return nodeText;
}

// ---- pages ---------------------------------------------------------------------------------

std::string ProjectStore::pageName(const std::string& project, const std::string& module) {
    return project + "_" + module + ".js";
}

Page* ProjectStore::page(int position) const {
    if (position < 1 || position > pageCount())
        return nullptr;
    return pages_[static_cast<std::size_t>(position - 1)].page.get();
}

std::string ProjectStore::projectOfPage(int position) const {
    if (position < 1 || position > pageCount())
        return "";
    return pages_[static_cast<std::size_t>(position - 1)].project;
}

std::string ProjectStore::moduleOfPage(int position) const {
    if (position < 1 || position > pageCount())
        return "";
    return pages_[static_cast<std::size_t>(position - 1)].module;
}

int ProjectStore::findPage(const std::string& project, const std::string& module) const {
    for (std::size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i].project == project && pages_[i].module == module)
            return static_cast<int>(i + 1);
    return 0;
}

int ProjectStore::currentPagePosition() const {
    for (std::size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i].page->visible())
            return static_cast<int>(i + 1);
    return 0;
}

std::string ProjectStore::currentProject() const { return projectOfPage(currentPagePosition()); }

void ProjectStore::showPage(int position) {
    for (PageEntry& entry : pages_)
        entry.page->setVisible(false);
    Page* shown = page(position);
    if (shown)
        shown->setVisible(true);
    if (onPageShown)
        onPageShown(shown ? position : 0);
}

// ---- helpers -------------------------------------------------------------------------------

void ProjectStore::warn(const std::string& text) {
    dialogs_.messageBox(text, kWarningTitle, MessageIcon::Warning, MessageButtons::Ok);
}

void ProjectStore::refreshLayout() {
    if (onLayoutRefresh)
        onLayoutRefresh();
}

NodeId ProjectStore::selectedProjectNode() const {
    const NodeId selected = tree_.selected();
    switch (tree_.value(selected)) {
    case node_value::kProject:
        return selected;
    case node_value::kModule:
        return tree_.parent(selected);
    default:
        return kNoNode;
    }
}

std::string ProjectStore::titleText(const std::string& pageName) {
    return "Quillbox 1.30 By : Zorvan (当前项目:" + pageName + ")";
}

// ---- cores ---------------------------------------------------------------------------------

NodeId ProjectStore::addProjectCore(const std::string& project) {
    const NodeId node = tree_.add(kNoNode, project, node_image::kProject, node_image::kProject, node_value::kProject);
    JsonDocument value = JsonDocument::makeObject();
    value.setMember("", "js", JsonDocument::makeArray());
    document_.setMember("", project, value);
    modulesOf_[project].clear();
    refreshLayout();
    return node;
}

NodeId ProjectStore::addModuleCore(const std::string& module, std::string code) {
    const NodeId projectNode = selectedProjectNode();
    if (projectNode == kNoNode) {
        warn(kSelectParentOrModule);
        return kNoNode;
    }
    const std::string project = tree_.text(projectNode);
    if (isBlankName(module)) {
        warn("名称不能为空！请重新命名");
        return kNoNode;
    }
    if (hasModule(project, module)) {
        warn("名称重复[" + module + "]！请重新命名");
        return kNoNode;
    }
    const std::string name = pageName(project, module);
    std::unique_ptr<Page> newPage = pageFactory_ ? pageFactory_(name, std::move(code)) : nullptr;
    if (!newPage) {
        dialogs_.messageBox("无法创建编辑页[" + name + "]", "错误", MessageIcon::Error, MessageButtons::Ok);
        return kNoNode;
    }
    newPage->setVisible(false);

    const NodeId node =
        tree_.add(projectNode, module + ".js", node_image::kModule, node_image::kModule, node_value::kModule);
    tree_.add(node, "方法", node_image::kGroup, node_image::kGroup, node_value::kMethodsGroup);
    tree_.add(node, "属性", node_image::kGroup, node_image::kGroup, node_value::kPropertiesGroup);
    pages_.push_back(PageEntry{std::move(newPage), project, module});
    if (onPagesChanged)
        onPagesChanged();
    document_.append(modulesPath(project), JsonDocument::makeString(module));
    modulesOf_[project].insert(module);
    refreshLayout();
    return node;
}

bool ProjectStore::removePageCore(int position) {
    Page* p = page(position);
    if (!p)
        return false;
    if (!p->getText().empty()) {
        const std::string question = replaceMark("项目[%s]中还有代码,确定删除吗？", p->name());
        if (dialogs_.messageBox(question, "", MessageIcon::None, MessageButtons::YesNo) != MessageAnswer::Yes)
            return false;
    }
    p->close();
    pages_.erase(pages_.begin() + (position - 1));
    showPage(1);
    if (onPagesChanged)
        onPagesChanged();
    return true;
}

// ---- commands ------------------------------------------------------------------------------

void ProjectStore::addProject() {
    const std::optional<std::string> answer = dialogs_.inputBox("请输入项目名称", "项目名称");
    if (!answer || isBlankName(*answer))
        return;
    if (hasProject(*answer)) {
        warn("名称重复！请重新命名");
        return;
    }
    selectNode(addProjectCore(*answer));
}

void ProjectStore::deleteProject() {
    const NodeId node = tree_.selected();
    if (tree_.value(node) != node_value::kProject) {
        warn("请选中项目后再进行操作");
        return;
    }
    const std::string project = tree_.text(node);
    // One question for the whole project, naming how many modules it holds, and then all
    // of it goes or none of it: a project is never left half deleted.
    std::vector<std::size_t> pages;
    bool holdsCode = false;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i].project != project)
            continue;
        pages.push_back(i);
        holdsCode = holdsCode || !pages_[i].page->getText().empty();
    }
    if (holdsCode) {
        const std::string question =
            "项目[" + project + "]中还有代码(共" + std::to_string(moduleCount(project)) + "个模块),确定删除吗？";
        if (dialogs_.messageBox(question, "", MessageIcon::None, MessageButtons::YesNo) != MessageAnswer::Yes)
            return;
    }
    // The node and the member go first, so that whatever the page change tells the window
    // no longer lists the project.
    document_.removeMember("", project);
    modulesOf_.erase(project);
    tree_.remove(node);
    removePages(pages);
}

void ProjectStore::removePages(const std::vector<std::size_t>& indexes) {
    if (indexes.empty())
        return;
    std::vector<bool> drop(pages_.size(), false);
    for (std::size_t i : indexes) {
        drop[i] = true;
        pages_[i].page->close();
    }
    // Into a new list: moving an entry onto itself would empty its project and module names.
    std::vector<PageEntry> kept;
    kept.reserve(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i)
        if (!drop[i])
            kept.push_back(std::move(pages_[i]));
    pages_ = std::move(kept);
    // The page left in view is shown before the change is told, so the window follows it.
    showPage(1);
    if (onPagesChanged)
        onPagesChanged();
}

void ProjectStore::addModule() {
    const NodeId projectNode = selectedProjectNode();
    if (projectNode == kNoNode) {
        warn(kSelectParentOrModule);
        return;
    }
    const std::string prompt = replaceMark("当前项目(%s)请输入子项目名称", tree_.text(projectNode));
    const std::optional<std::string> answer = dialogs_.inputBox(prompt, "模块名称");
    if (!answer || isBlankName(*answer))
        return;
    const NodeId node = addModuleCore(*answer, "");
    if (node != kNoNode)
        selectNode(node);
}

void ProjectStore::deleteModule() {
    const NodeId node = tree_.selected();
    if (tree_.value(node) != node_value::kModule) {
        warn("请选中子项目后再进行操作");
        return;
    }
    const std::string project = tree_.text(tree_.parent(node));
    const std::string module = moduleOfNodeText(tree_.text(node));
    if (const int position = findPage(project, module); position != 0)
        if (!removePageCore(position))
            return;
    if (const int index = moduleIndex(project, module); index >= 0)
        document_.removeAt(modulesPath(project), static_cast<std::size_t>(index));
    forgetModule(project, module);

    NodeId next = tree_.previousSibling(node);
    if (tree_.value(next) != node_value::kModule)
        next = tree_.nextSibling(node);
    if (tree_.value(next) != node_value::kModule)
        next = kNoNode;
    tree_.remove(node);
    if (next != kNoNode)
        selectNode(next);
}

void ProjectStore::deleteModules(const std::vector<NodeId>& nodes) {
    std::vector<NodeId> modules;
    for (NodeId node : nodes)
        if (tree_.value(node) == node_value::kModule && std::find(modules.begin(), modules.end(), node) == modules.end())
            modules.push_back(node);
    if (modules.empty()) {
        warn("请选中子项目后再进行操作");
        return;
    }
    if (modules.size() == 1) {
        selectNode(modules.front());
        deleteModule();
        return;
    }
    struct Gone {
        NodeId node;
        std::string project;
        std::string module;
    };
    std::vector<Gone> gone;
    std::vector<std::size_t> pages;
    std::string names;
    bool holdsCode = false;
    for (NodeId node : modules) {
        Gone entry{node, tree_.text(tree_.parent(node)), moduleOfNodeText(tree_.text(node))};
        if (const int position = findPage(entry.project, entry.module); position != 0) {
            pages.push_back(static_cast<std::size_t>(position - 1));
            holdsCode = holdsCode || !page(position)->getText().empty();
        }
        if (gone.size() < 5)
            names += (names.empty() ? "" : ",") + pageName(entry.project, entry.module);
        else if (gone.size() == 5)
            names += ",…";
        gone.push_back(std::move(entry));
    }
    if (holdsCode) {
        const std::string question =
            "项目[" + names + "]中还有代码(共" + std::to_string(gone.size()) + "个模块),确定删除吗？";
        if (dialogs_.messageBox(question, "", MessageIcon::None, MessageButtons::YesNo) != MessageAnswer::Yes)
            return;
    }
    for (const Gone& entry : gone) {
        if (const int index = moduleIndex(entry.project, entry.module); index >= 0)
            document_.removeAt(modulesPath(entry.project), static_cast<std::size_t>(index));
        forgetModule(entry.project, entry.module);
        tree_.remove(entry.node);
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    removePages(pages);
}

void ProjectStore::renameModule() {
    const NodeId node = tree_.selected();
    if (tree_.value(node) != node_value::kModule)
        return;
    const std::optional<std::string> answer = dialogs_.inputBox("请输入子项目名称", "模块名称");
    if (!answer || isBlankName(*answer))
        return;
    const std::string& newName = *answer;
    const std::string project = tree_.text(tree_.parent(node));
    const std::string oldName = moduleOfNodeText(tree_.text(node));
    if (newName == oldName)
        return;
    // Module names are unique within a project: a second module of the same name could
    // neither be told apart nor exported and imported again.
    if (hasModule(project, newName)) {
        warn("名称重复[" + newName + "]！请重新命名");
        return;
    }
    forgetModule(project, oldName);
    modulesOf_[project].insert(newName);
    if (const int index = moduleIndex(project, oldName); index >= 0) {
        const std::string path = modulesPath(project);
        document_.insertAt(path, static_cast<std::size_t>(index) + 1, JsonDocument::makeString(newName));
        document_.removeAt(path, static_cast<std::size_t>(index));
    }
    tree_.setText(node, newName + ".js");
    if (const int position = findPage(project, oldName); position != 0) {
        PageEntry& entry = pages_[static_cast<std::size_t>(position - 1)];
        entry.module = newName;
        entry.page->setName(pageName(project, newName));
    }
}

void ProjectStore::moveModuleUp() {
    const NodeId node = tree_.selected();
    if (tree_.value(node) != node_value::kModule)
        return;
    tree_.moveUp(node);
    const std::string project = tree_.text(tree_.parent(node));
    const std::string module = moduleOfNodeText(tree_.text(node));
    const int index = moduleIndex(project, module);
    if (index <= 0)
        return;
    const std::string path = modulesPath(project);
    document_.removeAt(path, static_cast<std::size_t>(index));
    document_.insertAt(path, static_cast<std::size_t>(index - 1), JsonDocument::makeString(module));
}

void ProjectStore::moveModuleDown() {
    const NodeId node = tree_.selected();
    if (tree_.value(node) != node_value::kModule)
        return;
    tree_.moveDown(node);
    const std::string project = tree_.text(tree_.parent(node));
    const std::string module = moduleOfNodeText(tree_.text(node));
    const int index = moduleIndex(project, module);
    const std::string path = modulesPath(project);
    if (index < 0 || static_cast<std::size_t>(index) + 1 >= document_.count(path))
        return;
    document_.removeAt(path, static_cast<std::size_t>(index));
    document_.insertAt(path, static_cast<std::size_t>(index) + 1, JsonDocument::makeString(module));
}

void ProjectStore::selectNode(NodeId node) {
    if (!tree_.select(node))
        return;
    if (tree_.value(node) != node_value::kModule)
        return;
    const int position = findPage(tree_.text(tree_.parent(node)), moduleOfNodeText(tree_.text(node)));
    if (position == 0)
        return;
    if (onPageSelected)
        onPageSelected(page(position)->name());
    showPage(position);
}

}  // namespace quillbox
