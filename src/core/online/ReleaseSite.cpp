#include "core/online/ReleaseSite.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/json/JsonDocument.h"
#include "core/online/ReleaseManifest.h"
#include "core/online/Signing.h"
#include "core/online/StarterLibrary.h"
#include "core/online/UpdateCheck.h"
#include "core/online/UpdateServer.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/text/Text.h"
#include "core/platform/FsPath.h"

namespace quillbox::online {
namespace fs = std::filesystem;

namespace {

bool fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

bool writeFile(const fs::path& path, const std::string& bytes, std::string* error) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    return files::writeAtomically(files::utf8Path(path), bytes, error);
}

JsonDocument stringArray(const std::vector<std::string>& items) {
    JsonDocument array = JsonDocument::makeArray();
    for (const std::string& item : items)
        array.append("", JsonDocument::makeString(item));
    return array;
}

std::string versionFileText(const ReleasePlan& plan, const std::string& url, const std::string& size,
                            const std::string& binary, const std::string& secretKey) {
    JsonDocument update = JsonDocument::makeObject();
    update.setMember("", "url", JsonDocument::makeString(url));
    update.setMember("", "size", JsonDocument::makeString(size));
    update.setMember("", "data", stringArray(plan.notes));
    update.setMember("", "sha256", JsonDocument::makeString(sha256Hex(binary)));
    update.setMember("", "sig", JsonDocument::makeString(signMessage(updateSignedMessage(plan.version, binary), secretKey)));
    SignedRelease release;
    release.version = plan.version;
    release.url = url;
    release.bytes = static_cast<long long>(binary.size());
    release.sha256 = sha256Hex(binary);
    release.sizeText = size;
    release.notes = plan.notes;
    const std::string signedText = signedReleaseText(release);
    update.setMember("", "signed", JsonDocument::makeString(signedText));
    update.setMember("", "signature", JsonDocument::makeString(signMessage(releaseSignedMessage(signedText), secretKey)));
    JsonDocument file = JsonDocument::makeObject();
    file.setMember("", "Ver", JsonDocument::makeString(plan.version));
    file.setMember("", "Update", update);
    // Escaped: a note with a quote, a backslash or a line break stays valid JSON.
    return file.toJson("", true, true);
}

// Copies the library's files into target and writes its index with their digests, signed.
bool publishLibrary(const std::string& source, const fs::path& target, const std::string& secretKey,
                    long long sequence, std::string* error) {
    std::string bytes;
    if (!files::readAll(paths::join(source, "lib.json"), bytes, error))
        return false;
    JsonDocument index;
    if (!index.parse(text::decodeFileText(bytes)).ok)
        return fail(error, source + "/lib.json is not JSON");
    std::vector<std::string> names;
    index.memberNames("data", names);
    JsonDocument digests = JsonDocument::makeObject();
    JsonDocument sizes = JsonDocument::makeObject();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string file = index.at("data", i).string();
        if (file.empty() || file.find('/') != std::string::npos || file.front() == '.')
            return fail(error, "library file name not allowed: \"" + file + "\"");
        std::string code;
        if (!files::readAll(paths::join(source, file), code, error))
            return false;
        if (!writeFile(target / files::fsPath(file), code, error))
            return false;
        std::string licence;
        if (files::readAll(paths::join(source, file + ".LICENSE.txt"), licence) &&
            !writeFile(target / files::fsPath(file + ".LICENSE.txt"), licence, error))
            return false;
        digests.setMember("", file, JsonDocument::makeString(sha256Hex(code)));
        sizes.setMember("", file, JsonDocument::makeInteger(static_cast<std::int64_t>(code.size())));
    }
    index.setMember("", "sha256", digests);
    index.setMember("", "bytes", sizes);
    index.setMember("", "seq", JsonDocument::makeInteger(sequence > 0 ? sequence : static_cast<std::int64_t>(std::time(nullptr))));
    const std::string indexBytes = text::toGb18030(index.toJson("", true, true));
    return writeFile(target / "lib.json", indexBytes, error) &&
           writeFile(target / "lib.json.sig", signMessage(indexBytes, secretKey), error);
}

std::string changeLogEntry(const ReleasePlan& plan) {
    return plan.version + "\r\n" + formatUpdateNotes(plan.notes) + "\r\n";
}

}  // namespace

std::string sizeText(std::size_t bytes) {
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1fMB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1fKB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%zuB", bytes);
    return text;
}

bool writeReleaseSite(const ReleasePlan& plan, std::string* error) {
    const std::optional<ReleaseKey> key = releaseKeyFromText(plan.keyText);
    if (!key)
        return fail(error, "the key file holds no release key");
    if (plan.version.empty())
        return fail(error, "the version is empty");
    std::string binary;
    if (!files::readAll(plan.binaryPath, binary, error))
        return false;
    if (binary.empty())
        return fail(error, plan.binaryPath + " is empty");

    const fs::path root = files::fsPath(plan.outputDirectory) / "Quillbox";
    const std::string name = files::utf8Path(files::fsPath(plan.binaryPath).filename());
    const std::string downloadPath = "/Quillbox/download/" + plan.version + "/" + name;
    if (plan.version.find('/') != std::string::npos || plan.version.front() == '.')
        return fail(error, "the version cannot name a directory: " + plan.version);
    if (!writeFile(root / "download" / files::fsPath(plan.version) / files::fsPath(name), binary, error))
        return false;

    const std::string url = plan.url.empty() ? updateServerUrl(downloadPath) : plan.url;
    const std::string size = plan.size.empty() ? sizeText(binary.size()) : plan.size;
    if (!writeFile(root / "Quillbox_config.txt",
                   text::toGb18030(versionFileText(plan, url, size, binary, key->secretKey)), error))
        return false;

    std::string library = plan.libraryDirectory;
    const fs::path starter = files::fsPath(plan.outputDirectory) / ".starter-lib";
    if (library.empty()) {
        if (!writeStarterLibrary(files::utf8Path(starter), error))
            return false;
        library = files::utf8Path(starter);
    }
    const bool published = publishLibrary(library, root / "lib", key->secretKey, plan.librarySequence, error);
    std::error_code ignored;
    fs::remove_all(starter, ignored);
    if (!published)
        return false;

    std::string oldLog;
    files::readAll(files::utf8Path(root / "Quillbox_config_all.txt"), oldLog);
    return writeFile(root / "Quillbox_config_all.txt", text::toGb18030(changeLogEntry(plan)) + oldLog, error);
}

}  // namespace quillbox::online
