// The stop dialog of long runs: nothing appears for a quick run, the dialog appears for a
// slow one and goes away with it or with the program; the dialog gone in any way but with
// the run stops the engine.
#include <QProcess>
#include <QTest>
#include <atomic>
#include <filesystem>

#include "AppTests.h"
#include "app/StopWatch.h"
#include "core/platform/Paths.h"

using namespace quillbox;

class StopWatchTest : public QObject {
    Q_OBJECT
private slots:
    void quickRunShowsNothing() {
        std::atomic<int> stops{0};
        bool shown = true;
        {
            app::StopWatch watch([&] { ++stops; }, 60000);
            QTest::qWait(50);
            shown = watch.dialogShown();
        }
        QVERIFY(!shown);
        QCOMPARE(stops.load(), 0);
    }

    void slowRunShowsTheDialogAndEndsItWithoutStopping() {
        if (!std::filesystem::exists(paths::join(paths::programDirectory(), "quillbox")))
            APPTEST_SKIP("the quillbox program is not built beside the tests");
        std::atomic<int> stops{0};
        auto watch = std::make_unique<app::StopWatch>([&] { ++stops; }, 10);
        QTRY_VERIFY_WITH_TIMEOUT(watch->dialogShown(), 20000);
        watch.reset();  // the run ended: the dialog is closed, the engine left alone
        QCOMPARE(stops.load(), 0);
    }

    void aDialogClosedAnyWayStops() {
        const std::string program = paths::join(paths::programDirectory(), "quillbox");
        if (!std::filesystem::exists(program))
            APPTEST_SKIP("the quillbox program is not built beside the tests");
        std::atomic<int> stops{0};
        auto watch = std::make_unique<app::StopWatch>([&] { ++stops; }, 10);
        QTRY_VERIFY_WITH_TIMEOUT(watch->dialogShown(), 20000);
        // Closed by the window manager or killed: the run must not be left unstoppable.
        QProcess::execute(QStringLiteral("pkill"),
                          {QStringLiteral("-f"), QString::fromStdString(program) + QStringLiteral(" --stop-dialog")});
        QTRY_COMPARE_WITH_TIMEOUT(stops.load(), 1, 20000);
        QVERIFY(watch->stopRequested());
    }

    void theDialogEndsWithTheProgramThatStartedIt() {
        const std::string program = paths::join(paths::programDirectory(), "quillbox");
        if (!std::filesystem::exists(program))
            APPTEST_SKIP("the quillbox program is not built beside the tests");
        // The program's end, however abrupt, closes its end of the dialog's input.
        QProcess dialog;
        dialog.start(QString::fromStdString(program), {QString::fromLatin1(app::kStopDialogSwitch)});
        QVERIFY(dialog.waitForStarted(20000));
        QVERIFY(!dialog.waitForFinished(1500));  // it stays while the program lives
        dialog.closeWriteChannel();
        QVERIFY(dialog.waitForFinished(20000));
        QCOMPARE(dialog.exitCode(), 1);  // not a stop
    }
};

static apptest::Register<StopWatchTest> registration;
#include "StopWatchTest.moc"
