#pragma once
// Paths for the standard library's file-system calls, from the program's UTF-8 text and back.
//
// A std::string given to std::filesystem::path is read in the system's narrow code page
// where the system's own paths are UTF-16 (Windows): a folder named in Chinese would be made
// with a garbled name, or looked for and not found. Every path the program hands to
// std::filesystem goes through fsPath, and every one it takes back through utf8Path. On Linux
// both keep the bytes as they are.
#include <filesystem>
#include <string>
#include <string_view>

namespace quillbox::files {

inline std::filesystem::path fsPath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace quillbox::files
