#pragma once
// Whole-file reads and safe writes.
#include <string>

namespace quillbox::files {

// Reads the whole file; false (and `error` set) when it cannot be read.
bool readAll(const std::string& path, std::string& bytes, std::string* error = nullptr);

// Writes bytes to a temporary file beside `path` and renames it into place, so a failed
// write never destroys what was there. The file is synced before the rename and gets
// `mode` less the umask. False with a reason in `error` on failure.
bool writeAtomically(const std::string& path, const std::string& bytes, std::string* error = nullptr,
                     unsigned mode = 0666);

}  // namespace quillbox::files
