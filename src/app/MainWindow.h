#pragma once
// The main window: a frameless window that draws its own title bar, with the project
// tree, the editor pages, the function and output boxes, the engine selector and the
// workbench buttons. Controls carry the program's own names as their object names.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/Startup.h"
#include "core/config/Settings.h"
#include "core/project/ProjectStore.h"
#include "core/engine/CodeLoader.h"
#include "core/transform/Transform.h"
#include <map>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QTabWidget;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;
class QGridLayout;

#include "core/platform/Clipboard.h"
#include "core/platform/Dialogs.h"

namespace quillbox {
class Shell;
class Page;
}

namespace quillbox::app {

class AcePage;
class FindReplaceWindow;
class QtOutput;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(config::IniFile ini, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The ports the window speaks through; tests hand in scripted ones.
    void setDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
    void setShell(Shell* shell) { shell_ = shell; }
    void setClipboard(std::unique_ptr<Clipboard> clipboard) { clipboard_ = std::move(clipboard); }
    engine::CodeLoader& loader() { return *loader_; }
    Dialogs& dialogs() { return *dialogs_; }
    QtOutput& output() { return *output_; }

    // The window-created handler and the settings stage of start-up.
    void initialise();
    void applySettingsAtStart();
    // The exit save: the config section from the check marks and the window size.
    void exitSave();

    // Close button: asks about pages that hold code unless "记忆代码内容" is checked.
    // Returns whether the window closed.
    bool requestClose();

    // The projects, their tree and their pages.
    ProjectStore& store() { return *store_; }
    // The page factory of the store: an editor page in the editor area.
    std::unique_ptr<Page> createPage(const std::string& name, const std::string& code);
    Page* currentPage() const;
    QTreeWidget* tree() const { return tree_; }
    QTreeWidgetItem* itemOf(NodeId node) const;
    const config::MenuState& menuState() const { return menu_; }

    void setTitleProject(const QString& pageName);
    void openFindReplace();
    void goToLineCommand();
    void fontSizeCommand();
    void toggleMaximised();
    void openAbout();
    FindReplaceWindow* findReplaceWindow() const { return findReplace_; }
    QWidget* aboutWindow() const { return about_; }

    QMenu* mainMenu() const { return mainMenu_; }
    QMenu* projectMenu() const { return projectMenu_; }
    QMenu* moduleMenu() const { return moduleMenu_; }
    // The menu to pop up for a tree node of the given value (nullptr: none).
    QMenu* contextMenuForNodeValue(int value) const;
    QAction* action(const QString& text) const;

    // The engine-library and browser checks speak through these; tests replace them.
    QString editorPageUrl() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildShortcuts();
    void setTooltips();
    void updateMaximiseButton();
    void callStyleClicked(int style);
    void syncMenu();
    void treeChanged(TreeEvent event, NodeId node);
    void treeSelectionChanged();
    void markSelectedModule(NodeId node);
    void exportCommand();
    void loadCommand();
    void evaluateCommand();
    void callWrapperCommand();
    void constantCommand();
    void transformCommand(transform::Mode mode);
    void copyExpressionCommand();
    Qt::Edges edgesAt(const QPoint& globalPos) const;
    void clearOutput();
    void bindCommands();

    config::IniFile ini_;
    config::MenuState menu_;
    std::unique_ptr<ProjectStore> store_;
    std::map<NodeId, QTreeWidgetItem*> items_;
    bool syncingTree_ = false;
    NodeId markedModule_ = kNoNode;
    // The store keeps a reference to its dialogs for its whole life; this one forwards
    // to whichever dialogs the window speaks through now.
    class ForwardingDialogs : public Dialogs {
    public:
        explicit ForwardingDialogs(Dialogs** target) : target_(target) {}
        MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                 MessageButtons buttons) override {
            return (*target_)->messageBox(text, title, icon, buttons);
        }
        std::optional<std::string> inputBox(const std::string& prompt, const std::string& initialText,
                                            const std::string& title = "") override {
            return (*target_)->inputBox(prompt, initialText, title);
        }
        std::string saveFileDialog(const SaveFileRequest& request) override {
            return (*target_)->saveFileDialog(request);
        }

    private:
        Dialogs** target_;
    };
    ForwardingDialogs forwardDialogs_{&dialogs_};
    std::unique_ptr<Dialogs> ownDialogs_;
    std::unique_ptr<Shell> ownShell_;
    Dialogs* dialogs_ = nullptr;
    Shell* shell_ = nullptr;
    std::unique_ptr<QtOutput> output_;
    std::unique_ptr<Clipboard> clipboard_;
    engine::JScript native_;
    engine::ChakraCore chakra_;
    std::unique_ptr<engine::CodeLoader> loader_;

    QLabel* title_ = nullptr;
    QLabel* icon_ = nullptr;
    QWidget* titleBar_ = nullptr;
    QToolButton* menuButton_ = nullptr;
    QToolButton* minimiseButton_ = nullptr;
    QToolButton* maximiseButton_ = nullptr;
    QToolButton* closeButton_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QWidget* editorArea_ = nullptr;
    QGridLayout* editorLayout_ = nullptr;
    QLineEdit* functionBox_ = nullptr;
    QComboBox* engineSelector_ = nullptr;
    QTabWidget* outputTabs_ = nullptr;
    QTextEdit* outputBox_ = nullptr;
    QTextEdit* consoleBox_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* rightSplitter_ = nullptr;

    QMenu* mainMenu_ = nullptr;
    QMenu* projectMenu_ = nullptr;
    QMenu* moduleMenu_ = nullptr;
    QActionGroup* callStyles_ = nullptr;

    FindReplaceWindow* findReplace_ = nullptr;
    QPointer<QWidget> about_;
    bool browserChecked_ = false;
    bool closing_ = false;
    bool overrideCursor_ = false;
};

// Paints one of the window's picture-button glyphs.
QIcon buttonIcon(const QString& glyph, const QColor& colour = QColor(220, 220, 220));

}  // namespace quillbox::app
