#pragma once
// The function box as a console's input line: Enter evaluates, Ctrl+Enter (and F5 anywhere
// in the window) loads and then evaluates, F5 with an empty box only loads; ↑ and ↓ walk the
// project's history of expressions, kept across runs; Ctrl+L empties the transcript.
#include <QObject>
#include <memory>
#include <string>

#include "core/session/ExpressionHistory.h"

namespace quillbox::app {

class EngineCommands;
class MainWindow;

class ConsoleInput : public QObject {
    Q_OBJECT
public:
    // `historyPath`: the history file (history.json beside the session file).
    ConsoleInput(MainWindow& window, EngineCommands& engines, const std::string& historyPath);

    // Enter and the button "系统对象运行代码".
    void evaluate();
    // Ctrl+Enter, and F5 with an expression in the box.
    void loadThenEvaluate();
    // F5: loads, and evaluates when the box holds an expression.
    void f5();
    void clearTranscript();

    session::ExpressionHistory& history() { return *history_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void remember();
    std::string project() const;

    MainWindow& window_;
    EngineCommands& engines_;
    std::unique_ptr<session::ExpressionHistory> history_;
    session::HistoryWalk walk_;
};

}  // namespace quillbox::app
