#pragma once
// Getting to code by name: go to definition (double-click on a listed function, object or
// member in the tree; F12 on a name in the editor), the symbol search (Ctrl+T) and the
// parameters of a listed function as the tree's tooltip. The names come from the symbol
// index (the syntax gate's parser over each module).
#include <QObject>
#include <memory>
#include <string>

#include "core/engine/SymbolIndex.h"

class QTreeWidgetItem;

namespace quillbox::app {

class MainWindow;

class Navigation : public QObject {
    Q_OBJECT
public:
    explicit Navigation(MainWindow& window);
    ~Navigation() override;

    // Opens the definition of `name` in the current project; false (and a line saying so)
    // when no module defines it.
    bool goToDefinition(const std::string& name);
    // F12: the name at the editor's cursor.
    void definitionAtCursor();
    // Ctrl+T: a box to type a part of a name into, and the symbols that hold it.
    void searchSymbols();
    // The tooltip of a tree item: a function's parameters and where it is defined.
    QString tipFor(const QTreeWidgetItem* item);
    // The name a tree item stands for ("" for a module, a group or a project).
    std::string nameOf(const QTreeWidgetItem* item) const;

    engine::SymbolIndex& index();
    void open(const engine::SymbolPlace& place);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& window_;
    std::unique_ptr<engine::SyntaxGate> gate_;
    std::unique_ptr<engine::SymbolIndex> index_;
};

// "sign(key, data)  a.js 3:10", as the search's list and the tooltips show a symbol.
QString describe(const engine::SymbolPlace& place);

}  // namespace quillbox::app
