#pragma once
// The project tree as plain data: nodes with a text, an image, a selected image, a node
// value and ordered children, plus the one selected node. The desktop's tree widget draws
// it and forwards the user's clicks; the project store changes it.
//
// Nodes are named by NodeId handles that stay valid until the node is deleted; a deleted
// id is never reused, so a stale id simply resolves to nothing.
#include <functional>
#include <unordered_map>
#include <string>
#include <vector>

namespace quillbox {

using NodeId = int;
constexpr NodeId kNoNode = -1;

// What a node is; the value, not the depth, decides.
namespace node_value {
constexpr int kProject = 1;
constexpr int kModule = 2;
constexpr int kFunction = 3;       // a loaded function, under "方法"
constexpr int kObject = 4;         // a loaded object, under "属性"
constexpr int kMethodsGroup = 5;   // "方法"
constexpr int kPropertiesGroup = 6;  // "属性"
constexpr int kMember = 7;         // a member of a loaded object
}  // namespace node_value

struct TreeNode {
    std::string text;
    int image = 0;
    int selectedImage = 0;
    int value = 0;
    NodeId parent = kNoNode;
    std::vector<NodeId> children;
};

enum class TreeEvent {
    Added,     // node added at the end of its parent's children
    Removed,   // node (and everything under it) removed; sent before the ids die
    ChildrenRemoved,  // every child of node (and everything under them) removed, node
                      // stays; sent once, before the ids die
    Changed,   // text, images or value changed
    Moved,     // node moved among its siblings; its index is the new place
    Selected,  // the selection changed to this node (kNoNode: nothing selected)
};

class ProjectTree {
public:
    // Makes a node's children when they are first needed: a listing of thousands of names
    // costs nothing until someone looks. The filler runs once, when children(), findChild()
    // or fill() reaches the node (the tree widget calls fill() when the user opens it).
    using ChildFiller = std::function<void(ProjectTree& tree, NodeId node)>;

    // Appends a node under parent (kNoNode: a top-level node). kNoNode when parent is
    // given but does not exist.
    NodeId add(NodeId parent, const std::string& text, int image, int selectedImage, int value);
    // Deletes the node with all its descendants. Deleting the selected node, or its
    // ancestor, leaves nothing selected.
    bool remove(NodeId id);
    // Deletes every child of the node (the node stays), in time linear in what goes.
    void removeChildren(NodeId id);
    // Deletes these nodes, all children of one parent, in one pass over the siblings.
    // Ids that do not exist or have another parent than the first are skipped.
    void removeSiblings(const std::vector<NodeId>& ids);
    void clear();

    bool exists(NodeId id) const;
    const TreeNode* node(NodeId id) const;
    // Empty / 0 / kNoNode for a node that does not exist.
    std::string text(NodeId id) const;
    int value(NodeId id) const;
    NodeId parent(NodeId id) const;
    bool setText(NodeId id, const std::string& text);

    const std::vector<NodeId>& topLevel() const { return top_; }
    // The node's children; a node with lazy children is filled first.
    const std::vector<NodeId>& children(NodeId id) const;

    // Gives the node children made on demand (replacing a filler it had); told as Changed.
    void setLazyChildren(NodeId id, ChildFiller fill);
    // Whether the node still has children to make.
    bool hasLazyChildren(NodeId id) const { return fillers_.count(id) != 0; }
    // Makes the node's lazy children now; false when it had none to make.
    bool fill(NodeId id);
    // Position among its siblings, -1 when it does not exist.
    int indexInParent(NodeId id) const;
    // 1 for a top-level node, 2 for its children, ...; 0 when it does not exist.
    int depth(NodeId id) const;
    NodeId previousSibling(NodeId id) const;
    NodeId nextSibling(NodeId id) const;
    // The first top-level node with this text.
    NodeId findTopLevel(const std::string& text) const;
    // The first child with childText of the first node with parentText, searching every
    // node in tree order; kNoNode when either is missing.
    NodeId findChild(const std::string& parentText, const std::string& childText) const;

    // Moves the node above its previous sibling / below its next sibling, keeping its
    // text, images, value, sub-nodes and selection. False when there is none.
    bool moveUp(NodeId id);
    bool moveDown(NodeId id);

    NodeId selected() const { return selected_; }
    // Sets the selection (kNoNode clears it); false when the node does not exist.
    bool select(NodeId id);

    // Told of every change, for the widget that draws the tree.
    std::function<void(TreeEvent, NodeId)> observer;

private:
    std::vector<NodeId>& siblingsOf(NodeId id);
    void notify(TreeEvent event, NodeId id) const;
    // Forgets the nodes under (and with) these roots, which are already out of their
    // siblings; clears the selection when it was among them.
    void eraseSubtrees(std::vector<NodeId> pending);

    std::unordered_map<NodeId, TreeNode> nodes_;
    std::unordered_map<NodeId, ChildFiller> fillers_;
    std::vector<NodeId> top_;
    NodeId next_ = 1;
    NodeId selected_ = kNoNode;
};

}  // namespace quillbox
