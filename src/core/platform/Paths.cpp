#include "core/platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace quillbox::paths {
namespace fs = std::filesystem;

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}
std::string userHome() {
    std::string h = env("HOME");
    return h.empty() ? std::string("/tmp") : h;
}
}  // namespace

std::string join(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (a.back() == '/')
        return a + b;
    return a + "/" + b;
}

std::string programDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path(ec).string();
    return exe.parent_path().string();
}

bool programDirectoryWritable() {
    const std::string program = programDirectory();
    std::error_code ec;
    if (fs::exists(join(program, kInstalledMarker), ec))
        return false;
    return access(program.c_str(), W_OK) == 0;
}

std::string homeDirectory() {
    std::string home = env("QUILLBOX_HOME");
    if (!home.empty()) {
        std::error_code ec;
        fs::create_directories(home, ec);
        return home;
    }
    if (programDirectoryWritable())
        return programDirectory();
    std::string fallback = join(userHome(), ".local/share/quillbox");
    std::error_code ec;
    fs::create_directories(fallback, ec);
    return fallback;
}

std::string cacheDirectory() {
    std::string cache = env("XDG_CACHE_HOME");
    if (!cache.empty())
        return cache;
    return join(userHome(), ".cache");
}

std::string desktopDirectory() {
    std::string desktop = env("XDG_DESKTOP_DIR");
    if (!desktop.empty())
        return desktop;
    std::string guess = join(userHome(), "Desktop");
    std::error_code ec;
    if (fs::is_directory(guess, ec))
        return guess;
    return userHome();
}

}  // namespace quillbox::paths
