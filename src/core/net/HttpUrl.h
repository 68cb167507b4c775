#pragma once
// The URL rules of the HTTP client. Texts are wire bytes (GB18030 where not ASCII).
#include <string>
#include <string_view>

namespace quillbox::net {

// Puts "http://" in front of a URL that starts with neither "http://" nor "https://"
// (compared without case). A URL of 7 bytes or fewer always gets it.
std::string applySchemeRule(std::string_view url);

// Percent-encodes the bytes a request line cannot carry: controls, space, and bytes
// above 0x7E (so GB18030 text arrives as its bytes). Everything else is left as it is.
std::string encodeUrlBytes(std::string_view url);

struct CrackedUrl {
    bool ok = false;
    bool secure = false;  // https
    std::string host;     // as in the URL; IPv6 in brackets
    int port = 0;         // the scheme's default when the URL has none
    std::string path = "/";  // without the query
};
// Cracks an absolute http or https URL (after encodeUrlBytes).
CrackedUrl crackUrl(std::string_view encodedUrl);

// Resolves a Location value against the request. "http://" and "https://" values (any
// case) stand as they are; "//host/path" takes the request's scheme; "/path" becomes
// scheme + host + ":" + port + path; anything else is resolved against the request URL
// as a browser does (so "next.html" after ".../dir/page" gives ".../dir/next.html").
// Empty when the value is empty or cannot be resolved.
std::string resolveLocation(std::string_view location, std::string_view requestUrl, bool secure,
                            std::string_view host, int port);

}  // namespace quillbox::net
