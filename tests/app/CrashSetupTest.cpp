// The desktop's command line around the crash handler: --fault KIND is taken out of the
// files to import.
#include <QTest>

#include "AppTests.h"
#include "app/CrashSetup.h"

using namespace quillbox;

class CrashSetupTest : public QObject {
    Q_OBJECT

private slots:
    void theFaultOptionIsNoFileToImport() {
        struct Case {
            QStringList arguments;
            std::string fault;
            QStringList files;
        };
        const Case cases[] = {
            {{"a.js"}, "", {"a.js"}},
            {{"--fault", "write"}, "write", {}},
            {{"a.js", "--fault", "thread-write", "b.js"}, "thread-write", {"a.js", "b.js"}},
            {{"a.js", "--fault"}, "", {"a.js"}},
        };
        for (const Case& c : cases) {
            const app::LaunchArguments parsed = app::launchArguments(c.arguments);
            QCOMPARE(parsed.fault, c.fault);
            QCOMPARE(parsed.files, c.files);
        }
    }
};

static apptest::Register<CrashSetupTest> registration;

#include "CrashSetupTest.moc"
