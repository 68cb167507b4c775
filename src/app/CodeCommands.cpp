#include "app/CodeCommands.h"

#include <QLineEdit>

#include "app/Controls.h"
#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/ecode/CallWrapper.h"
#include "core/ecode/ConstantConversion.h"

namespace quillbox::app {

void exportCommand(MainWindow& window) { window.store().exportCurrentProject(); }

void callWrapperCommand(MainWindow& window) {
    const config::MenuState& menu = window.menuState();
    ecode::CallWrapperSettings settings;
    settings.style = static_cast<ecode::CallStyle>(menu.callStyle == config::kCallStyleNone ? config::kCallStyleObject
                                                                                            : menu.callStyle);
    settings.rename = menu.renameRoutine;
    ecode::generateCallWrapper(window.store(), window.functionBox()->text().toStdString(), settings,
                               window.dialogs(), window.clipboard(), window.output());
}

void constantCommand(MainWindow& window) {
    ecode::convertCurrentProject(window.store(), window.clipboard(), window.output(), ecode::localTimeNow());
}

void copyExpressionCommand(MainWindow& window) {
    const ProjectTree& tree = window.store().tree();
    const NodeId node = tree.selected();
    QString expression;
    if (tree.value(node) == node_value::kFunction)
        expression = q(tree.text(node)) + QStringLiteral("()");
    else if (tree.value(node) == node_value::kMember)
        expression = q(tree.text(tree.parent(node))) + QLatin1Char('.') + q(tree.text(node));
    if (expression.isEmpty())
        return;
    window.functionBox()->setText(expression);
    window.functionBox()->setFocus();
}

}  // namespace quillbox::app
