#include "core/online/ProgramReplacement.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/platform/FsPath.h"

extern char** environ;

namespace quillbox::online {

std::string installedProgramPath() { return paths::join(paths::programDirectory(), "quillbox"); }

bool canReplaceProgram(const std::string& program) {
    const std::filesystem::path path = files::fsPath(program);
    // The system's package manager owns what lies under /usr; a copy there is not ours to replace.
    if (program.rfind("/usr/", 0) == 0)
        return false;
    const std::string directory = path.has_parent_path() ? files::utf8Path(path.parent_path()) : std::string(".");
    struct stat status {};
    // A directory without any write permission was made read-only on purpose: the
    // superuser, whom access() lets write anywhere, must not write there either.
    return ::stat(directory.c_str(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool replaceProgram(const std::string& program, const std::string& bytes, std::string* error) {
    return files::writeAtomically(program, bytes, error, {.mode = 0755});
}

bool installDownload(const std::string& program, const std::string& download, int fd, std::string* error) {
    auto failed = [&](const std::string& why) {
        ::close(fd);
        ::unlink(download.c_str());
        if (error)
            *error = why;
        return false;
    };
    struct stat existing {};
    const mode_t mode = ::stat(program.c_str(), &existing) == 0 ? (existing.st_mode & 07777) | 0111 : 0755;
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return failed(download + ": " + std::strerror(errno));
    if (::close(fd) != 0) {
        ::unlink(download.c_str());
        if (error)
            *error = download + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(download.c_str(), program.c_str()) != 0) {
        const int code = errno;
        ::unlink(download.c_str());
        if (error)
            *error = program + ": " + std::strerror(code);
        return false;
    }
    return true;
}

bool startDetached(const std::string& program) {
    if (::access(program.c_str(), X_OK) != 0)
        return false;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int status = ::posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (status != 0)
        return false;
    // Reap it whenever it ends, so a long-lived caller keeps no zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace quillbox::online
