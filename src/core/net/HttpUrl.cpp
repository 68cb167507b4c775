#include "core/net/HttpUrl.h"

#include <cctype>

#include "core/net/UrlParser.h"

namespace quillbox::net {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != lowerPrefix[i])
            return false;
    return true;
}

}  // namespace

std::string applySchemeRule(std::string_view url) {
    if (url.size() > 7 && (startsWithNoCase(url, "https://") || startsWithNoCase(url, "http://")))
        return std::string(url);
    return "http://" + std::string(url);
}

std::string encodeUrlBytes(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7F) {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

CrackedUrl crackUrl(std::string_view encodedUrl) {
    CrackedUrl cracked;
    const UrlParts parts = parseAbsoluteUrl(encodedUrl);
    if (!parts.ok || (parts.scheme != "http" && parts.scheme != "https"))
        return cracked;
    cracked.host = parts.host;
    cracked.port = parts.port;
    cracked.path = parts.path.empty() ? "/" : parts.path;
    cracked.secure = parts.scheme == "https";
    cracked.ok = !cracked.host.empty() && cracked.port > 0;
    return cracked;
}

std::string resolveLocation(std::string_view location, std::string_view requestUrl, bool secure,
                            std::string_view host, int port) {
    if (location.empty())
        return {};
    if (startsWithNoCase(location, "http://") || startsWithNoCase(location, "https://"))
        return std::string(location);
    const std::string scheme = secure ? "https:" : "http:";
    if (location.substr(0, 2) == "//")
        return scheme + std::string(location);
    if (location.front() == '/')
        return scheme + "//" + std::string(host) + ":" + std::to_string(port) + std::string(location);

    // Relative references ("next.html", "../x", "?page=2"): the URL parser resolves them,
    // so a query holding "/" or a URL without a path cannot mislead the result.
    return resolveRelativeUrl(encodeUrlBytes(requestUrl), encodeUrlBytes(location));
}

}  // namespace quillbox::net
