#pragma once
// What happens between process start and a window ready for work: the engine-library
// check, the editor assets under the cache directory, and the start-up stage labels that
// a crash report names.
#include "core/config/IniFile.h"
#include "core/config/Version.h"
#include <string>
#include <vector>

namespace quillbox {
class Dialogs;
class Shell;
}

namespace quillbox::app {

constexpr const char* kVersion = config::kVersion;

// $XDG_CACHE_HOME/QUILLBOX_HTML and the page file inside it.
std::string editorDirectory();
std::string editorPagePath();

// The asset files: name under QUILLBOX_HTML and the embedded asset that fills it.
struct EditorAsset {
    const char* fileName;
    const char* assetName;
};
const std::vector<EditorAsset>& editorAssets();

// Writes the page (with the configured font size in place of "(window.fontsize||14)") and
// the six Ace files, then `[code] init` = "false". False when a file could not be written.
bool deployEditorAssets(const config::IniFile& settings);

// The start-up error for built-in files that are missing or empty (the core's and the
// editor page's); "" when every one is there.
std::string missingBuiltInFiles();

// The start-up rule: deploy when `[update] ver` is not "1.30" (and then record "1.30"),
// when `[code] init` is "true", or when one of the three checked paths is missing.
// Returns whether the assets were written.
bool deployEditorAssetsIfNeeded(const config::IniFile& settings);

// The browser check of each editor page: true when the page runs in Qt WebEngine. When
// not, warns with the agent text and offers the download page.
bool checkBrowser(const std::string& userAgent, Dialogs& dialogs, Shell& shell);

// Start-up stages, recorded for the crash report.
void recordStage(const std::string& stage, bool secondLine = false);
const std::vector<std::string>& recordedStages();

}  // namespace quillbox::app
