#include "core/project/ProjectTree.h"

#include <algorithm>
#include <unordered_set>

namespace quillbox {

namespace {
const std::vector<NodeId> kNoChildren;
}  // namespace

void ProjectTree::notify(TreeEvent event, NodeId id) const {
    if (observer)
        observer(event, id);
}

NodeId ProjectTree::add(NodeId parent, const std::string& text, int image, int selectedImage, int value) {
    if (parent != kNoNode && !exists(parent))
        return kNoNode;
    const NodeId id = next_++;
    nodes_[id] = TreeNode{text, image, selectedImage, value, parent, {}};
    if (parent == kNoNode)
        top_.push_back(id);
    else
        nodes_[parent].children.push_back(id);
    notify(TreeEvent::Added, id);
    return id;
}

std::vector<NodeId>& ProjectTree::siblingsOf(NodeId id) {
    const NodeId parent = nodes_.at(id).parent;
    return parent == kNoNode ? top_ : nodes_.at(parent).children;
}

bool ProjectTree::remove(NodeId id) {
    if (!exists(id))
        return false;
    notify(TreeEvent::Removed, id);
    std::vector<NodeId>& siblings = siblingsOf(id);
    siblings.erase(std::find(siblings.begin(), siblings.end(), id));
    eraseSubtrees({id});
    return true;
}

void ProjectTree::eraseSubtrees(std::vector<NodeId> pending) {
    // Iterative walk: a tree of loaded members can be deep.
    bool selectionGone = false;
    while (!pending.empty()) {
        const NodeId n = pending.back();
        pending.pop_back();
        auto it = nodes_.find(n);
        if (it == nodes_.end())
            continue;
        pending.insert(pending.end(), it->second.children.begin(), it->second.children.end());
        if (n == selected_)
            selectionGone = true;
        nodes_.erase(it);
        fillers_.erase(n);
    }
    if (selectionGone) {
        selected_ = kNoNode;
        notify(TreeEvent::Selected, kNoNode);
    }
}

void ProjectTree::removeChildren(NodeId id) {
    // Children never made go unmade.
    if (fillers_.erase(id) != 0)
        notify(TreeEvent::Changed, id);
    auto it = nodes_.find(id);
    if (it == nodes_.end() || it->second.children.empty())
        return;
    notify(TreeEvent::ChildrenRemoved, id);
    std::vector<NodeId> children;
    children.swap(it->second.children);
    eraseSubtrees(std::move(children));
}

void ProjectTree::removeSiblings(const std::vector<NodeId>& ids) {
    if (ids.empty() || !exists(ids.front()))
        return;
    const NodeId parent = nodes_.at(ids.front()).parent;
    std::unordered_set<NodeId> seen;
    std::vector<NodeId> going;
    for (NodeId id : ids) {
        auto it = nodes_.find(id);
        if (it != nodes_.end() && it->second.parent == parent && seen.insert(id).second)
            going.push_back(id);
    }
    for (NodeId id : going)
        notify(TreeEvent::Removed, id);
    std::vector<NodeId>& siblings = parent == kNoNode ? top_ : nodes_.at(parent).children;
    std::erase_if(siblings, [&](NodeId n) { return seen.count(n) != 0; });
    eraseSubtrees(std::move(going));
}

void ProjectTree::clear() {
    if (top_.empty())
        return;
    fillers_.clear();
    std::vector<NodeId> top = top_;
    for (NodeId id : top)
        notify(TreeEvent::Removed, id);
    top_.clear();
    eraseSubtrees(std::move(top));
}

bool ProjectTree::exists(NodeId id) const { return nodes_.count(id) != 0; }

const TreeNode* ProjectTree::node(NodeId id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

std::string ProjectTree::text(NodeId id) const {
    const TreeNode* n = node(id);
    return n ? n->text : std::string();
}

int ProjectTree::value(NodeId id) const {
    const TreeNode* n = node(id);
    return n ? n->value : 0;
}

NodeId ProjectTree::parent(NodeId id) const {
    const TreeNode* n = node(id);
    return n ? n->parent : kNoNode;
}

bool ProjectTree::setText(NodeId id, const std::string& text) {
    auto it = nodes_.find(id);
    if (it == nodes_.end())
        return false;
    it->second.text = text;
    notify(TreeEvent::Changed, id);
    return true;
}

const std::vector<NodeId>& ProjectTree::children(NodeId id) const {
    // Filling changes the tree, but not what it means: the children were there to be had.
    if (hasLazyChildren(id))
        const_cast<ProjectTree*>(this)->fill(id);
    const TreeNode* n = node(id);
    return n ? n->children : kNoChildren;
}

void ProjectTree::setLazyChildren(NodeId id, ChildFiller fill) {
    if (!exists(id) || !fill)
        return;
    fillers_[id] = std::move(fill);
    notify(TreeEvent::Changed, id);
}

bool ProjectTree::fill(NodeId id) {
    auto it = fillers_.find(id);
    if (it == fillers_.end())
        return false;
    // Taken out first: a filler may read the tree, and must never run twice.
    ChildFiller filler = std::move(it->second);
    fillers_.erase(it);
    filler(*this, id);
    notify(TreeEvent::Changed, id);
    return true;
}

int ProjectTree::indexInParent(NodeId id) const {
    if (!exists(id))
        return -1;
    const NodeId p = parent(id);
    const std::vector<NodeId>& siblings = p == kNoNode ? top_ : children(p);
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), id) - siblings.begin());
}

