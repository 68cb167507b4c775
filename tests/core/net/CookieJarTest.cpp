// The cookie jar of cookie mode 1: the flat view callers read, and each cookie kept to the
// host (domain, path, scheme) it belongs to.
#include <gtest/gtest.h>

#include "core/net/CookieJar.h"

using namespace quillbox::net;

namespace {

const CookieScope kSite = cookieScope("127.0.0.1", "/", false);

std::string afterResponses(std::initializer_list<std::string_view> headerBlocks, const CookieScope& scope = kSite) {
    CookieJar jar;
    for (std::string_view block : headerBlocks)
        jar.takeResponse(block, scope);
    return jar.text();
}

}  // namespace

TEST(CookieJarText, AddReplaceAndDeleteKeepTheOrderOfTheOthers) {
    struct Case {
        std::initializer_list<std::string_view> responses;
        const char* text;
    };
    const Case cases[] = {
        {{"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\n\r\n"}, "; a=1; "},
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: a=2\r\n"}, "; a=2; "},
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: a=deleted; path=/\r\n"}, "; "},
        {{"Set-Cookie: a=1\r\nSet-Cookie: b=2\r\nSet-Cookie: c=3\r\n", "set-cookie: b=22;\r\n"}, "; a=1; b=22; c=3; "},
        {{"Set-Cookie: a=1\r\nSet-Cookie: b=2\r\nSet-Cookie: c=3\r\n", "SET-COOKIE: b=Deleted;\r\n"}, "; a=1; c=3; "},
        {{"Set-Cookie: a=1\r\nSet-Cookie: b=2\r\n", "Set-Cookie: b=DELETED\r\n"}, "; a=1; "},
        // Deleting an unknown cookie changes nothing; "a" is not the cookie "ab".
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: z=deleted\r\n"}, "; a=1; "},
        {{"Set-Cookie: ab=1\r\n", "Set-Cookie: a=2\r\n"}, "; ab=1; a=2; "},
        {{"Set-Cookie: ab=1\r\nSet-Cookie: a=2\r\n", "Set-Cookie: a=deleted\r\n"}, "; ab=1; "},
        // A cookie without attributes ends at its line.
        {{"HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Type: text/html; charset=gbk\r\nSet-Cookie: b=2\r\n\r\n"},
         "; a=1; b=2; "},
        // Leading ASCII and full-width spaces are dropped; entries without a name or "=" skipped.
        {{"Set-Cookie:   a=1;\r\nSet-Cookie:\xA1\xA1 b=2;\r\n"}, "; a=1; b=2; "},
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: secure;\r\nSet-Cookie: =x;\r\n"}, "; a=1; "},
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: a=; path=/\r\n"}, "; a=; "},
        // Expiry in the past, or Max-Age 0, deletes as a browser does.
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: a=x; Max-Age=0\r\n"}, "; "},
        {{"Set-Cookie: a=1\r\n", "Set-Cookie: a=x; Expires=Thu, 01 Jan 1970 00:00:00 GMT\r\n"}, "; "},
        {{"Set-Cookie: a=1; Max-Age=3600\r\n"}, "; a=1; "},
        // Only a line that starts with the name is a Set-Cookie header.
        {{"X-Set-Cookie: a=1\r\n"}, "; "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.responses.begin());
        EXPECT_EQ(afterResponses(c.responses), c.text);
    }
}

TEST(CookieJarText, PairsSetByHandTrimSkipAndReplace) {
    CookieJar jar;
    jar.takePairs("a=1", "127.0.0.1");
    EXPECT_TRUE(jar.takePairs("b=2;  a=3 ;novalue; ;c=x=y", "127.0.0.1"));
    EXPECT_EQ(jar.text(), "; a=3 ; b=2; c=x=y; ");
    EXPECT_FALSE(jar.takePairs("b=2", "127.0.0.1"));
    EXPECT_EQ(jar.headerFor(kSite), "a=3 ; b=2; c=x=y");
}

// Where each cookie may go: (Set-Cookie line, the request that got it) -> the requests that
// carry it.
TEST(CookieJarScope, EachCookieGoesOnlyWhereABrowserWouldSendIt) {
    struct Case {
        const char* setCookie;
        CookieScope from;
        std::vector<std::pair<CookieScope, bool>> requests;
    };
    const CookieScope first = cookieScope("127.0.0.1", "/", false);
    const CookieScope other = cookieScope("127.0.0.2", "/", false);
    const Case cases[] = {
        {"a=1", first, {{first, true}, {other, false}, {cookieScope("127.0.0.1", "/x/y", false), true}}},
        // Host names compare without case; ports do not matter to cookies.
        {"a=1", cookieScope("Example.COM", "/", false),
         {{cookieScope("example.com", "/", false), true}, {cookieScope("www.example.com", "/", false), false}}},
        // Domain widens to subdomains, only from inside the domain.
        {"a=1; Domain=.example.com", cookieScope("www.example.com", "/", false),
         {{cookieScope("example.com", "/", false), true},
          {cookieScope("api.example.com", "/", false), true},
          {cookieScope("badexample.com", "/", false), false}}},
        {"a=1; Domain=example.org", cookieScope("www.example.com", "/", false),
         {{cookieScope("example.org", "/", false), false}, {cookieScope("www.example.com", "/", false), false}}},
        // Path: as given, or the directory of the request.
        {"a=1; Path=/api", first,
         {{cookieScope("127.0.0.1", "/api", false), true},
          {cookieScope("127.0.0.1", "/api/v1", false), true},
          {cookieScope("127.0.0.1", "/apix", false), false},
          {first, false}}},
        {"a=1", cookieScope("127.0.0.1", "/shop/login", false),
         {{cookieScope("127.0.0.1", "/shop/cart", false), true}, {first, false}}},
        // Secure: https only.
        {"a=1; Secure", cookieScope("127.0.0.1", "/", true),
         {{cookieScope("127.0.0.1", "/", true), true}, {first, false}}},
        // Anything set over https stays on https; over http it goes to both.
        {"a=1", cookieScope("127.0.0.1", "/", true), {{cookieScope("127.0.0.1", "/", true), true}, {first, false}}},
        {"a=1", first, {{cookieScope("127.0.0.1", "/", true), true}, {first, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setCookie);
        CookieJar jar;
        jar.takeResponse(std::string("Set-Cookie: ") + c.setCookie + "\r\n", c.from);
        for (const auto& [scope, sent] : c.requests)
            EXPECT_EQ(jar.headerFor(scope), sent ? "a=1" : "") << scope.host << scope.path;
    }
}

TEST(CookieJarScope, PairsSetBeforeAnyRequestBelongToTheNextHost) {
    CookieJar jar;
    jar.takePairs("sid=1", "");
    EXPECT_EQ(jar.headerFor(kSite), "");
    jar.bindUnscoped("127.0.0.1");
    EXPECT_EQ(jar.headerFor(kSite), "sid=1");
    jar.bindUnscoped("127.0.0.2");
    EXPECT_EQ(jar.headerFor(cookieScope("127.0.0.2", "/", false)), "");
}
