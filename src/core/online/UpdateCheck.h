#pragma once
// The update check: asks the update server for the newest version, offers it to the user,
// and puts a verified new program in place; when the program is current, brings the module
// library up to date. Runs on a worker thread of its own in the desktop program; it speaks
// only through the Output (log lines) and Dialogs (message boxes) it is given, and those
// must be usable from that thread.
//
// Nothing the server sends is trusted without the release key: a new program is accepted
// only when its SHA-256 digest matches the version file and the version file's signature
// verifies over ("quillbox-update", NUL, version, NUL, bytes); the library index only with
// a valid lib.json.sig, and each library file only with the digest the index gives for it.
#include <functional>
#include <string>
#include <vector>

#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"

namespace quillbox::net {
class HttpClient;
}

namespace quillbox::online {

struct UpdateContext {
    Output* log = nullptr;
    Dialogs* dialogs = nullptr;
    std::string server;            // "http://host[:port]", no trailing "/"
    std::string publicKey;         // base64 Ed25519 release key
    std::string libraryDirectory;  // the local "lib" directory
    std::string program;           // the program file a new version replaces
    std::string version;           // the running program's version
    // Starts the new program; returns whether it started. When empty nothing is started.
    std::function<bool(const std::string& program)> startProgram;
    // Ends the running program after a successful replacement (the window closes).
    std::function<void()> closeProgram;
};

// The context of this installation: the configured server and key, the home directory's
// "lib", the desktop program beside this executable, version "1.30", and startDetached.
UpdateContext defaultUpdateContext(Output& log, Dialogs& dialogs);

enum class UpdateOutcome {
    ServerError,      // the version file could not be had
    UpToDate,         // same version; the library update ran
    Declined,         // a new version was offered and the user said No
    NotReplaceable,   // the program's directory is not writable: nothing was downloaded
    Refused,          // the download was refused (status, size, digest, signature) or could not be written
    Replaced,         // the new program is in place (and was started when startProgram is set)
};

UpdateOutcome runUpdateCheck(const UpdateContext& context);

enum class LibraryOutcome {
    ServerError,  // index missing, not JSON, or its signature does not verify
    Current,      // same ver: nothing requested
    Updated,      // every file replaced, the new index written
    Incomplete,   // some files were refused; the local library keeps them and its old index
};

struct LibraryUpdateResult {
    LibraryOutcome outcome = LibraryOutcome::ServerError;
    int written = 0;
    int refused = 0;
};

// The library update alone, with the client of the check.
LibraryUpdateResult runLibraryUpdate(const UpdateContext& context, net::HttpClient& http);

// The usage count: one GET of "/API_count"; the answer is not looked at.
void sendUsageCount(const std::string& server);

// "///* 1.a" CR LF "///* 2.b" CR LF ...: the change notes as the update question shows them.
std::string formatUpdateNotes(const std::vector<std::string>& notes);

}  // namespace quillbox::online
