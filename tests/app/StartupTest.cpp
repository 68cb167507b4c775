// Start-up: which start rewrites the editor assets, the font size in the page, and the
// browser check.
#include <QTest>
#include <filesystem>

#include "AppTests.h"
#include "app/Startup.h"
#include "core/config/Settings.h"
#include "core/platform/Assets.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Shell.h"

using namespace quillbox;
namespace fs = std::filesystem;

namespace {

const char* const kMarker = "<!-- left by an earlier start -->";

void markPage() { apptest::writeBytes(app::editorPagePath(), kMarker); }
bool pageRewritten() { return apptest::readBytes(app::editorPagePath()) != kMarker; }

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
    config::IniFile ini{""};

private slots:
    void init() {
        setenv("XDG_CACHE_HOME", apptest::freshDir("cache").c_str(), 1);
        ini = config::IniFile(apptest::freshDir("home") + "/Quillbox_config.ini");
    }

    void firstStartWritesEveryAssetAndRecordsTheVersion() {
        QVERIFY(app::deployEditorAssetsIfNeeded(ini));
        const std::string page = apptest::readBytes(app::editorPagePath());
        QVERIFY(page.find("editor.setFontSize(20)") != std::string::npos);
        QVERIFY(page.find("(window.fontsize||14)") == std::string::npos);
        for (const auto& asset : app::editorAssets()) {
            const std::string path = app::editorDirectory() + "/" + asset.fileName;
            QVERIFY2(fs::exists(path), path.c_str());
            QCOMPARE(apptest::readBytes(path), std::string(*assets::find(asset.assetName)));
        }
        QVERIFY(fs::exists(app::editorDirectory() + "/Editor_files/ace.js.下载"));
        QCOMPARE(ini.read("update", "ver", ""), std::string("1.30"));
        QCOMPARE(ini.read("code", "init", ""), std::string("false"));
    }

    void sameVersionWithEveryPathPresentRewritesNothing() {
        app::deployEditorAssetsIfNeeded(ini);
        markPage();
        QVERIFY(!app::deployEditorAssetsIfNeeded(ini));
        QVERIFY(!pageRewritten());
    }

    void missingAceFileRewritesAllAssetsButNotTheVersion() {
        app::deployEditorAssetsIfNeeded(ini);
        const std::string before = apptest::readBytes(ini.path());
        markPage();
        fs::remove(app::editorDirectory() + "/Editor_files/ace.js.下载");
        QVERIFY(app::deployEditorAssetsIfNeeded(ini));
        QVERIFY(pageRewritten());
        QVERIFY(fs::exists(app::editorDirectory() + "/Editor_files/ace.js.下载"));
        // Only init ("false" again) was written: the settings file reads as before.
        QCOMPARE(apptest::readBytes(ini.path()), before);
    }

    void olderVersionOrInitRequestRewrites() {
        app::deployEditorAssetsIfNeeded(ini);
        markPage();
        ini.write("update", "ver", "1.29");
        QVERIFY(app::deployEditorAssetsIfNeeded(ini));
        QVERIFY(pageRewritten());
        QCOMPARE(ini.read("update", "ver", ""), std::string("1.30"));

        markPage();
        ini.write("code", "init", "true");
        QVERIFY(app::deployEditorAssetsIfNeeded(ini));
        QVERIFY(pageRewritten());
        QCOMPARE(ini.read("code", "init", ""), std::string("false"));
    }

    void fontSizeReplacesTheFontExpression() {
        ini.write("code", "fontszie", "16");
        app::deployEditorAssets(ini);
        const std::string page = apptest::readBytes(app::editorPagePath());
        QVERIFY(page.find("editor.setFontSize(16)") != std::string::npos);
        QVERIFY(page.find("window.fontsize") == std::string::npos);
    }

    void browserCheckWarnsOnlyOutsideQtWebEngine() {
        ScriptedDialogs dialogs;
        RecordingShell shell;
        QVERIFY(app::checkBrowser("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
                                  "QtWebEngine/6.4.2 Chrome/102.0.5005.177 Safari/537.36",
                                  dialogs, shell));
        QVERIFY(dialogs.records.empty());

        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        QVERIFY(!app::checkBrowser("Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1)", dialogs, shell));
        QCOMPARE(dialogs.messages()[0],
                 std::string("系统需安装IE9以上环境,才能正常使用,是否前往下载？当前UA:(Mozilla/4.0 (compatible; MSIE 8.0; "
                             "Windows NT 6.1))"));
        QCOMPARE(dialogs.messages()[1], std::string("确保安装完毕后,重启软件即可正常使用"));
        QCOMPARE(shell.opened.size(), std::size_t(1));
    }
};

static apptest::Register<StartupTest> registration;
#include "StartupTest.moc"
