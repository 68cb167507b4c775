#include "app/ResultTreeView.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/engine/CodeLoader.h"
#include "core/engine/ResultTree.h"

namespace quillbox::app {

namespace {
constexpr int kKeyRole = Qt::UserRole + 1;     // the member's key
constexpr int kLoadedRole = Qt::UserRole + 2;  // its members were read
constexpr int kDepthRole = Qt::UserRole + 3;

QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

ResultTreeView::ResultTreeView(MainWindow& window, QTreeWidget* tree) : QObject(tree), window_(window), tree_(tree) {
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("值")});
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->installEventFilter(this);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { expanded(item); });
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = tree_->itemAt(at);
        if (!item)
            return;
        QMenu menu;
        QAction* copy = menu.addAction(QStringLiteral("复制 JSON (Ctrl+C)"));
        if (menu.exec(tree_->viewport()->mapToGlobal(at)) == copy)
            copyJson(item);
    });
}

void ResultTreeView::show(const std::string& expression, const ObjectNode& root) {
    ++generation_;
    tree_->clear();
    auto* top = new QTreeWidgetItem(tree_, {q(expression), q(root.preview)});
    top->setData(0, kLoadedRole, true);
    top->setData(0, kDepthRole, 0);
    fill(top, root);
    top->setExpanded(true);
    tree_->setCurrentItem(top);
    tree_->resizeColumnToContents(0);
}

void ResultTreeView::fill(QTreeWidgetItem* parent, const ObjectNode& node) {
    qDeleteAll(parent->takeChildren());
    const int depth = parent->data(0, kDepthRole).toInt() + 1;
    for (const ObjectEntry& entry : node.entries) {
        const QString key = q(entry.key);
        auto* item = new QTreeWidgetItem(parent, {key, q(entry.preview)});
        item->setData(0, kKeyRole, key);
        item->setData(0, kDepthRole, depth);
        item->setToolTip(1, q(entry.type));
        // Opened when wanted: the engine is asked then.
        if (entry.expandable && depth < engine::kResultDepth)
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    if (node.truncated)
        new QTreeWidgetItem(parent, {QStringLiteral("…"), QStringLiteral("成员过多,只列出前 %1 个").arg(engine::kResultMembers)});
    parent->setData(0, kLoadedRole, true);
}

std::vector<std::string> ResultTreeView::pathOf(const QTreeWidgetItem* item) const {
    std::vector<std::string> path;
    for (; item && item->parent(); item = item->parent())
        path.insert(path.begin(), item->data(0, kKeyRole).toString().toStdString());
    return path;
}

void ResultTreeView::expanded(QTreeWidgetItem* item) {
    if (item->data(0, kLoadedRole).toBool())
        return;
    item->setData(0, kLoadedRole, true);
    const unsigned generation = generation_;
    window_.loader().describeResult(pathOf(item), [this, item, generation](const ObjectNode& node) {
        if (generation != generation_)
            return;  // the tree shows another result now, and the item is gone
        fill(item, node);
        if (node.entries.empty())
            item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    });
}

void ResultTreeView::copyJson(QTreeWidgetItem* item) {
    if (!item)
        return;
    const unsigned generation = generation_;
    window_.loader().resultJson(pathOf(item), [this, generation](const std::string& json) {
        if (generation != generation_)
            return;
        if (json.empty()) {
            window_.output().noteLine("该值没有 JSON 形式(函数或循环引用)");
            return;
        }
        window_.clipboard().write({ClipboardEntry{"text/plain", 0, json}});
    });
}

bool ResultTreeView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            copyJson(tree_->currentItem());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quillbox::app
