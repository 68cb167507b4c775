// Editor pages over Ace: text in and out, 1-based positions, byte counts, the code given
// at creation, and find, replace and go to line run against a real page.
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <memory>

#include "AppTests.h"
#include "app/AcePage.h"
#include "core/editor/FindReplace.h"
#include "app/Startup.h"
#include "core/config/IniFile.h"
#include "core/platform/Dialogs.h"

using namespace quillbox;
using quillbox::app::AcePage;

namespace {

editor::FindReplaceForm form(const std::string& needle, const std::string& replacement = "", bool wholeWord = false,
                             bool caseSensitive = false, bool regExp = false) {
    return {needle, replacement, wholeWord, caseSensitive, regExp};
}

}  // namespace

class AcePageTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QWidget> host;

    std::unique_ptr<AcePage> make(const std::string& code, const QUrl& url = {}) {
        auto page = std::make_unique<AcePage>(host.get(),
                                              url.isEmpty() ? QUrl::fromLocalFile(QString::fromStdString(app::editorPagePath())) : url,
                                              "demo_main.js", code);
        page->view()->resize(600, 400);
        page->setVisible(true);
        return page;
    }

private slots:
    void initTestCase() {
        app::deployEditorAssets(config::IniFile(apptest::freshDir("acehome") + "/Quillbox_config.ini"));
        host = std::make_unique<QWidget>();
        host->resize(600, 400);
        host->show();
    }
    void cleanupTestCase() { host.reset(); }

    // Typing in the page itself, not through the program, moves the page's revision, so the
    // session store knows to read it; reading alone does not.
    void typingInThePageMovesItsRevision() {
        auto page = make("var a = 1;");
        QVERIFY(page->ensureEditor());
        std::string text;
        QVERIFY(page->readText(text));
        QCOMPARE(text, std::string("var a = 1;"));
        QTest::qWait(200);  // notices of the start-up changes arrive
        const std::uint64_t before = page->revision();
        page->getText();
        QTest::qWait(200);
        QCOMPARE(page->revision(), before);
        for (const char* typed : {"x", "y"}) {
            const std::uint64_t seen = page->revision();
            page->view()->page()->runJavaScript(QStringLiteral("editor.insert('%1')").arg(QLatin1String(typed)));
            QTRY_VERIFY(page->revision() != seen);
            QVERIFY(page->readText(text));
        }
        QCOMPARE(text, std::string("xyvar a = 1;"));
    }

    void codeGivenAtCreationIsTheFirstText() {
        // Asked at once, before the page has had a chance to load.
        auto page = make("var a = 1;\nfunction f() { return a; }");
        QCOMPARE(page->getText(), std::string("var a = 1;\nfunction f() { return a; }"));
        QCOMPARE(page->lineCount(), 2);
        QVERIFY(QString::fromStdString(page->name()) == QStringLiteral("demo_main.js"));
        QVERIFY(page->userAgent().contains(QStringLiteral("QtWebEngine/")));
    }

    // A page that is not shown still answers at once (a hidden browser view would not).
    void hiddenPagesAnswerToo() {
        auto a = make("var a = 1;");
        a->setVisible(false);
        auto b = make("var b = 2;");
        b->setVisible(false);
        auto c = make("var c = 3;");
        c->setVisible(false);
        QCOMPARE(b->getText(), std::string("var b = 2;"));
        QCOMPARE(a->getText(), std::string("var a = 1;"));
        QCOMPARE(c->getText(), std::string("var c = 3;"));
    }

    void positionsAreOneBasedAndRoundTrip() {
        auto page = make("line one\nline two\nthe third line\nfour\n");
        page->select(3, 1, 3, 10);
        QCOMPARE(page->selectionRange(), (SelectionRange{3, 1, 3, 10}));
        QCOMPARE(page->selectedText(), std::string("the third "));
        // Columns past the end and the column 0 are clipped by the editor.
        page->select(4, 0, 4, 999999);
        QCOMPARE(page->selectedText(), std::string("four"));
        QCOMPARE(page->selectionRange(), (SelectionRange{4, 1, 4, 4}));
    }

    void linesAndLengthsCountCodePage936Bytes() {
        auto page = make("中文\nabc");
        QCOMPARE(page->getLine(1), std::string("中文"));
        QCOMPARE(page->lineLength(1), std::size_t(4));
        QCOMPARE(page->getLine(2), std::string("abc"));
        QCOMPARE(page->textLength(), std::size_t(8));
        QCOMPARE(page->utf8Length(), std::size_t(10));
    }

    void appendAndPrependText() {
        auto empty = make("");
        QCOMPARE(empty->lineCount(), 1);
        empty->appendText("first");
        QCOMPARE(empty->getText(), std::string("first"));

        auto open = make("ab");
        open->appendText("cd");
        QCOMPARE(open->getText(), std::string("abcd"));

        auto closed = make("ab\n");
        closed->appendText("cd");
        closed->prependText("// head\n");
        QCOMPARE(closed->getText(), std::string("// head\nab\ncd"));
    }

    void setTextReplacesEverythingAndLeavesNothingSelected() {
        auto page = make("old");
        page->setText("new text\nsecond");
        QCOMPARE(page->getText(), std::string("new text\nsecond"));
        QCOMPARE(page->selectedText(), std::string());
        page->clear();
        QCOMPARE(page->getText(), std::string());
    }

    void replaceReportsOneAllOrNothing() {
        auto page = make("foo bar foo baz foo");
        QCOMPARE(editor::replaceAllInPage(page.get(), form("foo", "qux")), std::string("替换成功 共替换3项"));
        QCOMPARE(page->getText(), std::string("qux bar qux baz qux"));
        QCOMPARE(editor::replaceAllInPage(page.get(), form("absent", "x")), std::string("替换失败"));
        QCOMPARE(editor::replaceOneInPage(page.get(), form("absent", "x")), std::string("替换失败"));
        QCOMPARE(page->getText(), std::string("qux bar qux baz qux"));
        QCOMPARE(editor::replaceOneInPage(page.get(), form("bar", "BAR")), std::string("替换成功"));
        QCOMPARE(page->getText(), std::string("qux BAR qux baz qux"));
    }

    void searchOptionsReachTheEditor() {
        auto page = make("Foo food foo f9o");
        QCOMPARE(editor::replaceAllInPage(page.get(), form("foo", "x", true)), std::string("替换成功 共替换2项"));
        QCOMPARE(page->getText(), std::string("x food x f9o"));

        page->setText("Foo foo FOO");
        QCOMPARE(editor::replaceAllInPage(page.get(), form("foo", "x", false, true)), std::string("替换成功 共替换1项"));

        page->setText("f1o f2o fo");
        // Every match of the pattern, not only copies of the first match found.
        QCOMPARE(editor::replaceAllInPage(page.get(), form("f\\do", "n", false, false, true)), std::string("替换成功 共替换2项"));
        QCOMPARE(page->getText(), std::string("n n fo"));
        // A broken pattern is no match, not a failure of the page.
        QCOMPARE(editor::replaceAllInPage(page.get(), form("(", "n", false, false, true)), std::string("替换失败"));
        QCOMPARE(page->getText(), std::string("n n fo"));
    }

    void findSelectsTheNextMatch() {
        auto page = make("alpha\nbeta\ngamma beta\n");
        editor::findInPage(page.get(), form("beta"));
        QCOMPARE(page->selectedText(), std::string("beta"));
        QCOMPARE(page->selectionRange().startRow, 2);
    }

    void goToLineAsksAgainUntilTheLineIsValid() {
        auto page = make("1\n2\n3\n4\nfifth line\n6\n7\n8");
        ScriptedDialogs dialogs;
        dialogs.inputAnswers = {std::string("0"), std::string("5")};
        editor::goToLine(page.get(), dialogs);
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"请输入正确的行数"});
        QCOMPARE(dialogs.records.front().text, std::string("请输入跳转行数"));
        QCOMPARE(dialogs.records.front().title, std::string("8"));  // the last line is proposed
        QCOMPARE(page->selectedText(), std::string("fifth line"));
        QCOMPARE(page->selectionRange().startRow, 5);

        ScriptedDialogs cancelled;  // no answers: the box is cancelled
        page->select(1, 1, 1, 1);
        editor::goToLine(page.get(), cancelled);
        QCOMPARE(page->selectionRange(), (SelectionRange{1, 1, 1, 1}));
    }

    void codeSurvivesAPageThatNeverLoads() {
        const std::string missing = apptest::freshDir("nopage") + "/missing.html";
        auto page = make("keep me", QUrl::fromLocalFile(QString::fromStdString(missing)));
        QCOMPARE(page->getText(), std::string("keep me"));
        page->setText("still kept");
        QCOMPARE(page->getText(), std::string("still kept"));
        QCOMPARE(page->lineCount(), 1);
    }
};

static apptest::Register<AcePageTest> registration;
#include "AcePageTest.moc"
