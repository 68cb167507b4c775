#pragma once
// The expressions the user evaluated, per project, kept across runs in history.json beside
// the session file. ↑ and ↓ in the function box walk them (HistoryWalk).
//
// The file is small and written whole (renamed into place) after each evaluation; each add
// reads the file first, so two windows running at once add to it rather than over it.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quillbox::session {

class ExpressionHistory {
public:
    // Entries kept per project; the oldest go first.
    static constexpr std::size_t kLimit = 200;

    // Reads the file; a missing or unreadable one is an empty history (and is replaced by
    // the first add). An empty path keeps the history in memory only.
    explicit ExpressionHistory(std::string path = "");

    // Oldest first.
    const std::vector<std::string>& entries(const std::string& project) const;
    // Adds an expression to the end of its project's entries: blank text is not kept, and an
    // expression already there moves to the end rather than showing twice. False when the
    // file could not be written (the entry is kept for this run; `error` says why).
    bool add(const std::string& project, const std::string& expression, std::string* error = nullptr);

    const std::string& path() const { return path_; }

private:
    void read();
    std::string path_;
    std::map<std::string, std::vector<std::string>> entries_;
};

// history.json in the folder of the session file.
std::string historyPathBeside(const std::string& sessionPath);

// ↑/↓ through a list of entries, oldest first, as a shell does: ↑ from the text being typed
// shows the newest entry, ↓ past the newest brings back what was being typed.
class HistoryWalk {
public:
    // The text to show, or false when there is nothing older (the text stays).
    bool older(const std::vector<std::string>& entries, const std::string& typed, std::string& shown);
    bool newer(const std::vector<std::string>& entries, std::string& shown);
    // Forgets the walk (after an evaluation, or when the user edits the text).
    void reset() { index_ = kNone; }
    bool walking() const { return index_ != kNone; }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t index_ = kNone;
    std::string draft_;
};

}  // namespace quillbox::session
