#pragma once
// The session store: keeps session/session.json in step with the open projects while the
// program runs, so that a kill, a crash or a power cut loses at most the last moment's
// typing.
//
// The front end calls poll() from a timer. poll() notices a change by comparing the
// projects' names and order and each page's revision number (it reads no page for that);
// the first change not yet on disk is written once it has waited `delay`, together with
// everything that changed meanwhile: several edits, one write. A write reads only the
// pages whose revision moved since the last one; every other module's text is the one
// kept from before, shared, not copied. Turning the texts into the file and writing it
// (temporary file, fsync, rename) happens on a thread of its own, so the window's thread
// spends about as long as copying the changed modules once.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/session/SessionFile.h"

namespace quillbox {
class Page;
class ProjectStore;
}  // namespace quillbox

namespace quillbox::session {

using Clock = std::chrono::steady_clock;

struct SessionStoreOptions {
    std::string path;
    // From the first change not yet on disk to its write.
    std::chrono::milliseconds delay{1000};
    // The time, for poll(); tests give their own.
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
    // Write on a thread of the store's own (the program) or within the call (tests).
    bool background = true;
};

class SessionWriter;

class SessionStore {
public:
    SessionStore(ProjectStore& store, SessionStoreOptions options);
    // Waits for a write under way; does not mark the session clean (see finish()).
    ~SessionStore();
    SessionStore(const SessionStore&) = delete;
    SessionStore& operator=(const SessionStore&) = delete;

    // Looks for changes and writes when the oldest unwritten one has waited long enough.
    void poll();
    // Writes now when anything differs from the file (a running session: clean = false).
    void saveNow();
    // The clean exit: writes the session marked clean and waits until it is on disk.
    // Returns whether it got there.
    bool finish();
    // Waits until every write handed out is on disk; the result of the last one.
    bool waitForDisk();

    // A change was seen that is not on disk yet (or not handed to the writer yet).
    bool pending() const { return pendingSince_.has_value(); }
    // Files written so far.
    int writeCount() const;
    // Why the last write failed; "" after a write that succeeded.
    std::string lastError() const;
    // Called from poll() (on the caller's thread) once per failure that follows a success,
    // and once more when writing works again (with an empty text).
    std::function<void(const std::string& error)> onWriteProblem;

private:
    struct Place {
        std::string project;
        std::string module;
        Page* page;
    };
    struct Layout {
        std::vector<std::string> projects;
        std::vector<Place> places;  // every module with its page, in project and module order
        std::string currentProject;
        std::string currentModule;
    };
    struct Kept {
        std::uint64_t revision;
        SharedText text;
    };

    Layout layout() const;
    bool differsFromSeen(const Layout& now) const;
    void remember(const Layout& now);
    // Reads the pages that changed and hands a new snapshot to the writer when it differs
    // from the last one.
    void write(bool clean);
    void reportProblems();
    // The page's text: the one kept when its revision has not moved, else read anew.
    // A failed read clears `complete`; null when there is no text to stand in for it.
    SharedText textOf(Page& page, std::unordered_map<const Page*, Kept>& kept, bool& complete);

    ProjectStore& store_;
    SessionStoreOptions options_;
    std::unique_ptr<SessionWriter> writer_;
    // What the last poll or write saw: names, pages and their revisions.
    Layout seen_;
    std::vector<std::uint64_t> seenRevisions_;
    std::optional<Clock::time_point> pendingSince_;
    std::unordered_map<const Page*, Kept> kept_;
    std::shared_ptr<const Snapshot> last_;
    bool problemReported_ = false;
};

}  // namespace quillbox::session