int ProjectTree::depth(NodeId id) const {
    int d = 0;
    for (NodeId n = id; exists(n); n = parent(n))
        ++d;
    return d;
}

NodeId ProjectTree::previousSibling(NodeId id) const {
    const int i = indexInParent(id);
    if (i <= 0)
        return kNoNode;
    const NodeId p = parent(id);
    return (p == kNoNode ? top_ : children(p))[static_cast<std::size_t>(i - 1)];
}

NodeId ProjectTree::nextSibling(NodeId id) const {
    const int i = indexInParent(id);
    if (i < 0)
        return kNoNode;
    const NodeId p = parent(id);
    const std::vector<NodeId>& siblings = p == kNoNode ? top_ : children(p);
    return static_cast<std::size_t>(i + 1) < siblings.size() ? siblings[static_cast<std::size_t>(i + 1)] : kNoNode;
}

NodeId ProjectTree::findTopLevel(const std::string& text) const {
    for (NodeId id : top_)
        if (nodes_.at(id).text == text)
            return id;
    return kNoNode;
}

NodeId ProjectTree::findChild(const std::string& parentText, const std::string& childText) const {
    // Tree order, without recursion.
    std::vector<NodeId> pending(top_.rbegin(), top_.rend());
    while (!pending.empty()) {
        const NodeId n = pending.back();
        pending.pop_back();
        if (hasLazyChildren(n))
            const_cast<ProjectTree*>(this)->fill(n);
        const TreeNode& tn = nodes_.at(n);
        if (tn.text == parentText) {
            for (NodeId c : tn.children)
                if (nodes_.at(c).text == childText)
                    return c;
            return kNoNode;
        }
        pending.insert(pending.end(), tn.children.rbegin(), tn.children.rend());
    }
    return kNoNode;
}

bool ProjectTree::moveUp(NodeId id) {
    const int i = indexInParent(id);
    if (i <= 0)
        return false;
    std::vector<NodeId>& siblings = siblingsOf(id);
    std::swap(siblings[static_cast<std::size_t>(i)], siblings[static_cast<std::size_t>(i - 1)]);
    notify(TreeEvent::Moved, id);
    return true;
}

bool ProjectTree::moveDown(NodeId id) {
    const int i = indexInParent(id);
    if (i < 0)
        return false;
    std::vector<NodeId>& siblings = siblingsOf(id);
    if (static_cast<std::size_t>(i + 1) >= siblings.size())
        return false;
    std::swap(siblings[static_cast<std::size_t>(i)], siblings[static_cast<std::size_t>(i + 1)]);
    notify(TreeEvent::Moved, id);
    return true;
}

bool ProjectTree::select(NodeId id) {
    if (id != kNoNode && !exists(id))
        return false;
    selected_ = id;
    notify(TreeEvent::Selected, id);
    return true;
}

}  // namespace quillbox
