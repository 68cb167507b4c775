// The engine-library check the program makes at start.
#include <filesystem>
#include <system_error>

#include "core/engine/ChakraCore.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Paths.h"
#include "core/platform/Shell.h"
#include "core/platform/FsPath.h"

namespace quillbox::engine {

bool engineLibraryPresent(const std::string& directory) {
    std::error_code ec;
    return std::filesystem::is_regular_file(files::fsPath(paths::join(directory, kEngineLibraryName)), ec);
}

bool engineLibraryPresent() {
    return engineLibraryPresent(paths::programDirectory());
}

bool checkEngineLibrary(Dialogs& dialogs, Shell& shell, const std::string& directory) {
    if (engineLibraryPresent(directory))
        return true;
    if (dialogs.messageBox(kEngineMissingText, kEngineMissingTitle, MessageIcon::Warning, MessageButtons::YesNo) ==
        MessageAnswer::Yes) {
        shell.open(kEngineDownloadUrl);
        dialogs.messageBox(kEngineDownloadHintText, kEngineDownloadHintTitle, MessageIcon::Warning,
                           MessageButtons::Ok);
    }
    return false;
}

bool checkEngineLibrary(Dialogs& dialogs, Shell& shell) {
    return checkEngineLibrary(dialogs, shell, paths::programDirectory());
}

}  // namespace quillbox::engine
