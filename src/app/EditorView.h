#pragma once
// The window's one editor: a single browser view with Ace, showing one module's document
// at a time. Each module shown gets an Ace EditSession the first time it is shown (so its
// undo history, cursor, selection and scroll position stay with it across switches); a
// module never shown costs the page nothing.
//
// Nothing waits for the page. The documents in core hold the text; the page tells of each
// edit as deltas (applied to the document as they arrive) and of selection and scroll;
// the program's own edits go to the page as scripts that need no answer. A page that
// dies is loaded again and its sessions made anew from the documents.
#include <QObject>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <set>
#include <unordered_map>

#include "core/document/Document.h"

class QWebChannel;
class QWebEngineView;

namespace quillbox::app {

class EditorView;

// What the page's script calls (through Qt's web channel).
class EditorBridge : public QObject {
    Q_OBJECT
public:
    explicit EditorBridge(EditorView& view) : view_(view) {}

    Q_INVOKABLE void ready(const QString& userAgent);
    // Deltas `first`, `first` + 1, ... of a session, as JSON; answers how many of that
    // session's deltas have been applied in all.
    Q_INVOKABLE int edited(int session, int first, const QString& deltas);
    Q_INVOKABLE void selected(int session, int push, int anchorRow, int anchorColumn, int cursorRow, int cursorColumn);
    Q_INVOKABLE void scrolled(int session, double top, double left);
    Q_INVOKABLE void shown(int session);

private:
    EditorView& view_;
};

class EditorView : public QWidget {
    Q_OBJECT
public:
    // The editor page to load; shown once `url` has loaded.
    EditorView(QWidget* parent, const QUrl& url);
    ~EditorView() override;

    // Hand every change of a document here (its listener).
    void documentChanged(document::Document& doc, document::Document::Change change);

    QWebEngineView* webView() const { return web_; }
    // The page has loaded and its script answers.
    bool pageReady() const { return ready_; }
    // The document whose session the page has said it shows, ready for typing (null: none,
    // or not yet).
    const document::Document* shownDocument() const { return confirmed_; }
    // Modules that have a session in the page.
    int sessionCount() const;
    // The editor's font size in pixels, at once and after the page loads again.
    void setFontSize(int pixels);
    int fontSize() const { return fontSize_; }

signals:
    // Once per page load, with the page's user agent (the browser check).
    void userAgentKnown(const QString& agent);
    // The page shows this document's session, ready for typing (null: the empty editor).
    void documentShown(const document::Document* doc);

private:
    friend class EditorBridge;
    struct Session {
        document::Document* doc = nullptr;
        int id = 0;
        bool made = false;        // exists in the page
        int applied = 0;          // the page's deltas applied to the document
        int push = 0;             // the program's sends so far
        bool textOut = false;     // the document's text changed since the page had it
        bool selectionOut = false;
        bool reveal = false;      // scroll the selection into view when sending it
    };

    void schedule();
    void flush();
    void makeSession(Session& s);
    void sendText(Session& s);
    void sendSelection(Session& s);
    void run(const QString& script);
    Session* byId(int id);
    int fontSize_ = 0;  // 0: the page's own
    void pageLoaded();
    void pageDied();

    EditorBridge bridge_{*this};
    QUrl url_;
    QWebEngineView* web_ = nullptr;
    QWidget* cover_ = nullptr;
    QWebChannel* channel_ = nullptr;
    bool ready_ = false;
    bool scheduled_ = false;
    std::unordered_map<const document::Document*, Session> sessions_;
    std::unordered_map<int, const document::Document*> ids_;
    std::set<const document::Document*> dirty_;
    int nextId_ = 0;
    document::Document* wanted_ = nullptr;     // the document to show
    document::Document* displayed_ = nullptr;  // the one the page was told to show
    const document::Document* confirmed_ = nullptr;  // the one the page said it shows
};

}  // namespace quillbox::app
