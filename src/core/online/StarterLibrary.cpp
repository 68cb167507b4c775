#include "core/online/StarterLibrary.h"

#include <filesystem>
#include <system_error>

#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/text/Text.h"
#include "core/platform/FsPath.h"

namespace quillbox::online {

const std::vector<StarterModule>& starterModules() {
    static const std::vector<StarterModule> modules = {
        {"CryptoJS", "crypto-js.js", "crypto-js 4.0.0", true, true},
        {"MD5", "md5.js", "blueimp-md5 2.19.0", true, true},
        {"Base64", "base64.js", "js-base64 2.6.4", true, true},
        {"RSA_JSEncrypt(ChakraCore)", "jsencrypt.js", "jsencrypt 3.5.4", false, true},
        {"Inflate_pako", "pako_inflate.js", "pako 1.0.11", true, true},
    };
    return modules;
}

std::string starterIndexText() {
    JsonDocument index;
    index.create("{}", true);
    index.setMember("", "ver", JsonDocument::makeString(kStarterVersion));
    JsonDocument data = JsonDocument::makeObject();
    for (const StarterModule& module : starterModules())
        data.setMember("", module.displayName, JsonDocument::makeString(module.fileName));
    index.setMember("", "data", data);
    return index.toJson("", true, false);
}

bool writeStarterLibrary(const std::string& directory, std::string* error) {
    std::error_code ignored;
    std::filesystem::create_directories(files::fsPath(directory), ignored);
    for (const StarterModule& module : starterModules()) {
        const std::string name = std::string("lib/") + module.fileName;
        const auto code = assets::find(name);
        const auto licence = assets::find(name + ".LICENSE.txt");
        if (!code || !licence) {
            if (error)
                *error = "not built in: " + name;
            return false;
        }
        if (!files::writeAtomically(paths::join(directory, module.fileName), std::string(*code), error) ||
            !files::writeAtomically(paths::join(directory, std::string(module.fileName) + ".LICENSE.txt"),
                                    std::string(*licence), error))
            return false;
    }
    return files::writeAtomically(paths::join(directory, "lib.json"), text::toGb18030(starterIndexText()), error);
}

bool writeStarterLibraryIfMissing(const std::string& directory, std::string* error) {
    std::error_code ignored;
    if (std::filesystem::exists(files::fsPath(paths::join(directory, "lib.json")), ignored))
        return false;
    return writeStarterLibrary(directory, error);
}

}  // namespace quillbox::online
