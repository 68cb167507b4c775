#include "core/session/SessionFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <cstdlib>

#include "core/json/JsonDocument.h"
#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/platform/Process.h"
#include "core/platform/FsPath.h"

namespace quillbox::session {

namespace {

constexpr std::int64_t kFormat = 1;
constexpr const char* kClaimedSessionVariable = "QUILLBOX_SESSION_FILE";

std::string indexed(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// Our JSON reader turns the escape "\n" into CR LF unless a CR stands before it (the
// Windows tool's texts want CR LF). A lone LF in a module must come back as a lone LF, so
// every "\n" escape not directly after a "\r" escape is written "\u000a" instead, which
// the reader decodes exactly when asked to.
std::string keepLoneLineFeeds(const std::string& json) {
    std::string out;
    out.reserve(json.size() + json.size() / 64);
    bool afterCarriageReturn = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c != '\\' || i + 1 >= json.size()) {
            out.push_back(c);
            afterCarriageReturn = false;
            continue;
        }
        const char escaped = json[++i];
        if (escaped == 'n' && !afterCarriageReturn) {
            out.append("\\u000a");
        } else {
            out.push_back('\\');
            out.push_back(escaped);
        }
        afterCarriageReturn = escaped == 'r';
    }
    return out;
}

bool fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

bool readModules(const JsonDocument& doc, const std::string& path, SessionProject& project, std::string* error) {
    if (doc.kind(path) != JsonKind::Array)
        return fail(error, path + " is not a list of modules");
    const std::size_t n = doc.count(path);
    project.modules.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string at = indexed(path, i);
        if (doc.kind(at + ".name") != JsonKind::String || doc.kind(at + ".code") != JsonKind::String)
            return fail(error, at + " lacks its name or code");
        project.modules.push_back(SessionModule{doc.string(at + ".name"), doc.string(at + ".code")});
    }
    return true;
}

}  // namespace

const SessionProject* Session::current() const {
    for (const SessionProject& project : projects)
        if (project.name == currentProject)
            return &project;
    return nullptr;
}

std::string firstSessionPath() {
    return paths::join(paths::join(paths::homeDirectory(), "session"), "session.json");
}

std::string defaultSessionPath() {
    const char* claimed = std::getenv(kClaimedSessionVariable);
    return claimed && *claimed ? std::string(claimed) : firstSessionPath();
}

SessionClaim::SessionClaim(const std::string& first) {
    const std::filesystem::path base = files::fsPath(first);
    std::error_code ec;
    std::filesystem::create_directories(base.parent_path(), ec);
    const std::string stem = files::utf8Path(base.stem());
    const std::string extension = files::utf8Path(base.extension());
    for (int n = 1; n <= 99; ++n) {
        const std::string candidate =
            n == 1 ? first : files::utf8Path(base.parent_path() / files::fsPath(stem + "-" + std::to_string(n) + extension));
        std::string error;
        if (lock_.tryLock(candidate + ".lock", &error)) {
            path_ = candidate;
            process::setEnvironment(kClaimedSessionVariable, path_);
            return;
        }
        if (!error.empty()) {
            error_ = error;
            return;
        }
    }
    error_ = first + ": 99 windows already keep a session";
}

SessionClaim::~SessionClaim() = default;

std::string snapshotText(const Snapshot& snapshot) {
    JsonDocument doc = JsonDocument::makeObject();
    doc.setMember("", "format", JsonDocument::makeInteger(kFormat));
    doc.setMember("", "clean", JsonDocument::makeBoolean(snapshot.clean));
    JsonDocument current = JsonDocument::makeObject();
    current.setMember("", "project", JsonDocument::makeString(snapshot.currentProject));
    current.setMember("", "module", JsonDocument::makeString(snapshot.currentModule));
    doc.setMember("", "current", current);
    doc.setMember("", "projects", JsonDocument::makeArray());
    for (std::size_t p = 0; p < snapshot.projects.size(); ++p) {
        const SnapshotProject& project = snapshot.projects[p];
        JsonDocument entry = JsonDocument::makeObject();
        entry.setMember("", "name", JsonDocument::makeString(project.name));
        entry.setMember("", "modules", JsonDocument::makeArray());
        doc.append("projects", entry);
        const std::string modules = indexed("projects", p) + ".modules";
        for (const SnapshotModule& module : project.modules) {
            JsonDocument m = JsonDocument::makeObject();
            m.setMember("", "name", JsonDocument::makeString(module.name));
            doc.append(modules, m);
            // The code goes straight into its place: one copy of the text, not two.
            const std::string at = indexed(modules, doc.count(modules) - 1);
            doc.setMember(at, "code", JsonDocument::makeString(module.code ? *module.code : std::string()));
        }
    }
    return keepLoneLineFeeds(doc.toJson());
}

