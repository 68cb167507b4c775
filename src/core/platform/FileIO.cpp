#include "core/platform/FileIO.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbox::files {

namespace {

namespace fs = std::filesystem;

void setError(std::string* error, const std::string& path, int code) {
    if (error)
        *error = path + ": " + std::strerror(code);
}

bool writeAllTo(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Follows `path` through symbolic links to the name that is finally written. A dangling
// link gives the name it points to (the write creates it). False on a loop.
bool resolveLinks(const std::string& path, std::string& resolved, int& code) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = current;
            return true;
        }
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) {
            code = errno;
            return false;
        }
        target.resize(static_cast<std::size_t>(n));
        const fs::path link(current);
        current = fs::path(target).is_absolute() || !link.has_parent_path() ? target
                                                                            : (link.parent_path() / target).string();
    }
    code = ELOOP;
    return false;
}

// A FIFO or a device takes the bytes as they come; it is never replaced.
bool writeDirectly(const std::string& path, const std::string& bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        setError(error, path, errno);
        return false;
    }
    bool ok = writeAllTo(fd, bytes);
    int code = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok)
        setError(error, path, code);
    return ok;
}

bool replaceRegular(const std::string& path, const std::string& bytes, std::string* error, WriteOptions options,
                    const struct stat* existing) {
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // The temporary name must itself fit the file system: a long name is cut short there.
    std::string stem = target.filename().string();
    const long nameMax = maxNameLength(dir.string());
    const std::size_t room = nameMax > 16 ? static_cast<std::size_t>(nameMax) - 8 : 8;
    if (stem.size() > room)
        stem.resize(room);
    std::string temp = (dir / ("." + stem + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        setError(error, path, errno);
        return false;
    }
    auto failed = [&](int code) {
        ::close(fd);
        ::unlink(temp.c_str());
        setError(error, path, code);
        return false;
    };
    if (!writeAllTo(fd, bytes))
        return failed(errno);
    // A file that was there keeps its permissions; a new one gets what the umask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t asked = static_cast<mode_t>(options.mode) & ~mask;
    const mode_t mode = existing ? (existing->st_mode & 07777) | (asked & 0111) : asked;
    ::fchmod(fd, mode);
    if (options.sync && ::fsync(fd) != 0)
        return failed(errno);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        setError(error, path, code);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        setError(error, path, code);
        return false;
    }
    return true;
}

}  // namespace

namespace {

bool readFrom(int fd, const std::string& path, std::string& bytes, std::string* error) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));  // one allocation for a large file
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setError(error, path, errno);
            ::close(fd);
            bytes.clear();
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

bool readAll(const std::string& path, std::string& bytes, std::string* error) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, path, errno);
        return false;
    }
    return readFrom(fd, path, bytes, error);
}

bool readRegularFile(const std::string& path, std::string& bytes, std::string* error) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer; fstat then tells what it is.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        setError(error, path, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int code = errno;
        ::close(fd);
        if (error)
            *error = path + ": " + (S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : st.st_mode ? "not a regular file" : std::strerror(code));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return readFrom(fd, path, bytes, error);
}

bool writeAtomically(const std::string& path, const std::string& bytes, std::string* error, WriteOptions options) {
    if (path.empty()) {
        setError(error, path, ENOENT);
        return false;
    }
    std::string target;
    int code = 0;
    if (!resolveLinks(path, target, code)) {
        setError(error, path, code);
        return false;
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            setError(error, path, errno);
            return false;
        }
        return replaceRegular(target, bytes, error, options, nullptr);
    }
    if (S_ISREG(st.st_mode))
        return replaceRegular(target, bytes, error, options, &st);
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return writeDirectly(target, bytes, error);
    if (error)
        *error = path + ": " + (S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file");
    return false;
}

long maxNameLength(const std::string& directory) {
    fs::path dir = directory.empty() ? fs::path(".") : fs::path(directory);
    std::error_code ec;
    while (!fs::exists(dir, ec) && dir.has_parent_path() && dir.parent_path() != dir)
        dir = dir.parent_path();
    if (!fs::exists(dir, ec))
        dir = ".";
    errno = 0;
    const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    return n > 0 ? n : NAME_MAX;
}

bool nothingAt(const std::string& path, bool throughLinks) {
    struct stat info {};
    return (throughLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0 && errno == ENOENT;
}

bool createNew(const std::string& path, const std::string& bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        setError(error, path, errno);
        return false;
    }
    const bool written = writeAllTo(fd, bytes);
    const int code = errno;
    if (::close(fd) != 0 || !written) {
        setError(error, path, written ? errno : code);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

MoveResult moveWithoutReplacing(const std::string& from, const std::string& to, std::string* error) {
    // link() refuses an existing target, so nothing there is ever replaced.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return MoveResult::Moved;
    }
    if (errno == EEXIST)
        return MoveResult::TargetExists;
    // File systems without hard links: rename after checking the name is free.
    if (errno == EPERM || errno == EOPNOTSUPP || errno == EXDEV) {
        struct stat info {};
        if (::stat(to.c_str(), &info) == 0)
            return MoveResult::TargetExists;
        if (::rename(from.c_str(), to.c_str()) == 0)
            return MoveResult::Moved;
    }
    setError(error, from, errno);
    return MoveResult::Failed;
}

FileLock::~FileLock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

bool FileLock::tryLock(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, path, errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

}  // namespace quillbox::files
