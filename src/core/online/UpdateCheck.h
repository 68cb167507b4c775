#pragma once
// The update check: asks the update server for the newest version, offers it to the user,
// and puts a verified new program in place; when the program is current, brings the module
// library up to date. Runs on a worker thread of its own in the desktop program; it speaks
// only through the Output (log lines) and Dialogs (message boxes) it is given, and those
// must be usable from that thread.
//
// Nothing the server sends is trusted without the release key: the version file counts only
// through its signed release text (version, address, exact size, digest, the size shown and
// the notes: ReleaseManifest.h); only a strictly newer version is offered; the download must
// have the signed size and digest. The library index counts only with a valid lib.json.sig,
// an older sequence number than the installed one is refused, and each library file needs
// the digest the index gives for it. Every download has a size cap, and the check a deadline.
#include <chrono>
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
    // The whole check (version file, library index and files) ends by this long after it
    // starts; the download of a new program, after the user said yes, has its own.
    std::chrono::milliseconds checkDeadline{30000};
    std::chrono::milliseconds downloadDeadline{30 * 60 * 1000};
    // Starts the new program; returns whether it started. When empty nothing is started.
    std::function<bool(const std::string& program)> startProgram;
    // Ends the running program after a successful replacement (the window closes).
    std::function<void()> closeProgram;
};

// The context of this installation: the configured server and key, the home directory's
// "lib", the desktop program beside this executable, version "1.30", and startDetached.
UpdateContext defaultUpdateContext(Output& log, Dialogs& dialogs);

// Size caps of what the check downloads (a longer answer is refused as it arrives).
inline constexpr long long kVersionFileCap = 1 << 20;
inline constexpr long long kLibraryIndexCap = 1 << 20;
inline constexpr long long kLibrarySignatureCap = 4 << 10;
inline constexpr long long kLibraryFileCap = 16 << 20;  // when the index gives no size
inline constexpr long long kProgramCap = 512LL << 20;   // the signed size must be below it

enum class UpdateOutcome {
    ServerError,      // the version file could not be had, or its signature does not verify
    UpToDate,         // same version, or the server's is older (no downgrade); the library update ran
    Declined,         // a new version was offered and the user said No
    NotReplaceable,   // the program's directory is not writable: nothing was downloaded
    Refused,          // the download was refused (status, size, digest, signature) or could not be written
    Replaced,         // the new program is in place (and was started when startProgram is set)
};

enum class LibraryOutcome {
    NotRun,       // the check ended before the library update
    ServerError,  // index missing, not JSON, too large, or its signature does not verify
    Current,      // same ver (or same sequence number): nothing requested
    Updated,      // every file replaced, the new index written
    Incomplete,   // some files were refused; the local library keeps them and its old index
    Rollback,     // the server's index is older than the installed one: nothing changed
};

struct LibraryUpdateResult {
    LibraryOutcome outcome = LibraryOutcome::NotRun;
    int written = 0;
    int refused = 0;
};

// The check. When `library` is given it receives what the library update did.
UpdateOutcome runUpdateCheck(const UpdateContext& context, LibraryUpdateResult* library = nullptr);

// True when the library update failed (the command line's exit status says so).
bool libraryUpdateFailed(LibraryOutcome outcome);

// The library update alone, with the client of the check, within its deadline.
LibraryUpdateResult runLibraryUpdate(const UpdateContext& context, net::HttpClient& http,
                                     std::chrono::steady_clock::time_point deadline);

// The usage count: one GET of "/API_count"; the answer is not looked at.
void sendUsageCount(const std::string& server);

// "///* 1.a" CR LF "///* 2.b" CR LF ...: the change notes as the update question shows them.
std::string formatUpdateNotes(const std::vector<std::string>& notes);

}  // namespace quillbox::online
