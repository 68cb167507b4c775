#pragma once
// Putting a new version of the program in place of the running one, and starting it.
#include <string>

namespace quillbox::online {

// The program file a self-update replaces: the desktop program beside this executable.
std::string installedProgramPath();

// True when the directory of `program` lets us put a new file there: not for a program
// under /usr (the system's package manager owns it), nor in a directory without write
// permission.
bool canReplaceProgram(const std::string& program);

// Writes the bytes to a temporary file in the program's directory, syncs it, makes it
// executable and renames it over the program, so there is never a moment without a
// program file and a failure leaves the old one as it was. False with the reason in error.
bool replaceProgram(const std::string& program, const std::string& bytes, std::string* error);

// Puts a verified download in place of the program: `download` is a file in the program's
// own directory, open as `fd`; it gets the program's permissions (with the execute bits),
// is synced and renamed over the program. The descriptor is closed; on failure the
// download is removed and the program is as it was. False with the reason in error.
bool installDownload(const std::string& program, const std::string& download, int fd, std::string* error);

// Starts the program in a session of its own without waiting for it. False when it could
// not be started.
bool startDetached(const std::string& program);

}  // namespace quillbox::online
