#include "app/AcePage.h"

#include "core/editor/AceBridge.h"

#include <QEventLoop>
#include <algorithm>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

namespace quillbox::app {
namespace {
// Runs the local event loop once. False when it cannot run because the program is quitting
// (QEventLoop::exec answers -1 at once): waiting on would spin until the time-out, with the
// main loop unable to end.
bool waitOnce(QEventLoop& loop) { return loop.exec(QEventLoop::ExcludeUserInputEvents) >= 0; }
}  // namespace


int AcePage::loadTimeoutMs = 60000;
int AcePage::callTimeoutMs = 30000;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }

}  // namespace

QString jsString(const QString& text) {
    // A one-element JSON array is the simplest way to get a correctly escaped literal.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

AcePage::AcePage(QWidget* parent, const QUrl& url, const std::string& name, const std::string& pendingText)
    : name_(name), pending_(pendingText) {
    view_ = new QWebEngineView(parent);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    // Views are never hidden: a hidden browser view stops answering scripts. A page that
    // is not shown lies below the others (and below whatever covers the editor area).
    view_->show();
    view_->lower();
    connect(view_, &QWebEngineView::loadFinished, this, &AcePage::onLoadFinished);
    // The page's script renames the page at a change of the text (see watchChanges).
    connect(view_, &QWebEngineView::titleChanged, this, [this] { markChanged(); });
    view_->setUrl(url);
}

AcePage::~AcePage() { close(); }

void AcePage::close() {
    if (closed_)
        return;
    closed_ = true;
    const bool wasShown = visible();
    shown_ = false;
    if (view_) {
        view_->hide();
        view_->deleteLater();
        view_ = nullptr;
    }
    if (wasShown)
        emit displayChanged();
}

void AcePage::setName(const std::string& name) {
    name_ = name;
    if (visible())
        emit displayChanged();
}

bool AcePage::visible() const { return view_ && shown_; }

void AcePage::setVisible(bool visible) {
    if (!view_)
        return;
    const bool changed = shown_ != visible;
    shown_ = visible;
    if (visible)
        view_->raise();
    else
        view_->lower();
    if (changed)
        emit displayChanged();
}

void AcePage::onLoadFinished(bool ok) {
    if (loaded_)
        return;
    loaded_ = true;
    loadFailed_ = !ok;
    if (!ok)
        return;
    // Hand the module's code to the editor as soon as the page can take it, unless a
    // caller is already waiting and will do it itself.
    if (!waiting_)
        QTimer::singleShot(0, this, [this] { ensureEditor(); });
    QPointer<AcePage> self(this);
    view_->page()->runJavaScript(QStringLiteral("navigator.userAgent"), [self](const QVariant& agent) {
        if (self)
            emit self->userAgentKnown(agent.toString());
    });
}

bool AcePage::waitForLoad() {
    if (loaded_)
        return !loadFailed_;
    if (!view_)
        return false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto connection = connect(view_, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
    timer.start(loadTimeoutMs);
    waiting_ = true;
    while (!loaded_ && timer.isActive())
        if (!waitOnce(loop))
            break;
    waiting_ = false;
    disconnect(connection);
    return loaded_ && !loadFailed_;
}

QVariant AcePage::run(const QString& script, bool* answered) {
    if (answered)
        *answered = false;
    if (!view_)
        return {};
    struct State {
        QVariant result;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    QPointer<QEventLoop> loopGuard(&loop);
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    view_->page()->runJavaScript(script, [state, loopGuard](const QVariant& value) {
        state->result = value;
        state->done = true;
        if (loopGuard)
            loopGuard->quit();
    });
    timer.start(callTimeoutMs);
    while (!state->done && timer.isActive())
        if (!waitOnce(loop))
            break;
    if (!state->done)
        qWarning("editor page %s: no answer to %s", name_.c_str(), qPrintable(script.left(60)));
    if (answered)
        *answered = state->done;
    return state->result;
}

bool AcePage::ensureEditor() {
    if (ready_)
        return true;
    if (closed_ || !waitForLoad())
        return false;
    // The page may have loaded but its scripts not made the editor (a broken asset).
    if (run(QStringLiteral("typeof editor === 'object' && editor !== null")).toBool() != true)
        return false;
    ready_ = true;
    std::string text;
    text.swap(pending_);
    if (!text.empty())
        appendText(text);
    // Start with nothing to undo: the module's code is where the page begins.
    run(QStringLiteral("editor.session.getUndoManager().reset();editor.clearSelection();"
                       "editor.moveCursorTo(0,0);0"));
    watchChanges();
    emit editorReady();
    return true;
}

void AcePage::watchChanges() {
    // A change of the text renames the page, which Qt reports as titleChanged: the one
    // notice a page sends without a channel of its own. Only the first change after a read
    // of the whole text renames it, so fast typing costs nothing; every read clears the mark.
    run(QStringLiteral("(function(){var n=0,told=false;"
                       "window.quillboxTextRead=function(){told=false};"
                       "editor.on('change',function(){if(!told){told=true;document.title='Quillbox '+(++n)}})"
                       "})();0"));
    markChanged();
}

QString AcePage::userAgent() {
    if (!waitForLoad())
        return {};
    return run(QStringLiteral("navigator.userAgent")).toString();
}

int AcePage::lineCount() {
    if (!ensureEditor()) {
        if (pending_.empty())
            return 0;
        return static_cast<int>(std::count(pending_.begin(), pending_.end(), '\n')) + 1;
    }
    return run(QStringLiteral("editor.session.getLength()")).toInt();
}

std::string AcePage::getText() {
    std::string text;
    readText(text);
    return text;
}

bool AcePage::readText(std::string& text) {
    if (!ensureEditor()) {
        // Until the editor exists the code given at creation is the module's code.
        text = pending_;
        return true;
    }
    bool answered = false;
    const QVariant value =
        run(QStringLiteral("(window.quillboxTextRead&&window.quillboxTextRead(),editor.getValue())"), &answered);
    if (!answered || !value.isValid())
        return false;
    text = s(value.toString());
    return true;
}

void AcePage::setText(const std::string& text) {
    markChanged();
    if (!ensureEditor()) {
        pending_ = text;
        return;
    }
    // Cursor at the start rather than everything selected, so the next key typed does
    // not replace the whole module.
    run(QStringLiteral("editor.setValue(%1,-1);0").arg(jsString(q(text))));
}

void AcePage::gotoLine(int line) {
    if (!ensureEditor())
        return;
    run(QStringLiteral("editor.gotoLine(%1);0").arg(line));
}

void AcePage::select(int startRow, int startColumn, int endRow, int endColumn) {
    if (!ensureEditor())
        return;
    const QString range = q(editor::selectRangeJson(startRow, startColumn, endRow, endColumn));
    run(QStringLiteral("editor.selection.setRange(%1,\"undefined\");0").arg(jsString(range)));
}

void AcePage::insert(const std::string& text) {
    markChanged();
    if (!ensureEditor()) {
        pending_ += text;
        return;
    }
    run(QStringLiteral("editor.insert(%1);0").arg(jsString(q(text))));
}

std::string AcePage::getLine(int line) {
    if (!ensureEditor())
        return {};
    return s(run(QStringLiteral("editor.session.getLine(%1)").arg(line - 1)).toString());
}

void AcePage::find(const std::string& needle, const FindOptions& options) {
    if (!ensureEditor())
        return;
    const QString json = q(editor::findOptionsJson(options, findStart_));
    // An invalid regular expression makes Ace throw; that is simply no match.
    run(QStringLiteral("try{editor.find(%1,%2)}catch(e){};0").arg(jsString(q(needle)), jsString(json)));
    findStep();
    // Stepping searches again for the selected text; give the search its own needle back
    // so that a replace after it still means the pattern the user typed.
    run(QStringLiteral("editor.$search.set({needle:%1});0").arg(jsString(q(needle))));
    findStart_ = lineCount();
}

void AcePage::findStep() {
    if (!ensureEditor())
        return;
    run(QStringLiteral("try{editor.findNext();editor.findPrevious()}catch(e){};0"));
}

SelectionRange AcePage::selectionRange() {
    if (!ensureEditor())
        return {};
    const QString text = run(QStringLiteral("editor.selection.getRange().toString()")).toString();
    return editor::parseSelectionRange(s(text)).value_or(SelectionRange{});
}

std::string AcePage::selectedText() {
    if (!ensureEditor())
        return {};
    return s(run(QStringLiteral("editor.session.getTextRange(editor.getSelectionRange())")).toString());
}

bool AcePage::replace(const std::string& replacement) {
    markChanged();
    if (!ensureEditor())
        return false;
    return run(QStringLiteral("try{editor.replace(%1)}catch(e){0}").arg(jsString(q(replacement)))).toInt() == 1;
}

int AcePage::replaceAll(const std::string& replacement) {
    markChanged();
    if (!ensureEditor())
        return 0;
    return run(QStringLiteral("try{editor.replaceAll(%1)}catch(e){0}").arg(jsString(q(replacement)))).toInt();
}

}  // namespace quillbox::app
