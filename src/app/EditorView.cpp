#include "app/EditorView.h"

#include <QFile>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTimer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace quillbox::app {

using document::Delta;
using document::Document;
using document::TextPosition;

namespace {

QString resourceText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("editor view: missing %s", qPrintable(path));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString linesJson(const std::vector<std::u16string>& lines) {
    QJsonArray array;
    for (const std::u16string& line : lines)
        array.append(QString::fromStdU16String(line));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// The arguments of a call and its closing parenthesis.
QString call(const QStringList& arguments) { return arguments.join(QLatin1Char(',')) + QLatin1Char(')'); }

TextPosition position(const QJsonObject& object) {
    return {object.value(QStringLiteral("row")).toInt(), object.value(QStringLiteral("column")).toInt()};
}

}  // namespace

// ---- what the page calls ------------------------------------------------------------------

void EditorBridge::ready(const QString& userAgent) {
    view_.pageLoaded();
    emit view_.userAgentKnown(userAgent);
}

int EditorBridge::edited(int session, int first, const QString& deltas) {
    EditorView::Session* s = view_.byId(session);
    if (!s)
        return 0;
    const QJsonArray array = QJsonDocument::fromJson(deltas.toUtf8()).array();
    for (int i = 0; i < array.size(); ++i) {
        // A delta the document already has (sent twice) is not applied again.
        if (first + i <= s->applied)
            continue;
        const QJsonObject object = array.at(i).toObject();
        Delta delta;
        delta.action = object.value(QStringLiteral("action")).toString() == QLatin1String("insert")
                           ? Delta::Action::Insert
                           : Delta::Action::Remove;
        delta.start = position(object.value(QStringLiteral("start")).toObject());
        delta.end = position(object.value(QStringLiteral("end")).toObject());
        for (const QJsonValue& line : object.value(QStringLiteral("lines")).toArray())
            delta.lines.push_back(line.toString().toStdU16String());
        s->doc->applyDelta(delta);
        s->applied = first + i;
    }
    return s->applied;
}

void EditorBridge::selected(int session, int push, int anchorRow, int anchorColumn, int cursorRow, int cursorColumn) {
    EditorView::Session* s = view_.byId(session);
    // A report made before the page had the program's last selection or text is stale.
    if (!s || push < s->push)
        return;
    s->doc->setSelectionFromView({anchorRow, anchorColumn}, {cursorRow, cursorColumn});
}

void EditorBridge::scrolled(int session, double top, double left) {
    if (EditorView::Session* s = view_.byId(session))
        s->doc->setScroll({top, left});
}

void EditorBridge::shown(int session) {
    EditorView::Session* s = view_.byId(session);
    view_.confirmed_ = s ? s->doc : nullptr;
    emit view_.documentShown(view_.confirmed_);
}

// ---- the view -------------------------------------------------------------------------------

EditorView::EditorView(QWidget* parent, const QUrl& url) : QWidget(parent), url_(url) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    web_ = new QWebEngineView(this);
    web_->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(web_, 0, 0);
    // Lies over the editor while no module is shown.
    cover_ = new QWidget(this);
    cover_->setObjectName(QStringLiteral("编辑区_底"));
    cover_->setAutoFillBackground(true);
    cover_->setStyleSheet(QStringLiteral("background: #2b2b2b;"));
    layout->addWidget(cover_, 0, 0);
    cover_->raise();

    channel_ = new QWebChannel(this);
    channel_->registerObject(QStringLiteral("quillbox"), &bridge_);
    QWebEnginePage* page = web_->page();
    page->setWebChannel(channel_);
    QWebEngineScript script;
    script.setName(QStringLiteral("quillbox-view"));
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setSourceCode(resourceText(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + QStringLiteral("\n") +
                         resourceText(QStringLiteral(":/editor/view-bridge.js")));
    page->scripts().insert(script);
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] { pageDied(); });
    web_->setUrl(url);
}

EditorView::~EditorView() {
    // Documents that outlive the view must not call into it.
    for (auto& [doc, session] : sessions_)
        session.doc->setListener(nullptr);
}

int EditorView::sessionCount() const {
    int count = 0;
    for (const auto& [doc, session] : sessions_)
        count += session.made ? 1 : 0;
    return count;
}

EditorView::Session* EditorView::byId(int id) {
    auto it = ids_.find(id);
    if (it == ids_.end())
        return nullptr;
    auto s = sessions_.find(it->second);
    return s == sessions_.end() ? nullptr : &s->second;
}

