#include "core/project/ProjectFile.h"

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
constexpr std::string_view kHeaderDoubling = "$1\r\n$1";
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
    std::string rawName;
    std::string body;
    bool found = false;
    std::string error = projectPattern.scan(text, [&](const text::RegexMatchView& m) {
        found = true;
        rawName.assign(m.submatches[0]);
        body.assign(m.submatches[1]);
    });
    if (!error.empty())
        return failed(error);
    std::string().swap(text);
    if (!found)
        return result;
    result.name = withoutSpaces(rawName);
    if (result.name.empty())
        return result;

    const text::Regex headerPattern(kHeaderPattern, global);
    error = headerPattern.scan(body, [&](const text::RegexMatchView& m) {
        result.moduleNames.emplace_back(m.submatches[1]);
    });
    if (!error.empty())
        return failed(error);

    // Every header both closes the module before it and opens its own.
    text::ReplaceResult doubled = headerPattern.replace(body, kHeaderDoubling);
    if (!doubled.ok)
        return failed(doubled.error);
    std::string().swap(body);
    std::string wrapped;
    wrapped.reserve(doubled.text.size() + 2 * kSentinelHeader.size() + 2);
    wrapped.append(kSentinelHeader).append(kCrLf);
    wrapped.append(doubled.text);
    std::string().swap(doubled.text);
    wrapped.append(kSentinelHeader);

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

}  // namespace quillbox::project_file
