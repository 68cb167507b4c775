#include "AppTests.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QTest>

#include "app/MainWindow.h"
#include "core/config/IniFile.h"

namespace quillbox::apptest {

std::vector<std::function<std::unique_ptr<QObject>()>>& registry() {
    static std::vector<std::function<std::unique_ptr<QObject>()>> list;
    return list;
}

std::string freshDir(const std::string& name) {
    const char* root = std::getenv("QUILLBOX_TEST_ROOT");
    const std::filesystem::path dir = std::filesystem::path(root ? root : "/tmp") / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

bool openWindow(std::unique_ptr<app::MainWindow>& window, const config::IniFile& ini, Dialogs& dialogs, Shell& shell) {
    window = std::make_unique<app::MainWindow>(ini);
    window->setDialogs(&dialogs);
    window->setShell(&shell);
    window->initialise();
    window->applySettingsAtStart();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

}  // namespace quillbox::apptest
