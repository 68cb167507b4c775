#include "app/Startup.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "core/crash/CrashHandler.h"
#include "core/config/Settings.h"
#include "core/net/Addresses.h"
#include "core/platform/Assets.h"
#include "core/platform/Dialogs.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/platform/Shell.h"

namespace quillbox::app {

namespace fs = std::filesystem;

namespace {

using addresses::kBrowserDownloadPage;
// The editor page's settings block: its content is replaced by the settings as JSON.
const char* const kSettingsOpen = "<script type=\"application/json\" id=\"quillbox-settings\">";
const char* const kSettingsClose = "</script>";

std::vector<std::string>& stages() {
    static std::vector<std::string> list;
    return list;
}

// The page with its settings block holding `settings`; empty when the page has no block.
std::string withSettings(std::string page, const std::string& settings) {
    const std::size_t open = page.find(kSettingsOpen);
    if (open == std::string::npos)
        return {};
    const std::size_t start = open + std::string_view(kSettingsOpen).size();
    const std::size_t close = page.find(kSettingsClose, start);
    if (close == std::string::npos)
        return {};
    page.replace(start, close - start, settings);
    return page;
}

}  // namespace

std::string editorDirectory() { return paths::join(paths::cacheDirectory(), "QUILLBOX_HTML"); }

std::string editorPagePath() { return paths::join(editorDirectory(), "QUILLBOX_666BYZORVAN.html"); }

const std::vector<EditorAsset>& editorAssets() {
    static const std::vector<EditorAsset> list = {
        {"Editor_files/ace.js.下载", "editor/ace.js"},
        {"Editor_files/ext-language_tools.js.下载", "editor/ext-language_tools.js"},
        {"Editor_files/javascript.js.下载", "editor/snippets/javascript.js"},
        {"Editor_files/mode-javascript.js.下载", "editor/mode-javascript.js"},
        {"Editor_files/text.js.下载", "editor/snippets/text.js"},
        {"Editor_files/theme-monokai.js.下载", "editor/theme-monokai.js"},
    };
    return list;
}

bool deployEditorAssets(const config::IniFile& settings) {
    const std::string root = editorDirectory();
    std::error_code error;
    fs::create_directories(fs::path(root) / "Editor_files", error);
    bool ok = true;
    if (auto page = assets::find("editor/QUILLBOX_666BYZORVAN.html")) {
        std::string problem;
        const int size = config::editorFontSize(settings, &problem);
        if (!problem.empty())
            std::cerr << "quillbox: " << problem << '\n';
        const std::string text = withSettings(std::string(*page), config::editorPageSettings(size));
        ok = !text.empty() && files::writeAtomically(editorPagePath(), text) && ok;
    } else {
        ok = false;
    }
    for (const EditorAsset& asset : editorAssets()) {
        auto bytes = assets::find(asset.assetName);
        ok = bytes && files::writeAtomically(paths::join(root, asset.fileName), std::string(*bytes)) && ok;
    }
    settings.write("code", "init", "false");
    return ok;
}

std::string missingBuiltInFiles() {
    std::vector<std::string> missing = assets::missingOrEmpty(assets::coreAssets());
    for (std::string_view name : {std::string_view("editor/QUILLBOX_666BYZORVAN.html")})
        if (auto bytes = assets::find(name); !bytes || bytes->empty())
            missing.emplace_back(name);
    for (const EditorAsset& asset : editorAssets())
        if (auto bytes = assets::find(asset.assetName); !bytes || bytes->empty())
            missing.emplace_back(asset.assetName);
    return assets::missingAssetsMessage(missing);
}

bool deployEditorAssetsIfNeeded(const config::IniFile& settings) {
    const bool newVersion = settings.read("update", "ver", "") != kVersion;
    if (newVersion || settings.read("code", "init", "false") == "true") {
        deployEditorAssets(settings);
        if (newVersion)
            settings.write("update", "ver", kVersion);
        return true;
    }
    const fs::path root = editorDirectory();
    std::error_code error;
    const bool complete = fs::is_directory(root, error) && fs::is_directory(root / "Editor_files", error) &&
                          fs::exists(root / "Editor_files" / "ace.js.下载", error);
    if (complete)
        return false;
    deployEditorAssets(settings);
    return true;
}

bool checkBrowser(const std::string& userAgent, Dialogs& dialogs, Shell& shell) {
    if (userAgent.find("QtWebEngine/") != std::string::npos)
        return true;
    const MessageAnswer answer =
        dialogs.messageBox("系统需安装IE9以上环境,才能正常使用,是否前往下载？当前UA:(" + userAgent + ")", "警告",
                           MessageIcon::Warning, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes) {
        shell.open(kBrowserDownloadPage);
        dialogs.messageBox("确保安装完毕后,重启软件即可正常使用", "警告", MessageIcon::Warning, MessageButtons::Ok);
    }
    return false;
}

void recordStage(const std::string& stage, bool secondLine) {
    auto& list = stages();
    if (!secondLine)
        list.clear();
    list.push_back(stage);
    crash::recordStage(stage, secondLine);
}

const std::vector<std::string>& recordedStages() { return stages(); }

}  // namespace quillbox::app
