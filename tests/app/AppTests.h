#pragma once
// Registration of the Qt Test classes, and helpers they share.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillbox {
class Dialogs;
class Shell;
namespace app {
class MainWindow;
}
namespace config {
class IniFile;
}
}  // namespace quillbox

// A skip, or a failure where every test must run (QUILLBOX_NO_SKIPS set, as in CI).
#define APPTEST_SKIP(reason)                               \
    do {                                                   \
        if (qEnvironmentVariableIsSet("QUILLBOX_NO_SKIPS")) \
            QFAIL(reason);                                 \
        QSKIP(reason);                                     \
    } while (0)

namespace quillbox::apptest {

std::vector<std::function<std::unique_ptr<QObject>()>>& registry();

template <typename T>
struct Register {
    Register() { registry().push_back([] { return std::make_unique<T>(); }); }
};

// A directory emptied for one test.
std::string freshDir(const std::string& name);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Opens a main window as the program does at start, with the test's dialogs and shell in place
// of the real ones; false when the window was not shown in time.
bool openWindow(std::unique_ptr<app::MainWindow>& window, const config::IniFile& ini, Dialogs& dialogs, Shell& shell);

}  // namespace quillbox::apptest
