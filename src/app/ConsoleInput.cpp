#include "app/ConsoleInput.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "app/EngineCommands.h"
#include "app/MainWindow.h"
#include "app/QtPorts.h"

namespace quillbox::app {

ConsoleInput::ConsoleInput(MainWindow& window, EngineCommands& engines, const std::string& historyPath)
    : QObject(&window),
      window_(window),
      engines_(engines),
      history_(std::make_unique<session::ExpressionHistory>(historyPath)) {
    QLineEdit* box = window_.functionBox();
    box->installEventFilter(this);
    // Typing leaves the walk: the next ↑ starts from the newest entry again.
    connect(box, &QLineEdit::textEdited, this, [this] { walk_.reset(); });
}

std::string ConsoleInput::project() const { return window_.store().currentProject(); }

void ConsoleInput::remember() {
    const std::string expression = window_.functionBox()->text().toStdString();
    walk_.reset();
    if (expression.empty() || !window_.store().currentPage())
        return;
    std::string error;
    if (!history_->add(project(), expression, &error))
        window_.output().noteLine("历史记录未能保存：" + error);
}

void ConsoleInput::evaluate() {
    if (engines_.running())
        return;
    remember();
    engines_.evaluate();
}

void ConsoleInput::loadThenEvaluate() {
    if (engines_.running())
        return;
    remember();
    engines_.loadThenEvaluate();
}

void ConsoleInput::f5() {
    if (window_.functionBox()->text().isEmpty())
        engines_.load();
    else
        loadThenEvaluate();
}

void ConsoleInput::clearTranscript() { window_.output().clearTranscript(); }

bool ConsoleInput::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || watched != window_.functionBox())
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* box = window_.functionBox();
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
        remember();
        engines_.compareEngines();
        return true;
    }
    if (enter && modifiers == Qt::ControlModifier) {
        loadThenEvaluate();
        return true;
    }
    if (key->key() == Qt::Key_L && modifiers == Qt::ControlModifier) {
        clearTranscript();
        return true;
    }
    if (modifiers == Qt::NoModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        const std::vector<std::string>& entries = history_->entries(project());
        std::string shown;
        const bool moved = key->key() == Qt::Key_Up ? walk_.older(entries, box->text().toStdString(), shown)
                                                    : walk_.newer(entries, shown);
        if (moved)
            box->setText(QString::fromStdString(shown));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quillbox::app
