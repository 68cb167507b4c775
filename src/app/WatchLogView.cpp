#include "app/WatchLogView.h"

#include <QAction>
#include <algorithm>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableWidget>

#include "core/ecode/CallWrapper.h"
#include "core/engine/BrowserEnvironment.h"
#include "core/engine/CodeLoader.h"
#include "core/platform/Clipboard.h"
#include "core/platform/Output.h"

namespace quillbox::app {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kWidestArguments = 420;

QString tabTitle(std::size_t rows) {
    return rows ? QStringLiteral("监视记录(%1)").arg(rows) : QStringLiteral("监视记录");
}

}  // namespace

WatchLogView::WatchLogView(QTabWidget* tabs, QTableWidget* table, engine::CodeLoader& loader, Clipboard& clipboard,
                           std::function<void(const ErrorSpot&)> open)
    : QObject(table), tabs_(tabs), table_(table), clipboard_(clipboard), open_(std::move(open)) {
    table_->setColumnCount(3);
    table_->setHorizontalHeaderLabels({QStringLiteral("调用"), QStringLiteral("参数"), QStringLiteral("位置")});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setToolTip(QStringLiteral("双击一行打开它的模块和行"));
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copyAll = new QAction(QStringLiteral("复制表格"), table_);
    table_->addAction(copyAll);
    connect(copyAll, &QAction::triggered, this,
            [this] { clipboard_.write({ecode::plainTextEntry(engine::watchTableText(rows_))}); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openRow(row); });
    loader.onWatchLog = [this](std::vector<engine::WatchRow> rows, bool fresh) { add(std::move(rows), fresh); };
}

void WatchLogView::add(std::vector<engine::WatchRow> rows, bool fresh) {
    if (fresh) {
        rows_.clear();
        table_->setRowCount(0);
    }
    int r = table_->rowCount();
    table_->setRowCount(r + static_cast<int>(rows.size()));
    for (engine::WatchRow& row : rows) {
        const QString cells[] = {q(row.call), q(row.args), q(row.where)};
        for (int c = 0; c < 3; ++c)
            table_->setItem(r, c, new QTableWidgetItem(cells[c]));
        ++r;
        rows_.push_back(std::move(row));
    }
    // The arguments are shortened already; a long one still leaves the place in view.
    table_->resizeColumnsToContents();
    table_->setColumnWidth(1, std::min(table_->columnWidth(1), kWidestArguments));
    tabs_->setTabText(tabs_->indexOf(table_), tabTitle(rows_.size()));
}

void WatchLogView::openRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    ErrorSpot spot;
    // An expression's place ("求值:line") has no module to open.
    if (engine::splitPlace(rows_[static_cast<std::size_t>(row)].where, spot.page, spot.line) &&
        spot.page != engine::kExpressionPlace && open_)
        open_(spot);
}

}  // namespace quillbox::app
