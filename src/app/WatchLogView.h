#pragma once
// The watch log in the window: the tab "监视记录" lists, in order, the calls a watched
// ChakraCore load and the evaluations after it noted (engine/WatchLog.h). A double click on a
// row opens its module at its line; the context menu copies the table.
#include <QObject>
#include <functional>
#include <vector>

#include "core/engine/WatchLog.h"

class QTabWidget;
class QTableWidget;

namespace quillbox {
class Clipboard;
struct ErrorSpot;
namespace engine {
class CodeLoader;
}

namespace app {

class WatchLogView : public QObject {
public:
    WatchLogView(QTabWidget* tabs, QTableWidget* table, engine::CodeLoader& loader, Clipboard& clipboard,
                 std::function<void(const ErrorSpot&)> open);
    // The rows shown now, in order.
    const std::vector<engine::WatchRow>& rows() const { return rows_; }
    // Opens the module of row `row` at its line, when it names one.
    void openRow(int row);

private:
    void add(std::vector<engine::WatchRow> rows, bool fresh);

    QTabWidget* tabs_;
    QTableWidget* table_;
    Clipboard& clipboard_;
    std::function<void(const ErrorSpot&)> open_;
    std::vector<engine::WatchRow> rows_;
};

}  // namespace app
}  // namespace quillbox
