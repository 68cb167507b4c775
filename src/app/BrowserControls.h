#pragma once
// The browser environment in the window: the check box "浏览器环境" that puts the
// environment module first in the current project (or takes it out), and the access table
// the loader fills after a ChakraCore load or evaluation of such a project.
#include <QObject>
#include <vector>

#include "core/engine/BrowserEnvironment.h"

class QCheckBox;
class QTabWidget;
class QTableWidget;

namespace quillbox {
class Clipboard;
class ProjectStore;
namespace engine {
class CodeLoader;
}

namespace app {

class BrowserControls : public QObject {
public:
    BrowserControls(QCheckBox* box, QTabWidget* tabs, QTableWidget* table, ProjectStore& store,
                    engine::CodeLoader& loader, Clipboard& clipboard);
    // The box follows the current page's project.
    void refresh();
    // The rows shown now (in order of first use).
    const std::vector<engine::AccessRow>& rows() const { return rows_; }

private:
    void toggled(bool on);
    void show(std::vector<engine::AccessRow> rows);
    void copy();

    QCheckBox* box_;
    QTabWidget* tabs_;
    QTableWidget* table_;
    ProjectStore& store_;
    Clipboard& clipboard_;
    std::vector<engine::AccessRow> rows_;
};

}  // namespace app
}  // namespace quillbox
