// The one editor view over the modules' documents: the program's operations answer at once
// from the document, typing in the page reaches the document, the program's edits reach the
// page, and each module keeps its own undo history, cursor and scroll position across
// switches.
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <memory>
#include <vector>

#include "AppTests.h"
#include "app/EditorView.h"
#include "app/Startup.h"
#include "core/config/IniFile.h"
#include "core/document/Document.h"
#include "core/editor/FindReplace.h"
#include "core/platform/Dialogs.h"

using namespace quillbox;
using quillbox::app::EditorView;
using quillbox::document::Document;

namespace {

editor::FindReplaceForm form(const std::string& needle, const std::string& replacement = "", bool wholeWord = false,
                             bool caseSensitive = false, bool regExp = false) {
    return {needle, replacement, wholeWord, caseSensitive, regExp};
}

// The value of a script in the page (tests may wait for the page; the program never does).
QVariant pageValue(EditorView& view, const QString& script) {
    QVariant result;
    bool done = false;
    view.webView()->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    for (int i = 0; i < 600 && !done; ++i)
        QTest::qWait(50);
    return result;
}

QString shownText(EditorView& view) { return pageValue(view, QStringLiteral("editor.getValue()")).toString(); }

}  // namespace

class EditorViewTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QWidget> host;
    EditorView* view = nullptr;
    std::vector<std::unique_ptr<Document>> docs;

    Document* make(const std::string& code, const std::string& name = "demo_main.js") {
        auto doc = std::make_unique<Document>(name, code);
        doc->setVisible(false);
        doc->setListener([this](Document& d, Document::Change c) { view->documentChanged(d, c); });
        docs.push_back(std::move(doc));
        return docs.back().get();
    }
    // Shows the document as the project store does, and waits until the page shows it.
    void show(Document* doc) {
        for (auto& other : docs)
            if (other.get() != doc)
                other->setVisible(false);
        doc->setVisible(true);
        QTRY_VERIFY_WITH_TIMEOUT(view->shownDocument() == doc, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(pageValue(*view, QStringLiteral("editor.getReadOnly()")).toBool(), false, 30000);
    }
    void type(const QString& keys) {
        QWidget* target = view->webView()->focusProxy();
        QVERIFY(target);
        target->setFocus();
        for (const QChar c : keys) {
            if (c.unicode() < 0x80)
                QTest::keyClick(target, c.toLatin1());
            else  // a character typed through an input method arrives as text
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

private slots:
    void initTestCase() {
        app::deployEditorAssets(config::IniFile(apptest::freshDir("viewhome") + "/Quillbox_config.ini"));
        host = std::make_unique<QWidget>();
        host->resize(700, 450);
        view = new EditorView(host.get(), QUrl::fromLocalFile(QString::fromStdString(app::editorPagePath())));
        view->resize(700, 450);
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QTRY_VERIFY_WITH_TIMEOUT(view->pageReady(), 60000);
    }
    void cleanup() { docs.clear(); }
    void cleanupTestCase() {
        docs.clear();
        host.reset();
    }

    // Typing in the page reaches the document and moves its revision, so the session store
    // knows; reading alone does not.
    void typingReachesTheDocument() {
        Document* doc = make("var a = 1;");
        show(doc);
        QCOMPARE(shownText(*view), QStringLiteral("var a = 1;"));
        const std::uint64_t before = doc->revision();
        doc->getText();
        QCOMPARE(doc->revision(), before);
        type(QStringLiteral("xy"));
        QTRY_COMPARE(doc->getText(), std::string("xyvar a = 1;"));
        QVERIFY(doc->revision() != before);
        QCOMPARE(doc->selectionRange(), (SelectionRange{1, 3, 1, 2}));
    }

    // Completion stays out of comments and strings, and Enter after typing is a line break
    // even where a completion popup opened by itself: "//END" and Enter never becomes
    // "//encodeURI". A new font size reaches the page at once.
    void completionNeverTakesEnterUnasked() {
        Document* doc = make("");
        show(doc);
        const struct {
            QString typed;
            std::string text;
        } cases[] = {
            {QStringLiteral("//END"), "//END\n"},
            {QStringLiteral("var s = 'enc"), "var s = 'enc\n'"},  // Ace closes the quote
            {QStringLiteral("enc"), "enc\n"},
        };
        for (const auto& c : cases) {
            doc->setText("");
            QTRY_COMPARE(shownText(*view), QString());
            type(c.typed);
            QTest::qWait(300);  // the live popup's delay
            QWidget* target = view->webView()->focusProxy();
            QTest::keyClick(target, Qt::Key_Return);
            QTRY_COMPARE(QString::fromStdString(doc->getText()), QString::fromStdString(c.text));
        }
        // A popup the user asked for (Ctrl+Space) takes Enter to insert its choice.
        doc->setText("");
        QTRY_COMPARE(shownText(*view), QString());
        type(QStringLiteral("encodeURIC"));
        QWidget* target = view->webView()->focusProxy();
        QTest::keyClick(target, Qt::Key_Space, Qt::ControlModifier);
        QTest::qWait(300);
        QTest::keyClick(target, Qt::Key_Return);
        QTRY_COMPARE(QString::fromStdString(doc->getText()), QStringLiteral("encodeURIComponent"));
        view->setFontSize(21);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getFontSize()")).toInt(), 21);
    }

    // Every operation answers at once, whether or not the page has the module yet.
    void operationsAnswerWithoutThePage() {
        Document* never = make("var a = 1;\nfunction f() { return a; }");
        QCOMPARE(never->getText(), std::string("var a = 1;\nfunction f() { return a; }"));
        QCOMPARE(never->lineCount(), 2);
        never->setText("still here");
        QCOMPARE(never->getText(), std::string("still here"));
        QCOMPARE(view->sessionCount(), 0);  // never shown: no session

        auto* blank = new EditorView(host.get(), QUrl::fromLocalFile(QString::fromStdString(
                                                     apptest::freshDir("nopage") + "/missing.html")));
        auto orphan = std::make_unique<Document>("p_m.js", "keep me");
        orphan->setListener([blank](Document& d, Document::Change c) { blank->documentChanged(d, c); });
        orphan->setVisible(true);
        orphan->appendText(" too");
        QCOMPARE(orphan->getText(), std::string("keep me too"));
        orphan.reset();
        delete blank;
    }

    // The program's edits reach the page, also while keys typed a moment before are still on
    // their way: the page and the document end equal, with both edits in them.
    void programEditsReachThePage() {
        Document* doc = make("foo bar foo baz foo");
        show(doc);
        QCOMPARE(editor::replaceAllInPage(doc, form("foo", "qux")), std::string("替换成功 共替换3项"));
        QCOMPARE(doc->getText(), std::string("qux bar qux baz qux"));
        QTRY_COMPARE(shownText(*view), QStringLiteral("qux bar qux baz qux"));

        doc->gotoLine(1);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getCursorPosition().column")).toInt(), 0);
        type(QStringLiteral("abc"));
        doc->prependText("// head\n");
        QTRY_COMPARE(QString::fromStdString(doc->getText()), shownText(*view));
        const std::string text = doc->getText();
        QVERIFY2(text.find("// head\n") != std::string::npos, text.c_str());
        QVERIFY2(text.find("abc") != std::string::npos, text.c_str());
        QVERIFY2(text.find("qux bar qux baz qux") != std::string::npos, text.c_str());
        // Code that looks like a format string is put in as it is.
        doc->setText("var s = '%1 %2';\n");
        QTRY_COMPARE(shownText(*view), QStringLiteral("var s = '%1 %2';\n"));
    }

    void findAndGoToLineMoveThePagesSelection() {
        // Found before the module was ever shown: it opens with the match selected.
        Document* doc = make("alpha\nbeta\ngamma beta\n");
        editor::findInPage(doc, form("beta"));
        QCOMPARE(doc->selectedText(), std::string("beta"));
        QCOMPARE(doc->selectionRange().startRow, 2);
        show(doc);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getSelectedText()")).toString(), QStringLiteral("beta"));
        editor::findInPage(doc, form("beta"));
        QCOMPARE(doc->selectionRange().startRow, 3);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getCursorPosition().row")).toInt(), 2);

        ScriptedDialogs dialogs;
        dialogs.inputAnswers = {std::string("0"), std::string("3")};
        editor::goToLine(doc, dialogs);
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"请输入正确的行数"});
        QCOMPARE(doc->selectedText(), std::string("gamma beta"));
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getSelectedText()")).toString(),
                     QStringLiteral("gamma beta"));
        // A selection made in the page is the document's selection.
        pageValue(*view, QStringLiteral("editor.selection.setRange({start:{row:0,column:1},end:{row:0,column:4}});0"));
        QTRY_COMPARE(doc->selectedText(), std::string("lph"));
    }

    // Each module keeps its undo history, cursor and scroll position: switching away and
    // back changes none of them, and undo in one module leaves the other alone.
    void switchingKeepsCursorAndUndoPerModule() {
        std::string longCode;
        for (int i = 0; i < 300; ++i)
            longCode += "var line" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
        Document* a = make(longCode, "p_a.js");
        Document* b = make("var b = 2;\n", "p_b.js");
        show(a);
        a->gotoLine(200);
        QTRY_VERIFY(pageValue(*view, QStringLiteral("editor.session.getScrollTop()")).toDouble() > 0);
        type(QStringLiteral("A1"));
        QTRY_COMPARE(a->getLine(200), std::string("A1var line199 = 199;"));
        const double scrolled = pageValue(*view, QStringLiteral("editor.session.getScrollTop()")).toDouble();

        show(b);
        type(QStringLiteral("B2"));
        QTRY_COMPARE(b->getText(), std::string("B2var b = 2;\n"));

        show(a);
        QCOMPARE(pageValue(*view, QStringLiteral("editor.getCursorPosition().row")).toInt(), 199);
        QCOMPARE(pageValue(*view, QStringLiteral("editor.getCursorPosition().column")).toInt(), 2);
        QCOMPARE(pageValue(*view, QStringLiteral("editor.session.getScrollTop()")).toDouble(), scrolled);
        QCOMPARE(a->selectionRange(), (SelectionRange{200, 3, 200, 2}));
        pageValue(*view, QStringLiteral("editor.undo();0"));
        QTRY_COMPARE(a->getText(), longCode);
        QCOMPARE(b->getText(), std::string("B2var b = 2;\n"));
        QCOMPARE(view->sessionCount(), 2);

        // A closed module's session goes; the editor then shows no module until one is shown.
        a->close();
        QTRY_COMPARE(view->sessionCount(), 1);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getReadOnly()")).toBool(), true);
    }

    // A page that dies takes nothing with it: the page comes back with the module's text from
    // the document, and typing goes on.
    void aPageThatDiesComesBackFromTheDocuments() {
        Document* doc = make("var kept = 1;");
        show(doc);
        doc->appendText("\nvar more = 2;");
        QTRY_COMPARE(shownText(*view), QStringLiteral("var kept = 1;\nvar more = 2;"));
        view->webView()->setUrl(QUrl(QStringLiteral("chrome://crash")));
        QTRY_VERIFY_WITH_TIMEOUT(!view->pageReady(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(view->pageReady() && view->shownDocument() == doc, 60000);
        QTRY_COMPARE(shownText(*view), QStringLiteral("var kept = 1;\nvar more = 2;"));
        doc->gotoLine(1);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getCursorPosition().row")).toInt(), 0);
        type(QStringLiteral("q"));
        QTRY_COMPARE(doc->getText(), std::string("qvar kept = 1;\nvar more = 2;"));
    }

    // The page operations the program uses, on a module's document, shown or not.
    void positionsAreOneBasedAndRoundTrip() {
        Document* doc = make("line one\nline two\nthe third line\nfour\n");
        doc->select(3, 1, 3, 10);
        QCOMPARE(doc->selectionRange(), (SelectionRange{3, 1, 3, 10}));
        QCOMPARE(doc->selectedText(), std::string("the third "));
        // Columns past the end and the column 0 are clipped as the editor clips them.
        doc->select(4, 0, 4, 999999);
        QCOMPARE(doc->selectedText(), std::string("four"));
        QCOMPARE(doc->selectionRange(), (SelectionRange{4, 1, 4, 4}));
        show(doc);
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getSelectedText()")).toString(), QStringLiteral("four"));
    }

    void appendAndPrependText() {
        Document* empty = make("");
        QCOMPARE(empty->lineCount(), 1);
        empty->appendText("first");
        QCOMPARE(empty->getText(), std::string("first"));

        Document* open = make("ab");
        open->appendText("cd");
        QCOMPARE(open->getText(), std::string("abcd"));

        Document* closed = make("ab\n");
        show(closed);
        closed->appendText("cd");
        closed->prependText("// head\n");
        QCOMPARE(closed->getText(), std::string("// head\nab\ncd"));
        QTRY_COMPARE(shownText(*view), QStringLiteral("// head\nab\ncd"));
    }

    void setTextReplacesEverythingAndLeavesNothingSelected() {
        Document* doc = make("old");
        show(doc);
        doc->setText("new text\nsecond");
        QCOMPARE(doc->getText(), std::string("new text\nsecond"));
        QCOMPARE(doc->selectedText(), std::string());
        QCOMPARE(doc->selectionRange(), (SelectionRange{1, 1, 1, 0}));
        QTRY_COMPARE(shownText(*view), QStringLiteral("new text\nsecond"));
        QTRY_COMPARE(pageValue(*view, QStringLiteral("editor.getSelectedText()")).toString(), QString());
        doc->clear();
        QCOMPARE(doc->getText(), std::string());
        QTRY_COMPARE(shownText(*view), QString());
    }

    void replaceReportsOneAllOrNothing() {
        Document* doc = make("foo bar foo baz foo");
        QCOMPARE(editor::replaceAllInPage(doc, form("foo", "qux")), std::string("替换成功 共替换3项"));
        QCOMPARE(doc->getText(), std::string("qux bar qux baz qux"));
        QCOMPARE(editor::replaceAllInPage(doc, form("absent", "x")), std::string("替换失败"));
        QCOMPARE(editor::replaceOneInPage(doc, form("absent", "x")), std::string("替换失败"));
        QCOMPARE(doc->getText(), std::string("qux bar qux baz qux"));
        QCOMPARE(editor::replaceOneInPage(doc, form("bar", "BAR")), std::string("替换成功"));
        QCOMPARE(doc->getText(), std::string("qux BAR qux baz qux"));
    }

    void searchOptionsReachTheSearch() {
        Document* doc = make("Foo food foo f9o");
        QCOMPARE(editor::replaceAllInPage(doc, form("foo", "x", true)), std::string("替换成功 共替换2项"));
        QCOMPARE(doc->getText(), std::string("x food x f9o"));

        doc->setText("Foo foo FOO");
        QCOMPARE(editor::replaceAllInPage(doc, form("foo", "x", false, true)), std::string("替换成功 共替换1项"));

        doc->setText("f1o f2o fo");
        // Every match of the pattern, not only copies of the first match found.
        QCOMPARE(editor::replaceAllInPage(doc, form("f\\do", "n", false, false, true)), std::string("替换成功 共替换2项"));
        QCOMPARE(doc->getText(), std::string("n n fo"));
        // A broken pattern is no match, not a failure.
        QCOMPARE(editor::replaceAllInPage(doc, form("(", "n", false, false, true)), std::string("替换失败"));
        QCOMPARE(doc->getText(), std::string("n n fo"));
    }

    void linesAndLengthsCountCodePage936Bytes() {
        Document* doc = make("中文\nabc");
        QCOMPARE(doc->getLine(1), std::string("中文"));
        QCOMPARE(doc->lineLength(1), std::size_t(4));
        QCOMPARE(doc->textLength(), std::size_t(8));
        QCOMPARE(doc->utf8Length(), std::size_t(10));
        show(doc);
        type(QStringLiteral("字"));
        QTRY_COMPARE(doc->getLine(1), std::string("字中文"));
    }
};

static apptest::Register<EditorViewTest> registration;
#include "EditorViewTest.moc"
