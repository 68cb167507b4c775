// Where files go on Windows: the program's directory from GetModuleFileNameW, the user's
// folders from the shell's known folders (%APPDATA%\Quillbox for settings when the program's
// own directory is not writable).
#include "core/platform/Paths.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "core/platform/WindowsText.h"

namespace quillbox::paths {
namespace {

using platform::narrow;
using platform::wide;

std::string env(const char* name) {
    const wchar_t* v = _wgetenv(wide(name).c_str());
    return v ? narrow(v) : std::string();
}

std::string knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)) && path)
        out = narrow(path);
    CoTaskMemFree(path);
    return out;
}

std::string withSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

bool isDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesW(wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void makeDirectories(const std::string& path) {
    SHCreateDirectoryExW(nullptr, wide(path).c_str(), nullptr);
}

}  // namespace

std::string join(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (a.back() == '/' || a.back() == '\\')
        return a + b;
    return a + "/" + b;
}

std::string programDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return ".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::string dir = withSlashes(narrow(path));
    const std::size_t slash = dir.rfind('/');
    return slash == std::string::npos ? "." : dir.substr(0, slash);
}

bool programDirectoryWritable() {
    const std::string program = programDirectory();
    if (GetFileAttributesW(wide(join(program, kInstalledMarker)).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    // Only a file made there tells (Program Files is read-only to a user without the attribute).
    const std::wstring probe = wide(join(program, ".quillbox-write-test." + std::to_string(GetCurrentProcessId())));
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::string homeDirectory() {
    std::string home = env("QUILLBOX_HOME");
    if (!home.empty()) {
        makeDirectories(home);
        return home;
    }
    if (programDirectoryWritable())
        return programDirectory();
    std::string appData = knownFolder(FOLDERID_RoamingAppData);
    const std::string fallback = appData.empty() ? programDirectory() : join(withSlashes(appData), "Quillbox");
    makeDirectories(fallback);
    return fallback;
}

std::string cacheDirectory() {
    std::string cache = env("XDG_CACHE_HOME");
    if (!cache.empty())
        return cache;
    const std::string local = knownFolder(FOLDERID_InternetCache);
    return local.empty() ? withSlashes(knownFolder(FOLDERID_LocalAppData)) : withSlashes(local);
}

std::string desktopDirectory() {
    std::string desktop = env("XDG_DESKTOP_DIR");
    if (!desktop.empty())
        return desktop;
    desktop = withSlashes(knownFolder(FOLDERID_Desktop));
    if (!desktop.empty() && isDirectory(desktop))
        return desktop;
    return withSlashes(knownFolder(FOLDERID_Profile));
}

}  // namespace quillbox::paths