Snapshot snapshotOf(const Session& session) {
    Snapshot snapshot;
    snapshot.currentProject = session.currentProject;
    snapshot.currentModule = session.currentModule;
    snapshot.clean = session.clean;
    for (const SessionProject& project : session.projects) {
        SnapshotProject& entry = snapshot.projects.emplace_back();
        entry.name = project.name;
        for (const SessionModule& module : project.modules)
            entry.modules.push_back(SnapshotModule{module.name, std::make_shared<const std::string>(module.code)});
    }
    return snapshot;
}

std::string sessionText(const Session& session) { return snapshotText(snapshotOf(session)); }

bool parseSession(const std::string& text, Session& session, std::string* error) {
    session = Session{};
    JsonDocument doc;
    const JsonParseResult parsed = doc.parse(text, true);
    if (!parsed.ok)
        return fail(error, "not JSON (error " + std::to_string(parsed.error) + " at " +
                               std::to_string(parsed.position) + ")");
    if (doc.kind("") != JsonKind::Object || doc.kind("format") == JsonKind::None)
        return fail(error, "not a session file");
    if (doc.integer("format") != kFormat)
        return fail(error, "session format " + doc.text("format") + " is not known");
    if (doc.kind("projects") != JsonKind::Array)
        return fail(error, "no list of projects");
    session.clean = doc.kind("clean") == JsonKind::Boolean && doc.boolean("clean");
    session.currentProject = doc.string("current.project");
    session.currentModule = doc.string("current.module");
    const std::size_t n = doc.count("projects");
    session.projects.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string at = indexed("projects", i);
        if (doc.kind(at + ".name") != JsonKind::String)
            return fail(error, at + " has no name");
        SessionProject& project = session.projects.emplace_back();
        project.name = doc.string(at + ".name");
        if (!readModules(doc, at + ".modules", project, error))
            return false;
    }
    return true;
}

ReadResult readSession(const std::string& path) {
    ReadResult result;
    if (files::nothingAt(path, true)) {
        result.status = ReadStatus::Missing;
        return result;
    }
    std::string bytes;
    // Only a regular file: a FIFO in its place would hold the start until something wrote to it.
    if (!files::readRegularFile(path, bytes, &result.error)) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    if (!parseSession(bytes, result.session, &result.error)) {
        result.status = ReadStatus::Unparsable;
        result.session = Session{};
        return result;
    }
    result.status = ReadStatus::Ok;
    return result;
}

bool writeSession(const std::string& path, const Session& session, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(files::fsPath(path).parent_path(), ec);
    return files::writeAtomically(path, sessionText(session), error);
}

std::string moveAside(const std::string& path, std::string* error) {
    const std::time_t now = std::time(nullptr);
    const std::tm local = process::localTime(now);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".broken-" + stamp;
    for (int n = 1; n < 1000; ++n) {
        const std::string target = n == 1 ? base : base + "-" + std::to_string(n);
        // An older broken file is never replaced.
        std::string why;
        const files::MoveResult moved = files::moveWithoutReplacing(path, target, &why);
        if (moved == files::MoveResult::Moved)
            return target;
        if (moved == files::MoveResult::TargetExists)
            continue;
        fail(error, why);
        return "";
    }
    fail(error, path + ": no free name to move it to");
    return "";
}

}  // namespace quillbox::session
