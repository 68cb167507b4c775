#pragma once
// The desktop side of the ports: real message boxes, the two rich-text output boxes, the
// system clipboard and the desktop's default programs.
#include <QFont>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/platform/Clipboard.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "core/platform/Shell.h"

class QWidget;
class QTabWidget;
class QTextEdit;
class QMimeData;

namespace quillbox::app {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner) : owner_(owner) {}
    MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& initialText,
                                        const std::string& title = "") override;
    std::string saveFileDialog(const SaveFileRequest& request) override;

private:
    QWidget* owner_;
};

// "js文件(*.js)|*.js" -> "js文件 (*.js)": the Windows filter pairs as Qt name filters.
QString qtNameFilter(const std::string& windowsFilter);

// Message lines go to the output box (tab "运行"), console lines to the console box (tab
// "输出"), in the colours and weights the workbench has always used. The console box is also
// the transcript of the evaluations: each expression (echo), what it logged, its result or
// its error (red), in the order they happened. An error's spot shows the line around the
// column with a caret under it, and a module's place as a link (onSpotClicked).
class QtOutput : public Output {
public:
    QtOutput(QTabWidget* tabs, QTextEdit* outputBox, QTextEdit* consoleBox)
        : tabs_(tabs), outputBox_(outputBox), consoleBox_(consoleBox) {}
    void messageLine(const std::string& text) override;
    void consoleLine(const std::string& type, const std::string& message) override;
    void errorConsoleLine(const std::string& type, const std::string& message) override;
    void chooseTab(int tab) override;
    int currentTab() const override;
    void clear() override;
    void echo(const std::string& expression) override;
    void evaluationError(const std::string& text) override;
    void errorSpot(const ErrorSpot& spot) override;
    // A link in the transcript to the result's tree (tab "对象"), which onObjectResult fills.
    void objectResult(const std::string& expression, const ObjectNode& root) override;
    std::function<void(const std::string&, const ObjectNode&)> onObjectResult;
    // The heading written at start into the console box.
    void consoleHeading(const std::string& text);
    // A line of the program's own in the transcript (e.g. that it loads before evaluating).
    void noteLine(const std::string& text);
    // Empties the transcript (Ctrl+L in the function box).
    void clearTranscript();
    // The link of a spot was clicked; the href is the spot's number.
    void openSpot(const QString& href);
    std::function<void(const ErrorSpot&)> onSpotClicked;
    // "格式化并定位" after a load's error place was clicked.
    std::function<void(const ErrorSpot&)> onFormatAndLocate;
    // The spots shown, in order (the links' targets).
    const std::vector<ErrorSpot>& spots() const { return spots_; }

private:
    QTabWidget* tabs_;
    QTextEdit* outputBox_;
    QTextEdit* consoleBox_;
    std::vector<ErrorSpot> spots_;
};

// The font of the output boxes: "微软雅黑" where it exists, else a CJK font of the system.
QFont outputFont(bool bold = false, bool italic = false);

// Builds the mime data of one clipboard write (exposed for the tests).
QMimeData* clipboardMimeData(const std::vector<ClipboardEntry>& entries);

class QtClipboard : public Clipboard {
public:
    bool write(const std::vector<ClipboardEntry>& entries) override;
};

// Opens with xdg-open where it exists (else Qt's desktop services). xdg-open starts
// whatever it finds and only later learns that nothing could open the target; that is
// told through openFailedLater, so the window can say so.
class QtShell : public Shell {
public:
    bool open(const std::string& urlOrPath) override;

    // Called on the GUI thread with the target given to open().
    std::function<void(const std::string& target)> openFailedLater;
    // Called on the GUI thread when an opener program has ended, whatever its outcome.
    std::function<void(const std::string& target)> openerEnded;
    // The opener program; empty: Qt's desktop services (tests set their own).
    QString opener = defaultOpener();
    static QString defaultOpener();

    QtShell() = default;
    ~QtShell() override { *alive_ = false; }
    QtShell(const QtShell&) = delete;
    QtShell& operator=(const QtShell&) = delete;

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace quillbox::app
