#include <gtest/gtest.h>

#include "core/net/HttpUrl.h"

using namespace quillbox::net;

TEST(SchemeRule, AddsHttpOnlyWhereNoSchemeIsGiven) {
    EXPECT_EQ(applySchemeRule("example.com/a?b=1"), "http://example.com/a?b=1");
    EXPECT_EQ(applySchemeRule("http://example.com"), "http://example.com");
    EXPECT_EQ(applySchemeRule("HTTPS://example.com/x"), "HTTPS://example.com/x");
    EXPECT_EQ(applySchemeRule("Http://example.com/x"), "Http://example.com/x");
    EXPECT_EQ(applySchemeRule("ftp://example.com/"), "http://ftp://example.com/");
}

TEST(SchemeRule, ShortUrlsAlwaysGetTheScheme) {
    EXPECT_EQ(applySchemeRule("a.cn"), "http://a.cn");
    EXPECT_EQ(applySchemeRule("http://"), "http://http://");
    EXPECT_EQ(applySchemeRule(""), "http://");
}

TEST(UrlCracking, HostPortAndScheme) {
    CrackedUrl u = crackUrl("http://127.0.0.1:8080/p?q=1");
    ASSERT_TRUE(u.ok);
    EXPECT_EQ(u.host, "127.0.0.1");
    EXPECT_EQ(u.port, 8080);
    EXPECT_FALSE(u.secure);
    u = crackUrl("HTTPS://Example.com/");
    ASSERT_TRUE(u.ok);
    EXPECT_TRUE(u.secure);
    EXPECT_EQ(u.port, 443);
    EXPECT_FALSE(crackUrl("http://").ok);
    EXPECT_FALSE(crackUrl("http://[bad").ok);
}

TEST(UrlEncoding, NonAsciiAndSpacesBecomePercentCodes) {
    EXPECT_EQ(encodeUrlBytes("http://a/\xD6\xD0 x?q=%41"), "http://a/%D6%D0%20x?q=%41");
}

TEST(LocationResolution, AbsoluteValuesStand) {
    EXPECT_EQ(resolveLocation("https://b.cn/x", "http://a.cn/p", false, "a.cn", 80), "https://b.cn/x");
    EXPECT_EQ(resolveLocation("HTTP://b.cn/x", "http://a.cn/p", false, "a.cn", 80), "HTTP://b.cn/x");
}

TEST(LocationResolution, RootRelativeUsesConnectedHostAndPort) {
    EXPECT_EQ(resolveLocation("/login?x=1", "http://a.cn:81/dir/page", false, "a.cn", 81),
              "http://a.cn:81/login?x=1");
    EXPECT_EQ(resolveLocation("/s", "https://a.cn/p", true, "a.cn", 443), "https://a.cn:443/s");
}

TEST(LocationResolution, SchemeRelativeTakesTheRequestScheme) {
    EXPECT_EQ(resolveLocation("//cdn.cn/f.js", "https://a.cn/p", true, "a.cn", 443), "https://cdn.cn/f.js");
}

TEST(LocationResolution, RelativeValuesResolveAgainstTheDirectory) {
    EXPECT_EQ(resolveLocation("next.html", "http://a.cn/dir/page", false, "a.cn", 80), "http://a.cn/dir/next.html");
    // A "/" in the query and a URL without a path must not mislead the resolution.
    EXPECT_EQ(resolveLocation("next.html", "http://a.cn/dir/page?u=x/y", false, "a.cn", 80),
              "http://a.cn/dir/next.html");
    EXPECT_EQ(resolveLocation("next.html", "http://a.cn", false, "a.cn", 80), "http://a.cn/next.html");
    EXPECT_EQ(resolveLocation("../up", "http://a.cn/d1/d2/page", false, "a.cn", 80), "http://a.cn/d1/up");
}

TEST(LocationResolution, EmptyGivesEmpty) {
    EXPECT_EQ(resolveLocation("", "http://a.cn/p", false, "a.cn", 80), "");
}
