// Putting a new version in place on Windows: a running program's file cannot be written
// over, but it can be renamed, so the old file steps aside (quillbox.exe.old, removed at the
// next replacement) and the new one takes its name with MoveFileExW.
#include "core/online/ProgramReplacement.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>

#include "core/platform/FileIO.h"
#include "core/platform/Paths.h"
#include "core/platform/WindowsText.h"

namespace quillbox::online {
namespace {

using platform::errorText;
using platform::wide;

std::string directoryOf(const std::string& program) {
    const std::size_t slash = program.find_last_of("/\\");
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

// The old program steps aside, the new file takes its place; on failure the old one returns.
bool moveIntoPlace(const std::string& program, const std::string& fresh, std::string* error) {
    const std::wstring target = wide(program), aside = wide(program + ".old"), source = wide(fresh);
    DeleteFileW(aside.c_str());
    const bool hadProgram = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (hadProgram && !MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        if (error)
            *error = program + ": " + errorText(GetLastError());
        return false;
    }
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        if (hadProgram)
            MoveFileExW(aside.c_str(), target.c_str(), 0);
        if (error)
            *error = program + ": " + errorText(code);
        return false;
    }
    return true;
}

}  // namespace

std::string installedProgramPath() { return paths::join(paths::programDirectory(), "quillbox.exe"); }

bool canReplaceProgram(const std::string& program) {
    const std::string probe = paths::join(directoryOf(program), ".quillbox-update-test." + std::to_string(GetCurrentProcessId()));
    const HANDLE file = CreateFileW(wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool replaceProgram(const std::string& program, const std::string& bytes, std::string* error) {
    const std::string fresh = program + ".new";
    if (!files::writeAtomically(fresh, bytes, error))
        return false;
    if (moveIntoPlace(program, fresh, error))
        return true;
    DeleteFileW(wide(fresh).c_str());
    return false;
}

bool installDownload(const std::string& program, const std::string& download, int fd, std::string* error) {
    const bool synced = _commit(fd) == 0;
    if (_close(fd) != 0 || !synced) {
        DeleteFileW(wide(download).c_str());
        if (error)
            *error = download + ": cannot be written to the disk";
        return false;
    }
    if (moveIntoPlace(program, download, error))
        return true;
    DeleteFileW(wide(download).c_str());
    return false;
}

bool startDetached(const std::string& program) {
    std::wstring commandLine = L"\"" + wide(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace quillbox::online
