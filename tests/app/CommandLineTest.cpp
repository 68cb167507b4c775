// The desktop program's command line: files to open, the user's --help and --version, and
// the testers' --fault and --grab; a bad option ends with status 2 and opens nothing.
#include <QTest>
#include <sstream>

#include "AppTests.h"
#include "app/CommandLine.h"

using namespace quillbox;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void filesAndOptions() {
        struct Case {
            std::vector<std::string> args;
            std::vector<std::string> files;
            std::string fault;
            std::string grab;
        };
        const Case cases[] = {
            {{"a.js"}, {"a.js"}, "", ""},
            {{"--fault", "write"}, {}, "write", ""},
            {{"a.js", "--fault", "thread-write", "b.js"}, {"a.js", "b.js"}, "thread-write", ""},
            {{"--grab", "shot.png", "a.js"}, {"a.js"}, "", "shot.png"},
            // after "--" everything is a file, even a name that starts with a dash
            {{"--", "--fault", "-x.js"}, {"--fault", "-x.js"}, "", ""},
            {{"-"}, {"-"}, "", ""},
        };
        for (const Case& c : cases) {
            std::ostringstream out, err;
            const app::CommandLineResult parsed = app::parseCommandLine(c.args, out, err);
            QVERIFY(parsed.run.has_value());
            QCOMPARE(parsed.run->files, c.files);
            QCOMPARE(parsed.run->fault, c.fault);
            QCOMPARE(parsed.run->grabFile, c.grab);
            QVERIFY(err.str().empty());
        }
    }

    void helpAndVersionEndAtOnce() {
        std::ostringstream out, err;
        app::CommandLineResult parsed = app::parseCommandLine({"a.js", "--version"}, out, err);
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitStatus, 0);
        QCOMPARE(out.str(), std::string("quillbox 1.30\n"));

        out.str("");
        parsed = app::parseCommandLine({"--help"}, out, err);
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitStatus, 0);
        for (const char* option : {"--version", "--fault KIND", "--grab FILE", "FILE"})
            QVERIFY2(out.str().find(option) != std::string::npos, option);
    }

    void badUsageIsStatusTwo() {
        const std::vector<std::vector<std::string>> cases = {
            {"--bogus"}, {"a.js", "--fault"}, {"--fault", "melt"}, {"--grab"},
        };
        for (const auto& args : cases) {
            std::ostringstream out, err;
            const app::CommandLineResult parsed = app::parseCommandLine(args, out, err);
            QVERIFY(!parsed.run);
            QCOMPARE(parsed.exitStatus, 2);
            QVERIFY(err.str().find("quillbox --help") != std::string::npos);
        }
    }
};

static apptest::Register<CommandLineTest> registration;

#include "CommandLineTest.moc"
