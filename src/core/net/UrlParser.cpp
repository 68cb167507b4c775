// The parsers over libcurl's URL API and its date reader.
#include "core/net/UrlParser.h"

#include <cstdlib>
#include <curl/curl.h>
#include <memory>

namespace quillbox::net {
namespace {

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

UrlParts parseAbsoluteUrl(std::string_view text) {
    UrlParts parts;
    UrlHandle url(curl_url());
    if (!url)
        return parts;
    const std::string copy(text);
    if (curl_url_set(url.get(), CURLUPART_URL, copy.c_str(), 0) != CURLUE_OK)
        return parts;
    char* part = nullptr;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &part, 0) != CURLUE_OK)
        return parts;
    parts.scheme = takeCurlString(part);
    if (curl_url_get(url.get(), CURLUPART_HOST, &part, 0) != CURLUE_OK)
        return parts;
    parts.host = takeCurlString(part);
    if (curl_url_get(url.get(), CURLUPART_PORT, &part, CURLU_DEFAULT_PORT) != CURLUE_OK)
        return parts;
    parts.port = std::atoi(takeCurlString(part).c_str());
    if (curl_url_get(url.get(), CURLUPART_PATH, &part, 0) == CURLUE_OK)
        parts.path = takeCurlString(part);
    parts.ok = true;
    return parts;
}

std::string resolveRelativeUrl(std::string_view base, std::string_view relative) {
    UrlHandle url(curl_url());
    if (!url)
        return {};
    const std::string baseText(base), relativeText(relative);
    if (curl_url_set(url.get(), CURLUPART_URL, baseText.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, relativeText.c_str(), 0) != CURLUE_OK)
        return {};
    char* resolved = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK)
        return {};
    return takeCurlString(resolved);
}

std::time_t parseHttpDate(std::string_view date) {
    const std::string text(date);
    return curl_getdate(text.c_str(), nullptr);
}

}  // namespace quillbox::net
