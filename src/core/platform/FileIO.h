#pragma once
// Whole-file reads and safe writes.
#include <string>

namespace quillbox::files {

// Reads the whole file; false (and `error` set) when it cannot be read.
bool readAll(const std::string& path, std::string& bytes, std::string* error = nullptr);

// Reads the whole file only when it is a regular file (a symbolic link to one counts). A
// FIFO, a device or a socket in its place is refused at once, without waiting for a writer
// ("PATH: not a regular file"): files the program keeps for itself are read with this.
bool readRegularFile(const std::string& path, std::string& bytes, std::string* error = nullptr);

struct WriteOptions {
    // Wait for the disk before the new file takes the old one's place. Exports and settings
    // do; writers of many files that can be made again (unpack) may not.
    bool sync = true;
    // The permissions of a new file, less the umask. A file that is replaced keeps its own,
    // and gains the execute bits asked for here (a program written over an older one).
    unsigned mode = 0666;
};

// Writes bytes as the whole file at `path`, the one way every file the program makes is
// written:
// - a regular file (or a new one) is written to a temporary file beside it and renamed
//   into place, so a failed write never destroys what was there; a file that existed
//   keeps its permissions (see WriteOptions::mode);
// - a symbolic link is followed (link by link) and its target is replaced that way, so
//   the link stays a link;
// - a FIFO or a device is opened and written directly, never replaced;
// - anything else (a directory, a socket) is refused.
// False with a reason in `error` on failure ("PATH: why").
bool writeAtomically(const std::string& path, const std::string& bytes, std::string* error = nullptr,
                     WriteOptions options = {});

// Whether nothing at all is at `path` (not even a dangling symbolic link): a missing file,
// as opposed to one that is there but cannot be read. `throughLinks`: a link whose target
// is missing counts as nothing too.
bool nothingAt(const std::string& path, bool throughLinks = false);

// Makes a new file with the bytes, readable by its owner only where the system has such
// permissions; an existing file is never replaced (false, "PATH: File exists").
bool createNew(const std::string& path, const std::string& bytes, std::string* error = nullptr);

enum class MoveResult { Moved, TargetExists, Failed };
// Moves the file to `to` on the same file system unless something is there already: an
// existing target is never replaced. Failed sets `error` ("FROM: why").
MoveResult moveWithoutReplacing(const std::string& from, const std::string& to, std::string* error = nullptr);

// An exclusive lock on a file (made when missing) that lasts as long as this object, or
// until the process ends. Another process's lock makes tryLock answer false at once.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // False with `error` set when the file cannot be opened; false without it when another
    // holds the lock.
    bool tryLock(const std::string& path, std::string* error);
    bool locked() const { return handle_ != -1; }

private:
    long long handle_ = -1;
};

// The longest file name (one path component) the file system of `directory` takes; the
// directory need not exist yet (its nearest existing ancestor answers).
long maxNameLength(const std::string& directory);

}  // namespace quillbox::files
