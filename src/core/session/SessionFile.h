#pragma once
// The session file: the open projects with their modules and code, which module is shown,
// and whether the program that wrote it ended cleanly. It lives in session/session.json
// under the home directory; docs/session.md gives its layout.
//
// Readers (the start-up, the crash reporter) use readSession(); the writer is the
// SessionKeeper, which keeps the file in step with the work as it happens.
#include <memory>
#include <string>
#include <vector>

#include "core/platform/FileIO.h"

namespace quillbox::session {

struct SessionModule {
    std::string name;
    std::string code;  // UTF-8, byte for byte as the page gave it
    bool operator==(const SessionModule&) const = default;
};

struct SessionProject {
    std::string name;
    std::vector<SessionModule> modules;  // in module order
    bool operator==(const SessionProject&) const = default;
};

struct Session {
    std::vector<SessionProject> projects;  // in project order
    // The module whose page was shown; both empty when no page was shown.
    std::string currentProject;
    std::string currentModule;
    // True when the program that wrote the file ended cleanly; false while it runs.
    bool clean = false;
    bool operator==(const Session&) const = default;

    // The project of the shown page, or null.
    const SessionProject* current() const;
};

enum class ReadStatus {
    Ok,
    Missing,     // no session file: a first start
    Unreadable,  // the file exists but cannot be read
    Unparsable,  // the file is not a session (torn, hand-edited, another format)
};

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    Session session;
    std::string error;  // why, when not Ok
};

// The session file of this run: the one its SessionClaim took (kept in the environment as
// QUILLBOX_SESSION_FILE, so the crash reporter it starts reads the same file), else
// session/session.json under paths::homeDirectory().
std::string defaultSessionPath();
// session/session.json under paths::homeDirectory(), whoever uses it.
std::string firstSessionPath();

// The right to write one session file, held while the program runs. Two windows open at once
// must not write over each other's work: the first takes session.json, a second one
// session-2.json, and so on (each with a lock file beside it, released when the process
// ends, however it ends).
class SessionClaim {
public:
    // Takes the first free file beside `first`; an empty path when none could be locked.
    explicit SessionClaim(const std::string& first = firstSessionPath());
    ~SessionClaim();
    SessionClaim(const SessionClaim&) = delete;
    SessionClaim& operator=(const SessionClaim&) = delete;

    const std::string& path() const { return path_; }
    std::string error() const { return error_; }

private:
    std::string path_;
    std::string error_;
    files::FileLock lock_;
};

ReadResult readSession(const std::string& path);

// The file's text, and its reading back. parseSession is exact: every code comes back
// byte for byte, whatever line breaks it holds.
std::string sessionText(const Session& session);
bool parseSession(const std::string& text, Session& session, std::string* error = nullptr);

// Writes the whole file atomically (temporary file, fsync, rename), creating the folder.
bool writeSession(const std::string& path, const Session& session, std::string* error = nullptr);

// Renames a session file that cannot be used to PATH.broken-YYYYMMDD-HHMMSS (with a
// number added when that name is taken), so it is never overwritten. The new path, or ""
// with `error` set when it could not be moved.
std::string moveAside(const std::string& path, std::string* error = nullptr);

// ---- the writer's form: module code shared, so an unchanged module is never copied ----

using SharedText = std::shared_ptr<const std::string>;

struct SnapshotModule {
    std::string name;
    SharedText code;
};
struct SnapshotProject {
    std::string name;
    std::vector<SnapshotModule> modules;
};
struct Snapshot {
    std::vector<SnapshotProject> projects;
    std::string currentProject;
    std::string currentModule;
    bool clean = false;
};

std::string snapshotText(const Snapshot& snapshot);
Snapshot snapshotOf(const Session& session);

}  // namespace quillbox::session
