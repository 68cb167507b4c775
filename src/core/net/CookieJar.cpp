#include "core/net/CookieJar.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "core/net/UrlParser.h"
#include "core/text/Ascii.h"

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

bool isDeletionValue(std::string_view value) {
    return value == "deleted" || value == "DELETED" || value == "Deleted";
}

bool isIpLiteral(std::string_view host) {
    if (host.starts_with("["))
        return true;
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool domainMatches(std::string_view host, std::string_view domain) {
    if (host == domain)
        return true;
    return !isIpLiteral(host) && host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (requestPath == cookiePath)
        return true;
    if (!requestPath.starts_with(cookiePath))
        return false;
    return cookiePath.ends_with("/") || requestPath[cookiePath.size()] == '/';
}

// RFC 6265 5.1.4: the request path up to its last "/", or "/".
std::string defaultPath(std::string_view requestPath) {
    if (!requestPath.starts_with("/"))
        return "/";
    const std::size_t last = requestPath.rfind('/');
    return last == 0 ? "/" : std::string(requestPath.substr(0, last));
}

}  // namespace

CookieScope cookieScope(std::string_view host, std::string_view path, bool secure) {
    CookieScope scope;
    scope.host = text::lowerAscii(host);
    scope.path = path.empty() ? "/" : std::string(path);
    scope.secure = secure;
    return scope;
}

bool CookieJar::store(Entry entry, bool deletion) {
    auto same = [&](const Entry& e) {
        return e.name == entry.name && e.domain == entry.domain && e.path == entry.path;
    };
    const auto found = std::find_if(entries_.begin(), entries_.end(), same);
    if (deletion) {
        if (found == entries_.end())
            return false;
        entries_.erase(found);
        return true;
    }
    if (found == entries_.end()) {
        entries_.push_back(std::move(entry));
        return true;
    }
    if (found->value == entry.value && found->hostOnly == entry.hostOnly && found->secure == entry.secure)
        return false;
    *found = std::move(entry);
    return true;
}

bool CookieJar::takeResponse(std::string_view rawHeaders, const CookieScope& scope) {
    static constexpr std::string_view kSetCookie = "set-cookie:";
    bool changed = false;
    std::size_t pos = 0;
    while ((pos = text::findNoCaseAscii(rawHeaders, kSetCookie, pos)) != std::string_view::npos) {
        // Only at the start of a line: "X-Set-Cookie:" is another header.
        const bool lineStart = pos == 0 || rawHeaders[pos - 1] == '\n';
        pos += kSetCookie.size();
        if (!lineStart)
            continue;
        const std::size_t lineEnd = rawHeaders.find_first_of("\r\n", pos);
        std::string_view line =
            rawHeaders.substr(pos, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - pos);
        const std::size_t semicolon = line.find(';');
        const std::string_view pair = dropLeadingSpaces(line.substr(0, semicolon));
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals == 0)
            continue;

        Entry entry;
        entry.name = std::string(pair.substr(0, equals));
        entry.value = std::string(pair.substr(equals + 1));
        entry.domain = scope.host;
        entry.path = defaultPath(scope.path);
        // A cookie that came over https goes back only over https: a redirect from https to
        // http carries none of them.
        entry.secure = scope.secure;
        bool deletion = isDeletionValue(entry.value);
        bool refused = false;
        std::string_view attributes = semicolon == std::string_view::npos ? std::string_view() : line.substr(semicolon + 1);
        while (!attributes.empty()) {
            const std::size_t next = attributes.find(';');
            const std::string_view attribute = text::trimBlanks(attributes.substr(0, next));
            attributes.remove_prefix(next == std::string_view::npos ? attributes.size() : next + 1);
            const std::size_t eq = attribute.find('=');
            const std::string name = text::lowerAscii(text::trimBlanks(attribute.substr(0, eq)));
            const std::string_view value =
                eq == std::string_view::npos ? std::string_view() : text::trimBlanks(attribute.substr(eq + 1));
            if (name == "domain" && !value.empty()) {
                std::string domain = text::lowerAscii(value);
                if (domain.starts_with("."))
                    domain.erase(0, 1);
                if (!domainMatches(scope.host, domain))
                    refused = true;  // a host may not set cookies for another
                else if (domain != scope.host) {
                    entry.domain = domain;
                    entry.hostOnly = false;
                }
            } else if (name == "path" && value.starts_with("/")) {
                entry.path = std::string(value);
            } else if (name == "secure") {
                entry.secure = true;
            } else if (name == "max-age" && !value.empty()) {
                char* end = nullptr;
                const std::string digits(value);
                const long long seconds = std::strtoll(digits.c_str(), &end, 10);
                if (end && *end == '\0' && seconds <= 0)
                    deletion = true;
            } else if (name == "expires" && !value.empty()) {
                const std::string date(value);
                const time_t when = parseHttpDate(date);
                if (when != -1 && when < std::time(nullptr))
                    deletion = true;
            }
        }
        if (refused)
            continue;
        changed |= store(std::move(entry), deletion);
    }
    return changed;
}

bool CookieJar::takePairs(std::string_view pairs, std::string_view host) {
    bool changed = false;
    while (!pairs.empty()) {
        const std::size_t semicolon = pairs.find(';');
        const std::string_view pair = dropLeadingSpaces(pairs.substr(0, semicolon));
        pairs.remove_prefix(semicolon == std::string_view::npos ? pairs.size() : semicolon + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals == 0)
            continue;
        Entry entry;
        entry.name = std::string(pair.substr(0, equals));
        entry.value = std::string(pair.substr(equals + 1));
        entry.domain = text::lowerAscii(host);
        changed |= store(std::move(entry), false);
    }
    return changed;
}

void CookieJar::bindUnscoped(std::string_view host) {
    const std::string lower = text::lowerAscii(host);
    for (Entry& entry : entries_)
        if (entry.domain.empty())
            entry.domain = lower;
    // A cookie now bound may have taken the identity of one already there: the later wins.
    for (std::size_t i = entries_.size(); i-- > 0;)
        for (std::size_t k = 0; k < i; ++k)
            if (entries_[k].name == entries_[i].name && entries_[k].domain == entries_[i].domain &&
                entries_[k].path == entries_[i].path) {
                entries_[k] = entries_[i];
                entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
}

std::string CookieJar::headerFor(const CookieScope& scope) const {
    std::string header;
    for (const Entry& entry : entries_) {
        if (entry.domain.empty())
            continue;
        const bool hostOk = entry.hostOnly ? scope.host == entry.domain : domainMatches(scope.host, entry.domain);
        if (!hostOk || !pathMatches(scope.path, entry.path) || (entry.secure && !scope.secure))
            continue;
        if (!header.empty())
            header += "; ";
        header += entry.name + "=" + entry.value;
    }
    return header;
}

std::string CookieJar::text() const {
    std::string out(kEmptyCookieString);
    for (const Entry& entry : entries_)
        out += entry.name + "=" + entry.value + "; ";
    return out;
}

}  // namespace quillbox::net
