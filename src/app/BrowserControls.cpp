#include "app/BrowserControls.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableWidget>

#include "core/ecode/CallWrapper.h"
#include "core/engine/CodeLoader.h"
#include "core/platform/Clipboard.h"
#include "core/project/ProjectStore.h"

namespace quillbox::app {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QString tabTitle(std::size_t missing) {
    return missing ? QStringLiteral("访问记录(缺%1)").arg(missing) : QStringLiteral("访问记录");
}

}  // namespace

BrowserControls::BrowserControls(QCheckBox* box, QTabWidget* tabs, QTableWidget* table, ProjectStore& store,
                                 engine::CodeLoader& loader, Clipboard& clipboard)
    : QObject(box), box_(box), tabs_(tabs), table_(table), store_(store), clipboard_(clipboard) {
    box_->setToolTip(QStringLiteral("把浏览器环境(window、document、navigator 等)作为项目的第一个模块"));
    table_->setColumnCount(5);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("对象"), QStringLiteral("属性"), QStringLiteral("值"), QStringLiteral("次数"), QStringLiteral("首次位置")});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copyAll = new QAction(QStringLiteral("复制表格"), table_);
    table_->addAction(copyAll);
    connect(copyAll, &QAction::triggered, this, [this] { copy(); });
    connect(box_, &QCheckBox::clicked, this, [this](bool on) { toggled(on); });
    loader.setBrowserLog(true);
    loader.onAccessLog = [this](std::vector<engine::AccessRow> rows) { show(std::move(rows)); };
    refresh();
}

void BrowserControls::refresh() {
    const bool page = store_.currentPage() != nullptr;
    box_->setEnabled(page);
    box_->setChecked(page && engine::hasBrowserModule(store_, store_.currentProject()));
}

void BrowserControls::toggled(bool on) {
    const std::string project = store_.currentProject();
    if (!store_.currentPage() || project.empty()) {
        refresh();
        return;
    }
    if (on) {
        engine::putBrowserModuleFirst(store_, project,
                                      engine::browserModuleText(engine::defaultBrowserProfile()));
    } else if (const NodeId node = store_.moduleNode(project, engine::kBrowserModuleName); node != kNoNode) {
        // Taken out as any module is: the store asks before a module with code goes.
        const NodeId selected = store_.tree().selected();
        store_.selectNode(node);
        store_.deleteModule();
        if (store_.tree().exists(selected))
            store_.tree().select(selected);
    }
    refresh();
}

void BrowserControls::show(std::vector<engine::AccessRow> rows) {
    rows_ = std::move(rows);
    table_->setRowCount(static_cast<int>(rows_.size()));
    std::size_t missing = 0;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const engine::AccessRow& row = rows_[static_cast<std::size_t>(r)];
        const QString cells[] = {q(row.object), q(row.property), q(row.value), QString::number(row.count), q(row.where)};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (row.missing())
                item->setForeground(QColor(231, 110, 86));
            table_->setItem(r, c, item);
        }
        missing += row.missing() ? 1 : 0;
    }
    table_->resizeColumnsToContents();
    tabs_->setTabText(tabs_->indexOf(table_), tabTitle(missing));
}

void BrowserControls::copy() { clipboard_.write({ecode::plainTextEntry(engine::accessTableText(rows_))}); }

}  // namespace quillbox::app
