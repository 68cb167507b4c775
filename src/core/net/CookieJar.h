#pragma once
// The cookies one HttpClient object keeps in cookie mode 1: one "browser visit".
//
// Each cookie belongs to the host that set it, as in a browser: a cookie from 127.0.0.1 is
// never sent to 127.0.0.2, nor to any other host a redirect leads to. A Domain attribute
// widens it to that domain and its subdomains (only when the setting host lies inside it),
// Path limits it to a path, Secure to https; a cookie set by an https response is sent only
// over https whatever its attributes, so a redirect from https to http carries none. Cookies set by hand before any request belong
// to the host of the next one. The jar also keeps the old flat view of itself, "; a=1; b=2; "
// (entries in the order they came, a replaced cookie keeping its place), for cookies().
//
// Deletion: a value of "deleted" (in the three usual spellings), Max-Age of 0 or less, or
// an Expires date in the past removes the cookie. All texts are wire bytes.
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::net {

inline constexpr std::string_view kEmptyCookieString = "; ";

// Where a request goes, as far as cookies care.
struct CookieScope {
    std::string host;  // lower case, without port; IPv6 in brackets
    std::string path = "/";
    bool secure = false;
};

class CookieJar {
public:
    // Takes every "Set-Cookie:" line (name without case) of a raw response header block, in
    // order, for the request `scope`. True when anything changed.
    bool takeResponse(std::string_view rawHeaders, const CookieScope& scope);
    // Takes "name=value; name2=value2" pairs set by hand: leading spaces dropped, pairs
    // without "=" or name skipped. They belong to `host`, or to the next bound host when
    // `host` is empty. True when anything changed.
    bool takePairs(std::string_view pairs, std::string_view host);
    // Gives cookies set by hand without a host to this one.
    void bindUnscoped(std::string_view host);

    // The Cookie header value for a request: "a=1; b=2", "" when none applies.
    std::string headerFor(const CookieScope& scope) const;
    // The flat view: "; " then "name=value; " for every cookie kept.
    std::string text() const;
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }

private:
    struct Entry {
        std::string name;
        std::string value;
        std::string domain;    // "" while unscoped
        bool hostOnly = true;
        std::string path = "/";
        bool secure = false;
    };
    bool store(Entry entry, bool deletion);

    std::vector<Entry> entries_;
};

// The scope of an absolute URL's parts: host lower-cased, the path as given.
CookieScope cookieScope(std::string_view host, std::string_view path, bool secure);

}  // namespace quillbox::net
