// Runs every Qt Test class of the desktop program in one process (Qt WebEngine starts
// once), each test process with its own empty settings and cache directories.
#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <string>

#include "AppTests.h"

int main(int argc, char** argv) {
    std::string base = "/tmp/quillbox-apptest-XXXXXX";
    if (char* dir = mkdtemp(base.data())) {
        const std::string root = dir;
        setenv("QUILLBOX_HOME", (root + "/home").c_str(), 1);
        setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
        setenv("XDG_DESKTOP_DIR", (root + "/desktop").c_str(), 1);
        setenv("QUILLBOX_TEST_ROOT", root.c_str(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 0);
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    int failures = 0;
    // QUILLBOX_APPTEST_CLASS=Name runs only that test class.
    const char* only = std::getenv("QUILLBOX_APPTEST_CLASS");
    for (auto& make : quillbox::apptest::registry()) {
        std::unique_ptr<QObject> test = make();
        if (only && *only && std::string(test->metaObject()->className()) != only)
            continue;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    if (const char* root = std::getenv("QUILLBOX_TEST_ROOT"); root && !std::getenv("QUILLBOX_KEEP_TEST_FILES"))
        std::system(("rm -rf '" + std::string(root) + "'").c_str());
    return failures == 0 ? 0 : 1;
}
