#include "core/net/HttpUrl.h"

#include <cctype>
#include <cstdlib>
#include <curl/curl.h>
#include <memory>

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

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

std::string takeCurlString(char* text) {
    std::string result = text ? text : "";
    curl_free(text);
    return result;
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
    UrlHandle url(curl_url());
    if (!url)
        return cracked;
    const std::string text(encodedUrl);
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK)
        return cracked;
    char* part = nullptr;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &part, 0) != CURLUE_OK)
        return cracked;
    const std::string scheme = takeCurlString(part);
    if (scheme != "http" && scheme != "https")
        return cracked;
    if (curl_url_get(url.get(), CURLUPART_HOST, &part, 0) != CURLUE_OK)
        return cracked;
    cracked.host = takeCurlString(part);
    if (curl_url_get(url.get(), CURLUPART_PORT, &part, CURLU_DEFAULT_PORT) != CURLUE_OK)
        return cracked;
    cracked.port = std::atoi(takeCurlString(part).c_str());
    if (curl_url_get(url.get(), CURLUPART_PATH, &part, 0) == CURLUE_OK)
        cracked.path = takeCurlString(part);
    if (cracked.path.empty())
        cracked.path = "/";
    cracked.secure = scheme == "https";
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

    // Relative references ("next.html", "../x", "?page=2"): the URL library resolves them,
    // so a query holding "/" or a URL without a path cannot mislead the result.
    UrlHandle url(curl_url());
    if (!url)
        return {};
    const std::string base = encodeUrlBytes(requestUrl);
    const std::string relative = encodeUrlBytes(location);
    if (curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, relative.c_str(), 0) != CURLUE_OK)
        return {};
    char* resolved = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK)
        return {};
    return takeCurlString(resolved);
}

}  // namespace quillbox::net
