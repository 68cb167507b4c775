// The capture page in the Chromium of Qt WebEngine: opened offscreen, it gives a profile
// that the browser environment takes, with this browser's own answers in it.
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <memory>

#include "AppTests.h"
#include "core/engine/BrowserEnvironment.h"
#include "core/engine/JScript.h"
#include "core/json/JsonDocument.h"

using namespace quillbox;

namespace {

QVariant pageValue(QWebEnginePage& page, const QString& script) {
    QVariant result;
    bool done = false;
    page.runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    for (int i = 0; i < 600 && !done; ++i)
        QTest::qWait(50);
    return result;
}

}  // namespace

class CapturePageTest : public QObject {
    Q_OBJECT

private slots:
    void theBrowserGivesAProfileTheEnvironmentTakes() {
        const std::string path = apptest::freshDir("capture") + "/" + engine::kCapturePageFileName;
        std::string error;
        QVERIFY2(engine::writeCapturePage(path, &error), error.c_str());

        // Shown, as a browser's page is: a page without a view has no screen.
        QWebEngineView view;
        view.resize(800, 600);
        view.show();
        QWebEnginePage& page = *view.page();
        bool loaded = false;
        connect(&page, &QWebEnginePage::loadFinished, [&](bool ok) { loaded = ok; });
        page.load(QUrl::fromLocalFile(QString::fromStdString(path)));
        QTRY_VERIFY_WITH_TIMEOUT(loaded, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!pageValue(page, QStringLiteral("window.quillboxProfile || ''")).toString().isEmpty(),
                                 30000);
        const std::string profile =
            pageValue(page, QStringLiteral("window.quillboxProfile")).toString().toStdString();
        if (const QByteArray out = qgetenv("QUILLBOX_CAPTURE_OUT"); !out.isEmpty())
            apptest::writeBytes(out.toStdString(), profile);

        QVERIFY2(engine::checkBrowserProfile(profile, &error), error.c_str());
        JsonDocument doc;
        QVERIFY(doc.parse(profile, true).ok);
        // This browser's answers: its user agent, its screen, its canvas drawing.
        QCOMPARE(doc.string("navigator.userAgent"), page.profile()->httpUserAgent().toStdString());
        QCOMPARE(doc.kind("navigator.plugins"), JsonKind::Array);
        QVERIFY(doc.number("screen.width") > 0);
        QVERIFY(doc.string("canvas.dataURL").rfind("data:image/png;base64,", 0) == 0);
        QVERIFY(doc.string("canvas.dataURL") != doc.string("canvas.blankDataURL"));
        QCOMPARE(doc.kind("document.characterSet"), JsonKind::String);

        // The environment, given it, answers with it (the native engine needs nothing built).
        engine::JScript native;
        native.Reset();
        QVERIFY(native.ControlObject()->AddCode(engine::browserModuleText(profile)));
        QCOMPARE(native.Eval("navigator.userAgent").text(), doc.string("navigator.userAgent"));
        QCOMPARE(native.Eval("String(screen.width)").text(), doc.text("screen.width"));
        QCOMPARE(native.Eval("var c = document.createElement('canvas'); c.getContext('2d').fillRect(0, 0, 1, 1);"
                             " c.toDataURL()").text(),
                 doc.string("canvas.dataURL"));
    }
};

static apptest::Register<CapturePageTest> registration;
#include "CapturePageTest.moc"
