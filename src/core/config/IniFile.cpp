#include "core/config/IniFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "core/platform/FileIO.h"
#include "core/text/Text.h"
#include "core/platform/FsPath.h"

namespace quillbox::config {
namespace {

constexpr std::string_view kSpaces = " \t\r\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(kSpaces);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = s.find_last_not_of(kSpaces);
    return s.substr(first, last - first + 1);
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

// One line of the file as it is on disk, and what it says.
struct Line {
    std::string raw;         // the bytes without the line break
    std::string terminator;  // "\n", "\r\n" or "" for a last line without one
    enum Kind { Other, Section, Key } kind = Other;
    std::string name;        // section or key name, trimmed, UTF-8
    std::string value;       // key value, trimmed, UTF-8
};

struct ParsedFile {
    std::vector<Line> lines;
    bool utf8 = false;  // the file reads as UTF-8 (and new lines are written so)
    std::string newline = "\n";
};

ParsedFile parse(const std::string& bytes) {
    ParsedFile file;
    file.utf8 = text::isValidUtf8(bytes) && text::hasNonAscii(bytes);
    std::size_t pos = 0;
    bool first = true;
    while (pos < bytes.size()) {
        Line line;
        const std::size_t nl = bytes.find('\n', pos);
        const std::size_t end = nl == std::string::npos ? bytes.size() : nl;
        line.raw = bytes.substr(pos, end - pos);
        if (nl != std::string::npos) {
            line.terminator = "\n";
            if (!line.raw.empty() && line.raw.back() == '\r') {
                line.raw.pop_back();
                line.terminator = "\r\n";
            }
        }
        pos = nl == std::string::npos ? bytes.size() : nl + 1;

        std::string decoded = file.utf8 ? line.raw : text::fromGb18030(line.raw);
        if (first) {
            // A byte-order mark (UTF-8's, or GB18030's which decodes to U+FEFF) is no part
            // of the first line's text.
            if (decoded.starts_with(kUtf8Bom))
                decoded.erase(0, kUtf8Bom.size());
            if (!line.terminator.empty())
                file.newline = line.terminator;
            first = false;
        }
        const std::string_view t = trim(decoded);
        if (!t.empty() && t.front() == '[') {
            const std::size_t close = t.find(']');
            if (close != std::string_view::npos) {
                line.kind = Line::Section;
                line.name = trim(t.substr(1, close - 1));
            }
        } else if (!t.empty() && t.front() != ';') {
            const std::size_t eq = t.find('=');
            if (eq != std::string_view::npos) {
                line.kind = Line::Key;
                line.name = trim(t.substr(0, eq));
                line.value = trim(t.substr(eq + 1));
            }
        }
        file.lines.push_back(std::move(line));
    }
    return file;
}

// Index of the first header of the section, if any.
std::optional<std::size_t> findSection(const ParsedFile& file, std::string_view section) {
    for (std::size_t i = 0; i < file.lines.size(); ++i)
        if (file.lines[i].kind == Line::Section && sameName(file.lines[i].name, section))
            return i;
    return std::nullopt;
}

// One past the section's last line: the next header or the end of the file.
std::size_t sectionEnd(const ParsedFile& file, std::size_t header) {
    std::size_t i = header + 1;
    while (i < file.lines.size() && file.lines[i].kind != Line::Section)
        ++i;
    return i;
}

std::optional<std::size_t> findKey(const ParsedFile& file, std::size_t header, std::string_view key) {
    const std::size_t end = sectionEnd(file, header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (file.lines[i].kind == Line::Key && sameName(file.lines[i].name, key))
            return i;
    return std::nullopt;
}

std::string unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool fail(std::string* error, std::string message) {
    if (error)
        *error = std::move(message);
    return false;
}

// Reads the file; a file that does not exist reads as empty. False when it exists but
// cannot be read: writing then would throw away every other setting.
// The settings are a regular file: anything else in its place (a FIFO, which would hold
// the program at its first read until something writes to it; a device) is not read.
bool readRegular(const std::string& path, std::string& bytes, std::string* error) {
    return files::readRegularFile(path, bytes, error);
}

bool load(const std::string& path, std::string& bytes, std::string* error) {
    std::string reason;
    if (readRegular(path, bytes, &reason))
        return true;
    if (files::nothingAt(path)) {
        bytes.clear();
        return true;
    }
    return fail(error, reason);
}

// The file that a write must replace: the target of a symbolic link, so that the link
// stays a link.
std::string writeTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(files::fsPath(path), ec))
        return path;
    const std::filesystem::path target = std::filesystem::weakly_canonical(files::fsPath(path), ec);
    return ec ? path : files::utf8Path(target);
}

}  // namespace

