#include "core/project/ProjectFile.h"

#include <algorithm>

#include "core/text/Regex.h"

namespace quillbox::project_file {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// The importer's patterns. Files written by every earlier version are split by them, so
// they stay exactly as they are.
constexpr std::string_view kProjectPattern =
    "//========================\\r\\n//       START\\s+(.*)\\r\\n//========================\\r\\n([\\s\\S]*?)"
    "\\r\\n//========================\\r\\n//       END\\s+(.*)\\r\\n//========================";
constexpr std::string_view kHeaderPattern = "(//========================\\r\\n//\\s+(.*)\\.js\\r\\n//========================)";
constexpr std::string_view kModulePattern =
    "//========================\\r\\n//\\s+(.+)\\.js\\r\\n//========================\\r\\n([\\s\\S]*?)"
    "\\r\\n//========================\\r\\n//\\s+(.+)\\.js\\r\\n//========================";
// A header no module has: it closes the last module, and (with a line break after it)
// gives the first module a header to pair with.
constexpr std::string_view kSentinelHeader = "\r\n//========================\r\n//  ssadsadsadsdasadasdasd.js\r\n//========================";

void appendBlock(std::string& out, std::string_view label) {
    out.append(kSeparator).append(kCrLf);
    out.append("//       ").append(label).append(kCrLf);
    out.append(kSeparator).append(kCrLf);
}

// Removes ASCII spaces and the ideographic space U+3000.
std::string withoutSpaces(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ' ')
            continue;
        if (name.compare(i, 3, "\xE3\x80\x80") == 0) {
            i += 2;
            continue;
        }
        out.push_back(name[i]);
    }
    return out;
}

}  // namespace

std::string build(const std::string& project, const std::vector<ExportedModule>& modules) {
    std::size_t size = 256 + 2 * project.size();
    for (const ExportedModule& m : modules)
        size += m.code.size() + m.name.size() + 96;
    std::string out;
    out.reserve(size);
    appendBlock(out, "START   " + project);
    out.append(kCrLf);
    for (const ExportedModule& m : modules) {
        appendBlock(out, m.name + ".js");
        out.append(m.code);
        out.append(m.lastPage ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n");
    }
    out.append(kCrLf);
    appendBlock(out, "END   " + project);
    // A module may itself hold the signature (a file exported and pasted back in); the
    // format then carries no second one.
    if (out.find(kSignatureMark) == std::string::npos)
        out.append(kSignature);
    return out;
}

SplitProject split(std::string text) {
    SplitProject result;
    auto failed = [&](std::string why) {
        result = SplitProject{};
        result.ok = false;
        result.error = std::move(why);
        return result;
    };
    const text::RegexOptions global{true, true, true};

    // Only the first project counts, so the project pattern need not look further.
    const text::Regex projectPattern(kProjectPattern, text::RegexOptions{true, true, false});
    std::string_view rawName;
    std::string_view body;
    bool found = false;
    std::string error = projectPattern.scan(text, [&](const text::RegexMatchView& m) {
        found = true;
        rawName = m.submatches[0];
        body = m.submatches[1];
    });
    if (!error.empty())
        return failed(error);
    if (!found) {
        result.unsplit = std::move(text);
        return result;
    }
    result.name = withoutSpaces(rawName);
    if (result.name.empty()) {
        result.unsplit = std::move(text);
        return result;
    }

    // The module names, and the places of their headers for the doubling below.
    struct Header {
        std::size_t position;
        std::size_t length;
    };
    std::vector<Header> headers;
    const text::Regex headerPattern(kHeaderPattern, global);
    error = headerPattern.scan(body, [&](const text::RegexMatchView& m) {
        result.moduleNames.emplace_back(m.submatches[1]);
        headers.push_back({m.position, m.value.size()});
    });
    if (!error.empty())
        return failed(error);

    // Every header is doubled (the header pattern's match replaced by "$1\r\n$1"), so
    // that it both closes the module before it and opens its own; sentinel headers open
    // the first module and close the last. Built in one pass, as large files need.
    std::size_t size = body.size() + 2 * kSentinelHeader.size() + 2;
    for (const Header& h : headers)
        size += h.length + 2;
    std::string wrapped;
    wrapped.reserve(size);
    wrapped.append(kSentinelHeader).append(kCrLf);
    std::size_t copied = 0;
    for (const Header& h : headers) {
        const std::string_view header = body.substr(h.position, h.length);
        wrapped.append(body.substr(copied, h.position - copied));
        wrapped.append(header).append(kCrLf).append(header);
        copied = h.position + h.length;
    }
    wrapped.append(body.substr(copied));
    wrapped.append(kSentinelHeader);
    body = {};
    std::string().swap(text);

    const text::Regex modulePattern(kModulePattern, global);
    bool first = true;
    error = modulePattern.scan(wrapped, [&](const text::RegexMatchView& m) {
        if (first) {
            first = false;  // the leading sentinel paired with the first header
            return;
        }
        result.codes.emplace_back(m.submatches[1]);
    });
    if (!error.empty())
        return failed(error);
    // Odd headers (a name only the looser header pattern accepts) can leave the two lists
    // of different lengths; names decide what is imported.
    result.codes.resize(result.moduleNames.size());
    return result;
}

namespace {

// Code as import gives it back: the code, then nothing but CR LF pairs.
bool sameCode(std::string_view original, std::string_view imported) {
    if (imported.substr(0, original.size()) != original)
        return false;
    for (std::size_t i = original.size(); i < imported.size(); i += 2)
        if (imported.compare(i, 2, kCrLf) != 0)
            return false;
    return true;
}

}  // namespace

std::string checkRoundTrip(const std::string& project, const std::vector<ExportedModule>& modules, std::string text) {
    const SplitProject back = split(std::move(text));
    if (!back.ok || back.name.empty() || back.name != withoutSpaces(project))
        return "项目名称[" + project + "]无法存入项目文件";
    const std::size_t n = std::min(back.moduleNames.size(), modules.size());
    for (std::size_t i = 0; i < n; ++i)
        if (back.moduleNames[i] != modules[i].name || !sameCode(modules[i].code, back.codes[i]))
            return "模块[" + modules[i].name + "]的名称或代码无法存入项目文件";
    if (back.moduleNames.size() < modules.size())  // the project ended at this module's name
        return "模块[" + modules[n].name + "]的名称或代码无法存入项目文件";
    if (back.moduleNames.size() > modules.size())  // the last module's code was split
        return modules.empty() ? "项目名称[" + project + "]无法存入项目文件"
                               : "模块[" + modules.back().name + "]的名称或代码无法存入项目文件";
    return "";
}

}  // namespace quillbox::project_file
