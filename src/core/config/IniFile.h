#pragma once
// An ini file read and written one key at a time, with the semantics of the Windows
// profile-string functions the settings file was first made for:
// - every access opens the file anew; nothing is cached;
// - a missing file, section or key reads as the caller's default;
// - section and key names are compared without regard to ASCII case and to the spaces
//   around them; values lose their surrounding spaces, and a value wrapped in a matching
//   pair of double or single quotes loses the quotes;
// - the first section of a name counts, and the first key of a name within it;
// - lines starting with ";" are comments; lines that are neither a section header nor
//   hold "=" are ignored.
// A write creates the file and the section as needed and keeps every other line of the
// file byte for byte (comments, blank lines, line endings, encoding). Text is UTF-8 in the
// program and GB18030 on disk; a file that a Linux editor saved as UTF-8 is read as UTF-8
// and kept in UTF-8.
#include <string>
#include <string_view>

namespace quillbox::config {

class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    std::string read(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // Sets section.key to value. False, with the reason in `error`, when the names or the
    // value cannot stand in an ini line (empty names, line breaks, "]" in a section name,
    // "=" in a key name), or when the file cannot be read or written; the file is then
    // left as it was. The file is replaced in one step, so a crash mid-write never leaves
    // a half-written settings file.
    bool write(std::string_view section, std::string_view key, std::string_view value,
               std::string* error = nullptr) const;

    // Writes valueIfTrue or valueIfFalse depending on condition.
    bool writeIf(bool condition, std::string_view section, std::string_view key, std::string_view valueIfTrue,
                 std::string_view valueIfFalse, std::string* error = nullptr) const {
        return write(section, key, condition ? valueIfTrue : valueIfFalse, error);
    }

private:
    std::string path_;
};

}  // namespace quillbox::config
