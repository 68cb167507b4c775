#include <gtest/gtest.h>

#include "core/net/CookieString.h"

using namespace quillbox::net;

namespace {
std::string merged(std::string cookies, std::string_view headers) {
    mergeSetCookieHeaders(cookies, headers);
    return cookies;
}
}  // namespace

TEST(CookieMerge, AddReplaceAndDeleteOneCookie) {
    std::string cookies(kEmptyCookieString);
    EXPECT_TRUE(mergeSetCookieHeaders(cookies, "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\n\r\n"));
    EXPECT_EQ(cookies, "; a=1; ");
    EXPECT_TRUE(mergeSetCookieHeaders(cookies, "HTTP/1.1 200 OK\r\nSet-Cookie: a=2; path=/\r\n\r\n"));
    EXPECT_EQ(cookies, "; a=2; ");
    EXPECT_TRUE(mergeSetCookieHeaders(cookies, "HTTP/1.1 200 OK\r\nSet-Cookie: a=deleted; path=/\r\n\r\n"));
    EXPECT_EQ(cookies, "; ");
}

TEST(CookieMerge, ReplacementKeepsTheOrderOfTheOthers) {
    EXPECT_EQ(merged("; a=1; b=2; c=3; ", "set-cookie: b=22;\r\n"), "; a=1; b=22; c=3; ");
    EXPECT_EQ(merged("; a=1; b=2; c=3; ", "SET-COOKIE: b=Deleted;\r\n"), "; a=1; c=3; ");
    EXPECT_EQ(merged("; a=1; b=2; ", "Set-Cookie: b=DELETED\r\n"), "; a=1; ");
}

TEST(CookieMerge, DeletingAnUnknownCookieChangesNothing) {
    std::string cookies = "; a=1; ";
    EXPECT_FALSE(mergeSetCookieHeaders(cookies, "Set-Cookie: z=deleted; path=/\r\n"));
    EXPECT_EQ(cookies, "; a=1; ");
}

TEST(CookieMerge, ANameThatPrefixesAnotherIsItsOwnCookie) {
    // "a" must not be taken for the entry "ab".
    EXPECT_EQ(merged("; ab=1; ", "Set-Cookie: a=2;\r\n"), "; ab=1; a=2; ");
    EXPECT_EQ(merged("; ab=1; a=2; ", "Set-Cookie: a=deleted;\r\n"), "; ab=1; ");
}

TEST(CookieMerge, ACookieWithoutAttributesEndsAtItsLine) {
    const std::string headers =
        "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Type: text/html; charset=gbk\r\n"
        "Set-Cookie: b=2\r\n\r\n";
    EXPECT_EQ(merged("; ", headers), "; a=1; b=2; ");
}

TEST(CookieMerge, LeadingAsciiAndFullWidthSpacesAreDropped) {
    EXPECT_EQ(merged("; ", "Set-Cookie:   a=1;\r\n"), "; a=1; ");
    EXPECT_EQ(merged("; ", "Set-Cookie:\xA1\xA1 b=2;\r\n"), "; b=2; ");
}

TEST(CookieMerge, EntriesWithoutNameOrEqualsAreSkipped) {
    EXPECT_EQ(merged("; a=1; ", "Set-Cookie: secure;\r\nSet-Cookie: =x;\r\n"), "; a=1; ");
}

TEST(CookieMerge, AnEmptyValueIsStoredAsSuch) {
    EXPECT_EQ(merged("; a=1; ", "Set-Cookie: a=; path=/\r\n"), "; a=; ");
}

TEST(CookiePairs, MergeTrimsSkipsAndReplaces) {
    std::string cookies = "; a=1; ";
    EXPECT_TRUE(mergeCookiePairs(cookies, "b=2;  a=3 ;novalue; ;c=x=y"));
    EXPECT_EQ(cookies, "; a=3 ; b=2; c=x=y; ");
    EXPECT_FALSE(mergeCookiePairs(cookies, "b=2"));
}

TEST(CookieHeader, DropsTheOuterSeparators) {
    EXPECT_EQ(cookieHeaderValue("; a=1; b=2; "), "a=1; b=2");
    EXPECT_EQ(cookieHeaderValue("; a=1; "), "a=1");
    EXPECT_EQ(cookieHeaderValue("; "), "");
}