void EditorView::documentChanged(Document& doc, Document::Change change) {
    auto it = sessions_.find(&doc);
    switch (change) {
    case Document::Change::Closed:
        if (it != sessions_.end()) {
            if (it->second.made)
                run(QStringLiteral("quillboxView.drop(%1)").arg(it->second.id));
            ids_.erase(it->second.id);
            sessions_.erase(it);
        }
        dirty_.erase(&doc);
        if (wanted_ == &doc)
            wanted_ = nullptr;
        if (displayed_ == &doc)
            displayed_ = nullptr;
        if (confirmed_ == &doc)
            confirmed_ = nullptr;
        schedule();
        return;
    case Document::Change::Display:
        if (doc.visible()) {
            wanted_ = &doc;
        } else if (wanted_ == &doc) {
            wanted_ = nullptr;
        }
        schedule();
        return;
    case Document::Change::Text:
    case Document::Change::Selection:
        // A module without a session takes its text and selection when it is first shown.
        if (it == sessions_.end() || !it->second.made)
            return;
        if (change == Document::Change::Text)
            it->second.textOut = true;
        it->second.selectionOut = true;
        it->second.reveal = it->second.reveal || change == Document::Change::Selection;
        dirty_.insert(&doc);
        schedule();
        return;
    }
}

void EditorView::schedule() {
    if (scheduled_)
        return;
    scheduled_ = true;
    // After the operation that changed the document has finished: several changes, one send.
    QTimer::singleShot(0, this, [this] { flush(); });
}

void EditorView::flush() {
    scheduled_ = false;
    if (!ready_)
        return;
    for (const Document* doc : dirty_) {
        auto it = sessions_.find(doc);
        if (it == sessions_.end() || !it->second.made)
            continue;
        sendText(it->second);
        sendSelection(it->second);
    }
    dirty_.clear();
    if (wanted_ == displayed_)
        return;
    displayed_ = wanted_;
    if (!displayed_) {
        run(QStringLiteral("quillboxView.show(0)"));
        cover_->raise();
        return;
    }
    Session& s = sessions_[displayed_];
    if (!s.doc) {
        s.doc = displayed_;
        s.id = ++nextId_;
        ids_[s.id] = displayed_;
    }
    if (!s.made)
        makeSession(s);
    run(QStringLiteral("quillboxView.show(%1)").arg(s.id));
    cover_->lower();
}

void EditorView::makeSession(Session& s) {
    const TextPosition anchor = s.doc->anchor();
    const TextPosition cursor = s.doc->cursor();
    const document::ScrollPosition scroll = s.doc->scroll();
    // Built by joining, never by QString::arg: the code may hold "%1" itself.
    run(QStringLiteral("quillboxView.open(") + call({QString::number(s.id), linesJson(s.doc->lines()),
                                                    QString::number(anchor.row), QString::number(anchor.column),
                                                    QString::number(cursor.row), QString::number(cursor.column),
                                                    QString::number(scroll.top), QString::number(scroll.left)}));
    s.made = true;
    s.textOut = s.selectionOut = s.reveal = false;
}

void EditorView::sendText(Session& s) {
    if (!s.textOut)
        return;
    s.textOut = false;
    ++s.push;
    run(QStringLiteral("quillboxView.text(") + call({QString::number(s.id), linesJson(s.doc->lines()),
                                                    QString::number(s.applied), QString::number(s.push)}));
}

void EditorView::sendSelection(Session& s) {
    if (!s.selectionOut)
        return;
    s.selectionOut = false;
    ++s.push;
    const TextPosition anchor = s.doc->anchor();
    const TextPosition cursor = s.doc->cursor();
    run(QStringLiteral("quillboxView.select(") +
        call({QString::number(s.id), QString::number(anchor.row), QString::number(anchor.column),
              QString::number(cursor.row), QString::number(cursor.column), QString::number(s.push),
              s.reveal ? QStringLiteral("true") : QStringLiteral("false")}));
    s.reveal = false;
}

void EditorView::run(const QString& script) {
    // No answer is awaited: scripts run in the order they are sent.
    web_->page()->runJavaScript(script);
}

void EditorView::setFontSize(int pixels) {
    fontSize_ = pixels;
    if (ready_)
        run(QStringLiteral("editor.setFontSize(%1);").arg(pixels));
}

void EditorView::pageLoaded() {
    // A page just loaded holds no sessions, whatever the last one held.
    ready_ = true;
    if (fontSize_ > 0)
        run(QStringLiteral("editor.setFontSize(%1);").arg(fontSize_));
    displayed_ = nullptr;
    confirmed_ = nullptr;
    for (auto& [doc, session] : sessions_) {
        session.made = false;
        session.applied = 0;
        session.push = 0;
    }
    dirty_.clear();
    if (!wanted_)
        cover_->raise();
    schedule();
}

void EditorView::pageDied() {
    // The documents hold every module's text: a new page gets new sessions made from them.
    qWarning("editor view: the page ended; loading it again");
    ready_ = false;
    displayed_ = nullptr;
    confirmed_ = nullptr;
    QTimer::singleShot(0, this, [this] { web_->setUrl(url_); });
}

}  // namespace quillbox::app
