#pragma once
// The main window: a frameless window that draws its own title bar, with the project
// tree, the editor pages, the function and output boxes, the engine selector and the
// workbench buttons. Controls carry the program's own names as their object names.
// The window builds and lays out its controls and owns the services its commands speak
// through; the commands themselves live beside it (CommandBindings, EngineCommands,
// CodeCommands), as do the tree's view (ProjectTreeView) and the frame (WindowFrame).
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/Startup.h"
#include "core/config/Settings.h"
#include "core/platform/Clipboard.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"

class QAction;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillbox {
class Shell;
class Page;
namespace engine {
class CodeLoader;
}
}  // namespace quillbox

namespace quillbox::app {

class BrowserControls;
class WatchLogView;
class CommandBindings;
class ConsoleInput;
class Navigation;
class ResultTreeView;
class EditorView;
class EngineCommands;
class FindReplaceWindow;
class OnlineCommands;
class ProjectTreeView;
class QtOutput;
class QtShell;
class WindowFrame;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(config::IniFile ini, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The ports the window speaks through; tests hand in scripted ones.
    void setDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
    void setShell(Shell* shell) { shell_ = shell; }
    void setClipboard(std::unique_ptr<Clipboard> clipboard) { clipboard_ = std::move(clipboard); }
    engine::CodeLoader& loader();
    // Runs a task of the program's own tools (conversions, transforms) on their thread.
    void onTools(std::function<void()> task);
    // A tools' command the user may stop (EngineCommands::runTool).
    bool runTool(const QString& what, std::function<void()> stop, std::function<void()> task,
                 std::function<void()> done);
    Dialogs& dialogs() { return *dialogs_; }
    Shell& shell() { return *shell_; }
    Clipboard& clipboard() { return *clipboard_; }
    QtOutput& output() { return *output_; }

    // The window-created handler and the settings stage of start-up.
    void initialise();
    void applySettingsAtStart();
    // The exit save: the config section from the check marks and the window size.
    void exitSave();

    // Close button: asks about pages that hold code unless "记忆代码内容" is checked.
    // Returns whether the window closed.
    bool requestClose();
    // Called once the window is sure to close, while its pages can still be read.
    std::function<void()> onClosing;

    // The projects, their tree and their pages.
    ProjectStore& store() { return *store_; }
    // The page factory of the store: a module's document, shown in the editor view.
    std::unique_ptr<Page> createPage(const std::string& name, const std::string& code);
    Page* currentPage() const;
    QTreeWidget* tree() const { return tree_; }
    ProjectTreeView& treeView() const { return *treeView_; }
    // The one editor that shows the module of the current page.
    EditorView* editorView() const { return editorView_; }
    QTreeWidgetItem* itemOf(NodeId node) const;
    QLineEdit* functionBox() const { return functionBox_; }
    QComboBox* engineSelector() const { return engineSelector_; }
    BrowserControls* browserControls() const { return browser_; }
    WatchLogView* watchLog() const { return watchLog_; }
    EngineCommands& engines() { return *engines_; }
    // Shown while a script runs: what runs and for how long, and the stop.
    QLabel* runState() const { return runState_; }
    QAbstractButton* stopButton() const { return stopButton_; }

    // The settings behind the menu's check marks, and the file they are kept in.
    const config::MenuState& menuState() const { return menu_; }
    config::MenuState& menuState() { return menu_; }
    config::IniFile& ini() { return ini_; }

    void setTitleProject(const QString& pageName);
    // Opens a project file (dropped on the tree or named on the command line) and shows
    // its first module. False when nothing was opened (the user was told why).
    bool openFile(const std::string& path);
    // Puts the name of the page shown into the title and selects its module in the tree.
    void followShownPage();
    // "删除模块": the modules selected in the tree, together when there are several.
    void deleteSelectedModules();
    // Opens the module of an error's place with the column selected.
    void openSpot(const ErrorSpot& spot);
    ConsoleInput& console() { return *console_; }
    Navigation& navigation() { return *navigation_; }
    ResultTreeView& resultView() { return *resultView_; }
    QLabel* engineStatus() const { return engineStatus_; }
    void showEngineStatus();
    void openFindReplace();
    void goToLineCommand();
    void fontSizeCommand();
    void toggleMaximised();
    void openAbout();
    FindReplaceWindow* findReplaceWindow() const { return findReplace_; }
    // The update check, the library window and the server pages.
    OnlineCommands& online() { return *online_; }
    QWidget* aboutWindow() const { return about_; }

    QMenu* mainMenu() const;
    QMenu* projectMenu() const;
    QMenu* moduleMenu() const;
    // The menu to pop up for a tree node of the given value (nullptr: none).
    QMenu* contextMenuForNodeValue(int value) const;
    QAction* action(const QString& text) const;
    WindowFrame* frame() const { return frame_; }

    // The engine-library and browser checks speak through these; tests replace them.
    QString editorPageUrl() const;

protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildTitleBar(QWidget* frame);
    QWidget* buildProjectPane(QWidget* parent);
    QWidget* buildFunctionPane(QWidget* parent);
    QWidget* buildOutputPane(QWidget* parent);
    void setTooltips();
    void fitSplittersToHeight();
    void showFirstModule(const std::string& project);

    config::IniFile ini_;
    config::MenuState menu_;
    std::unique_ptr<ProjectStore> store_;
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
    std::unique_ptr<QtShell> ownShell_;
    Dialogs* dialogs_ = nullptr;
    Shell* shell_ = nullptr;
    std::unique_ptr<QtOutput> output_;
    std::unique_ptr<Clipboard> clipboard_;
    std::unique_ptr<ProjectTreeView> treeView_;
    std::unique_ptr<EngineCommands> engines_;
    CommandBindings* commands_ = nullptr;
    ConsoleInput* console_ = nullptr;
    Navigation* navigation_ = nullptr;
    ResultTreeView* resultView_ = nullptr;
    QTreeWidget* resultTree_ = nullptr;
    WindowFrame* frame_ = nullptr;

    QLabel* title_ = nullptr;
    QLabel* icon_ = nullptr;
    QWidget* titleBar_ = nullptr;
    QToolButton* maximiseButton_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QWidget* editorArea_ = nullptr;
    QGridLayout* editorLayout_ = nullptr;
    EditorView* editorView_ = nullptr;
    QLineEdit* functionBox_ = nullptr;
    QComboBox* engineSelector_ = nullptr;
    QCheckBox* browserBox_ = nullptr;
    QTableWidget* accessTable_ = nullptr;
    BrowserControls* browser_ = nullptr;
    QTableWidget* watchTable_ = nullptr;
    WatchLogView* watchLog_ = nullptr;
    QLabel* runState_ = nullptr;
    QLabel* engineStatus_ = nullptr;
    QAbstractButton* stopButton_ = nullptr;
    QTabWidget* outputTabs_ = nullptr;
    QTextEdit* outputBox_ = nullptr;
    QTextEdit* consoleBox_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* rightSplitter_ = nullptr;

    FindReplaceWindow* findReplace_ = nullptr;
    OnlineCommands* online_ = nullptr;
    QPointer<QWidget> about_;
    const Page* shownPage_ = nullptr;
    bool browserChecked_ = false;
    bool closing_ = false;
};

}  // namespace quillbox::app
