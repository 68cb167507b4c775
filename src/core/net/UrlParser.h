#pragma once
// The URL and date parsers the HTTP rules lean on: libcurl's on Linux (UrlParser.cpp), the
// system's on Windows (UrlParser.win32.cpp: WinHttpCrackUrl, the shell's UrlCombineW). Texts
// are wire bytes, already percent-encoded where a URL cannot carry them.
#include <ctime>
#include <string>
#include <string_view>

namespace quillbox::net {

struct UrlParts {
    bool ok = false;
    std::string scheme;  // lower case
    std::string host;    // as in the URL; IPv6 in brackets
    int port = 0;        // the scheme's default when the URL has none
    std::string path;    // without the query; may be empty
};

// Parses an absolute URL.
UrlParts parseAbsoluteUrl(std::string_view url);
// Resolves a relative reference ("next.html", "../x", "?page=2") against an absolute URL as a
// browser does; "" when either cannot be read.
std::string resolveRelativeUrl(std::string_view base, std::string_view relative);
// An HTTP date ("Thu, 01 Jan 1970 00:00:00 GMT", or the cookie form with dashes) as seconds
// since 1970; -1 when it cannot be read.
std::time_t parseHttpDate(std::string_view date);

}  // namespace quillbox::net