std::string IniFile::read(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    std::string bytes;
    if (!readRegular(path_, bytes, nullptr))
        return std::string(defaultValue);
    const ParsedFile file = parse(bytes);
    const auto header = findSection(file, trim(section));
    if (!header)
        return std::string(defaultValue);
    const auto line = findKey(file, *header, trim(key));
    if (!line)
        return std::string(defaultValue);
    return unquote(file.lines[*line].value);
}

bool IniFile::write(std::string_view sectionName, std::string_view keyName, std::string_view value,
                    std::string* error) const {
    const std::string_view section = trim(sectionName);
    const std::string_view key = trim(keyName);
    auto hasLineBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (section.empty() || key.empty())
        return fail(error, "empty section or key name");
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        return fail(error, "line break in a section name, key name or value");
    if (section.find(']') != std::string_view::npos)
        return fail(error, "\"]\" in the section name " + std::string(section));
    if (key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
        return fail(error, "the key name " + std::string(key) + " cannot stand in an ini line");

    std::string bytes;
    if (!load(path_, bytes, error))
        return false;
    ParsedFile file = parse(bytes);
    auto encode = [&file](std::string_view s) { return file.utf8 ? std::string(s) : text::toGb18030(s); };

    if (const auto header = findSection(file, section)) {
        if (const auto at = findKey(file, *header, key)) {
            // Keep the line's indentation and the key as the file spells it.
            Line& line = file.lines[*at];
            const std::size_t indent = line.raw.find_first_not_of(kSpaces);
            const std::size_t eq = line.raw.find('=');
            std::string keyText(trim(std::string_view(line.raw).substr(indent, eq - indent)));
            line.raw = line.raw.substr(0, indent) + keyText + "=" + encode(value);
        } else {
            // After the section's last key, so that a comment introducing the next section
            // stays with that section.
            std::size_t after = *header;
            for (std::size_t i = *header + 1; i < sectionEnd(file, *header); ++i)
                if (file.lines[i].kind == Line::Key)
                    after = i;
            if (file.lines[after].terminator.empty())
                file.lines[after].terminator = file.newline;
            Line added;
            added.raw = encode(key) + "=" + encode(value);
            added.terminator = file.newline;
            file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, std::move(added));
        }
    } else {
        if (!file.lines.empty() && file.lines.back().terminator.empty())
            file.lines.back().terminator = file.newline;
        Line heading;
        heading.raw = "[" + encode(section) + "]";
        heading.terminator = file.newline;
        Line added;
        added.raw = encode(key) + "=" + encode(value);
        added.terminator = file.newline;
        file.lines.push_back(std::move(heading));
        file.lines.push_back(std::move(added));
    }

    std::string out;
    out.reserve(bytes.size() + value.size() + section.size() + key.size() + 8);
    for (const Line& line : file.lines)
        out += line.raw + line.terminator;
    if (out == bytes)
        return true;
    // The new file takes the old one's permissions (writeAtomically keeps them): a settings
    // file the user made private stays private.
    return files::writeAtomically(writeTarget(path_), out, error);
}

}  // namespace quillbox::config
