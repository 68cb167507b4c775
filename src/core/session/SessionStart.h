#pragma once
// What the start does with the session the last run left:
// - the last run did not end cleanly (killed, crashed, power lost): its projects come back
//   whatever the settings say, and the output box says how many;
// - it ended cleanly: they come back while "记忆代码内容" is checked;
// - the file cannot be read or is not a session: it is moved aside under a name with a
//   time stamp, the program starts empty and says where the file went. When it cannot be
//   moved, this run writes no session at all, so the old file is never overwritten.
// Projects named on the command line are added after this, by the caller.
#include <string>

namespace quillbox {
class Output;
class ProjectStore;
}  // namespace quillbox

namespace quillbox::session {

struct Session;

struct StartResult {
    // This run may write the session file.
    bool keepSession = true;
    // Projects brought back.
    int restored = 0;
    // The last run ended without marking its session clean.
    bool unclean = false;
    // Where an unusable session file went ("" when none was moved).
    std::string movedTo;
};

//
// With `writable` false (no session file could be claimed: a read-only home, say) the file
// is only read: its projects come back by the same rules, nothing is moved or written, and
// the output box says this run keeps no session.
StartResult restoreAtStart(ProjectStore& store, Output& output, const std::string& path, bool memoryText,
                           bool writable = true);

// Adds the session's projects to the store, in order, each module with its code, and shows
// the module that was shown. A project whose name is taken is skipped. A module name that
// repeats inside a project (rename allows it) comes back with " (2)", " (3)" ... added, so
// that its code is not refused. Returns the number of projects added.
int restoreSession(ProjectStore& store, Output& output, const Session& session);

}  // namespace quillbox::session
