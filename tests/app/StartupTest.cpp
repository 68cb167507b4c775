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
        QVERIFY(page.find(">{\"fontSize\":20}</script>") != std::string::npos);
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

    // The size reaches the page as JSON data; a value that is not a whole number in range
    // (a hand-edited file, an attack on the page) gives the default and changes no code.
    void fontSizeReachesThePageAsDataOnly() {
        const std::pair<const char*, int> cases[] = {
            {"16", 16},
            {"014", 14},
            {"72", 72},
            {"14px;}</style><script>document.title='owned'</script>", 20},
            {"14px", 20},
            {"16</script><script>alert(1)//", 20},
            {"7", 20},
            {"73", 20},
            {"-14", 20},
            {"1e1", 20},
            {"", 20},
            {"16 px", 20},
        };
        for (const auto& [value, size] : cases) {
            ini.write("code", "fontszie", value);
            app::deployEditorAssets(ini);
            const std::string page = apptest::readBytes(app::editorPagePath());
            const std::string block = "<script type=\"application/json\" id=\"quillbox-settings\">{\"fontSize\":" +
                                      std::to_string(size) + "}</script>";
            QVERIFY2(page.find(block) != std::string::npos, value);
            QVERIFY2(page.find("owned") == std::string::npos && page.find("alert") == std::string::npos, value);
            QVERIFY(page.find("editor.setFontSize(__settings.fontSize)") != std::string::npos);
        }
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
