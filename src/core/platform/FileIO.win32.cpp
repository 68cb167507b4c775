// Files on Windows: read and written through the Win32 calls with UTF-16 names (a path is
// UTF-8 inside the program), always in binary; a file is replaced by writing a temporary
// file beside it and moving it into place with MoveFileExW (rename refuses an existing
// target there).
#include "core/platform/FileIO.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

#include "core/platform/WindowsText.h"

namespace quillbox::platform {

std::string errorText(unsigned long code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "Permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "No space left on device";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "File exists";
    case ERROR_DIRECTORY: return "Is a directory";
    case ERROR_WRITE_PROTECT: return "Read-only file system";
    default: break;
    }
    wchar_t* message = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = n && message ? narrow(std::wstring_view(message, n)) : std::string();
    if (message)
        LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace quillbox::platform

namespace quillbox::files {
namespace {

using platform::errorText;
using platform::wide;

bool fail(std::string* error, const std::string& path, DWORD code) {
    if (error)
        *error = path + ": " + errorText(code);
    return false;
}

bool readHandle(HANDLE file, const std::string& path, std::string& bytes, std::string* error) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[1 << 16];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            if (code == ERROR_BROKEN_PIPE)  // a pipe's writer has finished
                return true;
            bytes.clear();
            return fail(error, path, code);
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return true;
}

HANDLE openForReading(const std::string& path) {
    return CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool writeHandle(HANDLE file, const std::string& bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!WriteFile(file, p, chunk, &n, nullptr))
            return false;
        p += n;
        left -= n;
    }
    return true;
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    if (slash == 0 || (slash == 2 && path[1] == ':'))
        return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

}  // namespace

bool readAll(const std::string& path, std::string& bytes, std::string* error) {
    bytes.clear();
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(error, path, ERROR_DIRECTORY);
    const HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return fail(error, path, GetLastError());
    return readHandle(file, path, bytes, error);
}

bool readRegularFile(const std::string& path, std::string& bytes, std::string* error) {
    bytes.clear();
    const HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(wide(path).c_str());
        return fail(error, path,
                    attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_DIRECTORY
                                                                                                     : code);
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        if (error)
            *error = path + ": not a regular file";
        return false;
    }
    return readHandle(file, path, bytes, error);
}

bool writeAtomically(const std::string& path, const std::string& bytes, std::string* error, WriteOptions options) {
    if (path.empty())
        return fail(error, path, ERROR_FILE_NOT_FOUND);
    const std::wstring target = wide(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(error, path, ERROR_DIRECTORY);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND)
            return fail(error, path, code);
    }
    // The temporary file beside the target: same volume, so the move is a rename.
    static std::atomic<unsigned> counter{0};
    std::string stem = path.substr(parentOf(path).size());
    while (!stem.empty() && (stem.front() == '/' || stem.front() == '\\'))
        stem.erase(0, 1);
    if (stem.size() > 200)
        stem.resize(200);
    const std::string temp = parentOf(path) + "/." + stem + "." + std::to_string(GetCurrentProcessId()) + "." +
                             std::to_string(counter++) + ".tmp";
    const std::wstring wtemp = wide(temp);
    const HANDLE file = CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(error, path, GetLastError());
    bool ok = writeHandle(file, bytes);
    DWORD code = ok ? 0 : GetLastError();
    if (ok && options.sync && !FlushFileBuffers(file)) {
        ok = false;
        code = GetLastError();
    }
    CloseHandle(file);
    if (ok && !MoveFileExW(wtemp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        DeleteFileW(wtemp.c_str());
        return fail(error, path, code);
    }
    return true;
}

long maxNameLength(const std::string&) { return MAX_PATH - 5; }

bool nothingAt(const std::string& path, bool) {
    if (GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool createNew(const std::string& path, const std::string& bytes, std::string* error) {
    const std::wstring name = wide(path);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(error, path, GetLastError());
    const bool written = writeHandle(file, bytes);
    const DWORD code = GetLastError();
    CloseHandle(file);
    if (!written) {
        DeleteFileW(name.c_str());
        return fail(error, path, code);
    }
    return true;
}

MoveResult moveWithoutReplacing(const std::string& from, const std::string& to, std::string* error) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target is refused.
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return MoveResult::Moved;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return MoveResult::TargetExists;
    fail(error, from, code);
    return MoveResult::Failed;
}

FileLock::~FileLock() {
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle_)));
}

bool FileLock::tryLock(const std::string& path, std::string* error) {
    // Opened without sharing: the lock is the open handle itself.
    const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION)
            return false;
        return fail(error, path, code);
    }
    OVERLAPPED all{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &all)) {
        CloseHandle(file);
        return false;
    }
    handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(file));
    return true;
}

}  // namespace quillbox::files
