#pragma once
// The window's commands bound to what starts them: the main menu (the button with three
// lines) and its settings, the context menus of the tree's nodes, the hot keys and the
// buttons of the workbench.
#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;

namespace quillbox::app {

class EngineCommands;
class MainWindow;

class CommandBindings : public QObject {
    Q_OBJECT
public:
    // Builds the menus and binds the buttons and menu items.
    CommandBindings(MainWindow& window, EngineCommands& engines);

    // Ctrl+F and Ctrl+H find/replace, Ctrl+G go to line (a stage of start-up).
    void bindHotKeys();
    // The check marks show the live settings of the window's menu state.
    void syncMenu();

    QMenu* mainMenu() const { return mainMenu_; }
    QMenu* projectMenu() const { return projectMenu_; }
    QMenu* moduleMenu() const { return moduleMenu_; }
    QMenu* contextMenuForNodeValue(int value) const;
    QAction* action(const QString& text) const;

private:
    void buildMainMenu();
    void buildNodeMenus();
    void bindButtons();
    void callStyleClicked(int style);

    MainWindow& window_;
    EngineCommands& engines_;
    QMenu* mainMenu_ = nullptr;
    QMenu* projectMenu_ = nullptr;
    QMenu* moduleMenu_ = nullptr;
    QActionGroup* callStyles_ = nullptr;
};

}  // namespace quillbox::app
