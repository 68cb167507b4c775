#include "app/Navigation.h"

#include <QDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/EditorView.h"
#include "app/MainWindow.h"
#include "app/ProjectTreeView.h"
#include "app/QtPorts.h"
#include "core/platform/Page.h"
#include "core/text/Text.h"

namespace quillbox::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

int lengthOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return static_cast<int>(text::utf8ToUtf16(dot == std::string::npos ? name : name.substr(dot + 1)).size());
}
}  // namespace

QString describe(const engine::SymbolPlace& place) {
    const engine::Symbol& s = place.symbol;
    const QString name = s.kind == "function" ? QStringLiteral("%1(%2)").arg(q(s.name), q(s.params)) : q(s.name);
    return QStringLiteral("%1    %2 %3:%4").arg(name, q(place.page)).arg(s.line).arg(s.column + 1);
}

Navigation::Navigation(MainWindow& window) : QObject(&window), window_(window) {
    QTreeWidget* tree = window_.tree();
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const std::string name = nameOf(item);
        if (!name.empty())
            goToDefinition(name);
    });
}

Navigation::~Navigation() = default;

engine::SymbolIndex& Navigation::index() {
    if (!index_) {
        gate_ = std::make_unique<engine::SyntaxGate>();
        index_ = std::make_unique<engine::SymbolIndex>(*gate_);
    }
    index_->update(window_.store(), window_.store().currentProject());
    return *index_;
}

std::string Navigation::nameOf(const QTreeWidgetItem* item) const {
    const ProjectTree& tree = window_.store().tree();
    const NodeId node = ProjectTreeView::nodeOf(item);
    const int value = tree.value(node);
    if (value == node_value::kFunction || value == node_value::kObject)
        return tree.text(node);
    if (value == node_value::kMember)
        return tree.text(tree.parent(node)) + "." + tree.text(node);
    return "";
}

void Navigation::open(const engine::SymbolPlace& place) {
    ProjectStore& store = window_.store();
    for (int position = 1; position <= store.pageCount(); ++position) {
        Page* page = store.page(position);
        if (page->name() != place.page)
            continue;
        store.showPage(position);
        const int line = place.symbol.line;
        const int column = place.symbol.column;
        page->gotoLine(line);
        // The name's last part selected.
        page->select(line, column + 1, line, column + lengthOf(place.symbol.name));
        if (window_.editorView())
            window_.editorView()->setFocus();
        return;
    }
}

bool Navigation::goToDefinition(const std::string& name) {
    Page* current = window_.currentPage();
    const std::vector<engine::SymbolPlace> found = index().definitions(name, current ? current->name() : "");
    if (found.empty()) {
        window_.output().noteLine("未找到定义：" + name);
        window_.output().chooseTab(1);
        return false;
    }
    open(found.front());
    return true;
}

void Navigation::definitionAtCursor() {
    Page* page = window_.currentPage();
    if (!page)
        return;
    const SelectionRange at = page->selectionRange();
    // The selection's start counts from 1; the name is looked for at the cursor's column.
    const std::string name = engine::nameAt(page->getLine(at.endRow), at.endColumn);
    if (!name.empty())
        goToDefinition(name);
}

void Navigation::searchSymbols() {
    engine::SymbolIndex& symbols = index();
    QDialog dialog(&window_);
    dialog.setObjectName(QStringLiteral("窗口_符号搜索"));
    dialog.setWindowTitle(QStringLiteral("转到符号 (Ctrl+T)"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* query = new QLineEdit(&dialog);
    query->setObjectName(QStringLiteral("编辑框_符号"));
    query->setPlaceholderText(QStringLiteral("名称的一部分"));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("列表_符号"));
    layout->addWidget(query);
    layout->addWidget(list);
    std::vector<engine::SymbolPlace> shown;
    auto refill = [&] {
        list->clear();
        shown = query->text().isEmpty() ? symbols.all() : symbols.search(query->text().toStdString());
        for (const engine::SymbolPlace& place : shown)
            list->addItem(describe(place));
        list->setCurrentRow(shown.empty() ? -1 : 0);
    };
    refill();
    connect(query, &QLineEdit::textChanged, &dialog, refill);
    connect(query, &QLineEdit::returnPressed, &dialog, &QDialog::accept);
    connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    // ↑/↓ in the box move through the list.
    struct Keys : QObject {
        QListWidget* list;
        explicit Keys(QListWidget* l) : list(l) {}
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent*>(e)->key();
                if (key == Qt::Key_Up || key == Qt::Key_Down) {
                    const int row = list->currentRow() + (key == Qt::Key_Up ? -1 : 1);
                    if (row >= 0 && row < list->count())
                        list->setCurrentRow(row);
                    return true;
                }
            }
            return QObject::eventFilter(o, e);
        }
    } keys(list);
    query->installEventFilter(&keys);
    dialog.resize(520, 360);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int row = list->currentRow();
    if (row >= 0 && row < static_cast<int>(shown.size()))
        open(shown[static_cast<std::size_t>(row)]);
}

QString Navigation::tipFor(const QTreeWidgetItem* item) {
    const std::string name = nameOf(item);
    if (name.empty())
        return QString();
    const std::vector<engine::SymbolPlace> found = index().definitions(name);
    return found.empty() ? QString() : describe(found.front());
}

bool Navigation::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched == window_.tree()->viewport()) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = tipFor(window_.tree()->itemAt(help->pos()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, window_.tree());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quillbox::app
