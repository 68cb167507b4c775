#include "app/ProjectTreeView.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTreeWidget>
#include <vector>

#include "app/Controls.h"

namespace quillbox::app {

namespace {

const int kNodeRole = Qt::UserRole + 1;

// One decoded icon per tree image, shared by all the items that show it.
const QIcon& iconOf(int image) {
    static std::map<int, QIcon> icons;
    auto it = icons.find(image);
    if (it == icons.end())
        it = icons.emplace(image, QIcon(QStringLiteral(":/tree/%1.png").arg(image))).first;
    return it->second;
}

}  // namespace

ProjectTreeView::ProjectTreeView(QTreeWidget* view, ProjectStore& store)
    : view_(view), store_(store) {
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setAcceptDrops(true);
    view_->viewport()->setAcceptDrops(true);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    store_.tree().observer = [this](TreeEvent event, NodeId node) { treeChanged(event, node); };
    connect(view_, &QTreeWidget::currentItemChanged, this, [this] { selectionChanged(); });
    connect(view_, &QTreeWidget::customContextMenuRequested, this, &ProjectTreeView::popUpMenu);
    // A listing's items are made when their node is first opened.
    connect(view_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        store_.tree().fill(item->data(0, kNodeRole).toInt());
    });
}

void ProjectTreeView::open(NodeId node) {
    store_.tree().fill(node);
    if (QTreeWidgetItem* item = itemOf(node))
        item->setExpanded(true);
}

QTreeWidgetItem* ProjectTreeView::itemOf(NodeId node) const {
    auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second;
}

void ProjectTreeView::drawNode(QTreeWidgetItem* item, NodeId id) const {
    const TreeNode* n = store_.tree().node(id);
    if (!n)
        return;
    item->setText(0, q(n->text));
    item->setIcon(0, iconOf(n->image));
    item->setData(0, Qt::UserRole, n->value);
    item->setData(0, kNodeRole, id);
    // Children not made yet still show the arrow that makes them.
    item->setChildIndicatorPolicy(store_.tree().hasLazyChildren(id) ? QTreeWidgetItem::ShowIndicator
                                                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void ProjectTreeView::forget(QTreeWidgetItem* item) {
    // Forget the item and everything under it before Qt deletes them.
    std::vector<QTreeWidgetItem*> stack{item};
    while (!stack.empty()) {
        QTreeWidgetItem* top = stack.back();
        stack.pop_back();
        items_.erase(top->data(0, kNodeRole).toInt());
        for (int i = 0; i < top->childCount(); ++i)
            stack.push_back(top->child(i));
    }
}

void ProjectTreeView::treeChanged(TreeEvent event, NodeId node) {
    // The tree widget mirrors the store's tree; its own signals must not echo back.
    const bool wasSyncing = syncing_;
    syncing_ = true;
    const ProjectTree& tree = store_.tree();
    switch (event) {
    case TreeEvent::Added: {
        auto* item = new QTreeWidgetItem;
        drawNode(item, node);
        items_[node] = item;
        // A node opens when its first child arrives. Leaves are never marked expanded: the
        // view keeps a persistent index for every expanded item and updates them all on each
        // row removed, which made clearing a long listing quadratic.
        if (QTreeWidgetItem* parent = itemOf(tree.parent(node))) {
            parent->addChild(item);
            if (!parent->isExpanded())
                parent->setExpanded(true);
        } else {
            view_->addTopLevelItem(item);
        }
        break;
    }
    case TreeEvent::Removed:
        if (QTreeWidgetItem* item = itemOf(node)) {
            forget(item);
            delete item;
        }
        break;
    case TreeEvent::ChildrenRemoved:
        // All children at once (a listing being cleared): one removal for the view, not a
        // search of the siblings for each child.
        if (QTreeWidgetItem* item = itemOf(node)) {
            const QList<QTreeWidgetItem*> children = item->takeChildren();
            for (QTreeWidgetItem* child : children)
                forget(child);
            qDeleteAll(children);
        }
        break;
    case TreeEvent::Changed:
        if (QTreeWidgetItem* item = itemOf(node))
            drawNode(item, node);
        break;
    case TreeEvent::Moved: {
        QTreeWidgetItem* item = itemOf(node);
        if (!item)
            break;
        const bool expanded = item->isExpanded();
        const int index = tree.indexInParent(node);
        if (QTreeWidgetItem* parent = item->parent()) {
            parent->takeChild(parent->indexOfChild(item));
            parent->insertChild(index, item);
        } else {
            view_->takeTopLevelItem(view_->indexOfTopLevelItem(item));
            view_->insertTopLevelItem(index, item);
        }
        item->setExpanded(expanded);
        if (tree.selected() == node)
            view_->setCurrentItem(item);
        break;
    }
    case TreeEvent::Selected:
        view_->setCurrentItem(itemOf(node));
        markSelectedModule(node);
        break;
    }
    syncing_ = wasSyncing;
}

void ProjectTreeView::markSelectedModule(NodeId node) {
    // The module being edited stays marked in bold while other items are clicked.
    if (store_.tree().value(node) != node_value::kModule)
        return;
    if (QTreeWidgetItem* previous = itemOf(markedModule_)) {
        QFont font = previous->font(0);
        font.setBold(false);
        previous->setFont(0, font);
    }
    markedModule_ = node;
    if (QTreeWidgetItem* item = itemOf(node)) {
        QFont font = item->font(0);
        font.setBold(true);
        item->setFont(0, font);
    }
}

NodeId ProjectTreeView::nodeOf(const QTreeWidgetItem* item) { return item ? item->data(0, kNodeRole).toInt() : kNoNode; }

void ProjectTreeView::selectionChanged() {
    if (syncing_)
        return;
    QTreeWidgetItem* item = view_->currentItem();
    const NodeId node = item ? item->data(0, kNodeRole).toInt() : kNoNode;
    syncing_ = true;
    store_.selectNode(node);
    syncing_ = false;
    // A listed member shows its value; other items are left to the store.
    if (store_.tree().value(node) == node_value::kMember && onMemberPicked)
        onMemberPicked();
}

void ProjectTreeView::popUpMenu(const QPoint& at) {
    if (QTreeWidgetItem* item = view_->itemAt(at))
        view_->setCurrentItem(item);
    if (!view_->currentItem() || !menuFor)
        return;
    if (QMenu* menu = menuFor(view_->currentItem()->data(0, Qt::UserRole).toInt()))
        menu->popup(view_->viewport()->mapToGlobal(at));
}

bool ProjectTreeView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    // Files dropped on the tree are imported, one after the other.
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasUrls())
        return false;
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        const QList<QUrl> urls = drop->mimeData()->urls();
        for (const QUrl& url : urls)
            if (url.isLocalFile() && onFileDropped)
                onFileDropped(url.toLocalFile().toStdString());
    }
    return true;
}

}  // namespace quillbox::app
