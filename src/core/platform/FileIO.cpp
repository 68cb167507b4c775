#include "core/platform/FileIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbox::files {

namespace {
void setError(std::string* error, const std::string& what) {
    if (error)
        *error = what + ": " + std::strerror(errno);
}
}  // namespace

bool readAll(const std::string& path, std::string& bytes, std::string* error) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, path);
        return false;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setError(error, path);
            ::close(fd);
            bytes.clear();
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool writeAtomically(const std::string& path, const std::string& bytes, std::string* error, unsigned mode) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        setError(error, path);
        return false;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setError(error, path);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Keep the permissions an ordinary new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, static_cast<mode_t>(mode) & ~mask);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        setError(error, path);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        setError(error, path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace quillbox::files
