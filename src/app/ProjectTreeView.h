#pragma once
// The tree widget as the view of the store's project tree: its items follow the tree's
// events, a click selects the node in the store, the module being edited is shown bold,
// files dropped on it are imported and a right-click pops up the node's menu.
#include <QObject>
#include <functional>
#include <map>

#include "core/project/ProjectStore.h"

class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillbox::app {

class ProjectTreeView : public QObject {
    Q_OBJECT
public:
    // Becomes the observer of the store's tree; the owner destroys it after the store.
    ProjectTreeView(QTreeWidget* view, ProjectStore& store);

    QTreeWidgetItem* itemOf(NodeId node) const;
    // The node of an item (kNoNode for none).
    static NodeId nodeOf(const QTreeWidgetItem* item);
    // Makes the node's children if they are still to be made, and opens it.
    void open(NodeId node);

    // The menu for a node of the given value (nullptr: none).
    std::function<QMenu*(int value)> menuFor;
    // After the user picked a member node (the store has selected it).
    std::function<void()> onMemberPicked;
    // A local file was dropped on the tree.
    std::function<void(const std::string& path)> onFileDropped;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void treeChanged(TreeEvent event, NodeId node);
    void drawNode(QTreeWidgetItem* item, NodeId node) const;
    void forget(QTreeWidgetItem* item);
    void selectionChanged();
    void markSelectedModule(NodeId node);
    void popUpMenu(const QPoint& at);

    QTreeWidget* view_;
    ProjectStore& store_;
    std::map<NodeId, QTreeWidgetItem*> items_;
    bool syncing_ = false;
    NodeId markedModule_ = kNoNode;
};

}  // namespace quillbox::app
