#pragma once
// The tab "对象": the last result that has members, as a tree the user opens level by level.
// Each level is read from the engine when it is first opened (at most 100 members a level,
// 8 levels down); Ctrl+C or the context menu copies the selected value as JSON text.
#include <QObject>
#include <string>
#include <vector>

#include "core/platform/Output.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace quillbox::engine {
class CodeLoader;
}

namespace quillbox::app {

class MainWindow;

class ResultTreeView : public QObject {
    Q_OBJECT
public:
    ResultTreeView(MainWindow& window, QTreeWidget* tree);

    // A new result: the tree shows it with its first level.
    void show(const std::string& expression, const ObjectNode& root);
    // Copies the value of the item as JSON text (the result itself for the top item).
    void copyJson(QTreeWidgetItem* item);
    // The keys from the result down to the item.
    std::vector<std::string> pathOf(const QTreeWidgetItem* item) const;
    QTreeWidget* tree() const { return tree_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill(QTreeWidgetItem* parent, const ObjectNode& node);
    void expanded(QTreeWidgetItem* item);

    MainWindow& window_;
    QTreeWidget* tree_;
    unsigned generation_ = 0;  // answers for an older result are dropped
};

}  // namespace quillbox::app
