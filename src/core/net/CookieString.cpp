#include "core/net/CookieString.h"

#include <algorithm>
#include <cctype>

namespace quillbox::net {
namespace {

// The full-width space of code page 936.
constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

std::string_view dropLeadingSpaces(std::string_view text) {
    for (;;) {
        if (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        else if (text.substr(0, kFullWidthSpace.size()) == kFullWidthSpace)
            text.remove_prefix(kFullWidthSpace.size());
        else
            return text;
    }
}

bool isDeletionMarker(std::string_view entry) {
    for (std::string_view marker : {"=deleted;", "=DELETED;", "=Deleted;"})
        if (entry.size() >= marker.size() && entry.substr(entry.size() - marker.size()) == marker)
            return true;
    return false;
}

// Merges one entry "name=value;" into the string.
bool mergeEntry(std::string& cookieString, std::string_view entry, bool honourDeletion) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos || equals == 0)
        return false;
    const std::string_view name = entry.substr(0, equals);
    const bool deletion = honourDeletion && isDeletionMarker(entry);

    // The "=" belongs to the key: without it a cookie "a" would find the entry "ab=...".
    const std::string key = std::string(kEmptyCookieString) + std::string(name) + "=";
    const std::size_t found = cookieString.find(key);
    if (found == std::string::npos) {
        if (deletion)
            return false;
        cookieString.append(entry).push_back(' ');
        return true;
    }
    const std::size_t start = found + kEmptyCookieString.size();
    const std::size_t separator = cookieString.find(kEmptyCookieString, start);
    // Every entry ends in "; ", so the separator is there; stay safe if the string was
    // damaged anyway.
    const std::size_t end = separator == std::string::npos ? cookieString.size() : separator + 1;
    if (deletion) {
        cookieString.erase(start - 1, end - (start - 1));  // with the space before it
        return true;
    }
    if (std::string_view(cookieString).substr(start, end - start) == entry)
        return false;
    cookieString.replace(start, end - start, entry);
    return true;
}

std::size_t findNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from) {
    if (lowerNeedle.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = from; i + lowerNeedle.size() <= text.size(); ++i) {
        bool match = true;
        for (std::size_t k = 0; k < lowerNeedle.size() && match; ++k)
            match = std::tolower(static_cast<unsigned char>(text[i + k])) == lowerNeedle[k];
        if (match)
            return i;
    }
    return std::string_view::npos;
}

}  // namespace

bool mergeSetCookieHeaders(std::string& cookieString, std::string_view rawHeaders) {
    static constexpr std::string_view kSetCookie = "set-cookie:";
    bool changed = false;
    std::size_t pos = 0;
    while ((pos = findNoCase(rawHeaders, kSetCookie, pos)) != std::string_view::npos) {
        pos += kSetCookie.size();
        // The entry stays on its own line: a cookie without attributes has no ";" and must
        // not swallow the headers after it.
        const std::size_t lineEnd = std::min(rawHeaders.find('\r', pos), rawHeaders.find('\n', pos));
        const std::string_view line = rawHeaders.substr(pos, lineEnd == std::string_view::npos
                                                                 ? std::string_view::npos
                                                                 : lineEnd - pos);
        const std::size_t semicolon = line.find(';');
        std::string entry(dropLeadingSpaces(line.substr(0, semicolon)));
        entry.push_back(';');
        changed |= mergeEntry(cookieString, entry, true);
    }
    return changed;
}

bool mergeCookiePairs(std::string& cookieString, std::string_view pairs) {
    bool changed = false;
    while (!pairs.empty()) {
        const std::size_t semicolon = pairs.find(';');
        std::string entry(dropLeadingSpaces(pairs.substr(0, semicolon)));
        pairs.remove_prefix(semicolon == std::string_view::npos ? pairs.size() : semicolon + 1);
        if (entry.empty())
            continue;
        entry.push_back(';');
        changed |= mergeEntry(cookieString, entry, false);
    }
    return changed;
}

std::string cookieHeaderValue(std::string_view cookieString) {
    if (cookieString.size() <= 2 * kEmptyCookieString.size())
        return {};
    return std::string(cookieString.substr(2, cookieString.size() - 4));
}

}  // namespace quillbox::net
