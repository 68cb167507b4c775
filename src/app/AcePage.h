#pragma once
// One editor page: Ace running in a browser view, driven through the page's global
// `editor`. Every operation waits for its answer, so callers see the page as a plain
// synchronous object. The module's code given at creation is kept until the editor
// exists and then handed to it; until then it is what the page reports as its text, so
// the code survives a page that is slow to load or never loads.
#include <QObject>
#include <QPointer>
#include <QWebEngineView>
#include <QUrl>
#include <QVariant>
#include <string>

#include "core/platform/Page.h"

class QWidget;

namespace quillbox::app {

class AcePage : public QObject, public Page {
    Q_OBJECT
public:
    // The view becomes a child of parent; the page itself belongs to whoever made it.
    AcePage(QWidget* parent, const QUrl& url, const std::string& name, const std::string& pendingText);
    ~AcePage() override;

    QWebEngineView* view() const { return view_; }

    std::string name() const override { return name_; }
    void setName(const std::string& name) override;
    bool visible() const override;
    void setVisible(bool visible) override;

    int lineCount() override;
    std::string getText() override;
    void setText(const std::string& text) override;
    void gotoLine(int line) override;
    void select(int startRow, int startColumn, int endRow, int endColumn) override;
    void insert(const std::string& text) override;
    std::string getLine(int line) override;
    void find(const std::string& needle, const FindOptions& options) override;
    void findStep() override;
    SelectionRange selectionRange() override;
    std::string selectedText() override;
    bool replace(const std::string& replacement) override;
    int replaceAll(const std::string& replacement) override;
    void close() override;
    bool readText(std::string& text) override;

    // True once the page's script has made `editor` (waits for the page to load).
    bool ensureEditor();
    bool loaded() const { return loaded_; }
    // The user agent the page reports (empty before load).
    QString userAgent();
    int findStart() const { return findStart_; }

    // How long a call waits for the page to load, and for one answer.
    static int loadTimeoutMs;
    static int callTimeoutMs;

signals:
    // Emitted once, when the editor is ready and holds the module's code.
    void editorReady();
    // Emitted once after load with the user agent, for the browser check.
    void userAgentKnown(const QString& agent);
    // The page was shown, hidden, renamed or closed: whatever names the page shown must
    // look again.
    void displayChanged();

private:
    // The script's value; `answered` tells a value from a page that gave none in time.
    QVariant run(const QString& script, bool* answered = nullptr);
    // Lets the page tell of every change of the text, typed or made by a call.
    void watchChanges();
    bool waitForLoad();
    void onLoadFinished(bool ok);

    QPointer<QWebEngineView> view_;
    std::string name_;
    std::string pending_;
    bool loaded_ = false;
    bool loadFailed_ = false;
    bool ready_ = false;
    bool closed_ = false;
    bool shown_ = false;
    bool waiting_ = false;
    int findStart_ = 0;
};

// A JavaScript string literal holding the text.
QString jsString(const QString& text);

}  // namespace quillbox::app
