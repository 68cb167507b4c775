#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/net/HttpClient.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

using namespace quillbox::net;
using quillbox::test::LoopbackHttpServer;
using quillbox::test::LoopbackRequest;
using quillbox::test::LoopbackResponse;
using quillbox::test::RefusingLoopbackPort;

namespace {

const std::string kZhongwenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
const std::string kZhongwenGbk = "\xD6\xD0\xCE\xC4";

// Sends one request and returns what the server received.
LoopbackRequest exchange(HttpClient& http, LoopbackHttpServer& server, const std::string& body = {}) {
    EXPECT_TRUE(http.send(body));
    const auto requests = server.requests();
    return requests.empty() ? LoopbackRequest{} : requests.back();
}

LoopbackResponse withHeader(LoopbackResponse response, std::string name, std::string value) {
    response.headers.emplace_back(std::move(name), std::move(value));
    return response;
}

}  // namespace

// ---- open and the scheme rule ----

TEST(HttpOpen, AUrlWithoutSchemeIsRequestedOverHttp) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open("GET", server.host() + "/path?q=1"));
    EXPECT_EQ(http.requestUrl(), "http://" + server.host() + "/path?q=1");
    EXPECT_FALSE(http.isSecure());
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.statusCode(), 200);
    EXPECT_EQ(server.requests().at(0).target, "/path?q=1");
}

TEST(HttpOpen, CapitalHttpsIsKeptAndSpeaksTls) {
    LoopbackHttpServer server;
    HttpClient http;
    const std::string url = "HTTPS://" + server.host() + "/";
    ASSERT_TRUE(http.open(url));
    EXPECT_EQ(http.requestUrl(), url);
    EXPECT_TRUE(http.isSecure());
    // The plain server cannot answer a TLS hello: the exchange fails, and what arrived was
    // a TLS handshake record.
    EXPECT_FALSE(http.send());
    EXPECT_EQ(http.statusCode(), 0);
    const auto preludes = server.unparsedPreludes();
    ASSERT_FALSE(preludes.empty());
    EXPECT_EQ(preludes[0].at(0), '\x16');
}

TEST(HttpOpen, MethodIsUpperCasedAndEmptyMeansGet) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open("", server.url("/a")));
    EXPECT_EQ(exchange(http, server).method, "GET");
    ASSERT_TRUE(http.open("delete", server.url("/a")));
    EXPECT_EQ(exchange(http, server).method, "DELETE");
    ASSERT_TRUE(http.open("head", server.url("/a")));
    EXPECT_EQ(exchange(http, server).method, "HEAD");
    EXPECT_EQ(http.responseBytes(), "");
}

TEST(HttpOpen, NonAsciiUrlCharactersGoOutAsGbkBytes) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/s?k=" + kZhongwenUtf8)));
    EXPECT_EQ(exchange(http, server).target, "/s?k=%D6%D0%CE%C4");
}

TEST(HttpOpen, BadUrlsFailAndLeaveNoRequest) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_FALSE(http.open("http://[::1"));
    EXPECT_EQ(http.lastError(), HttpError::InvalidUrl);
    // The earlier response is gone with its request.
    EXPECT_EQ(http.statusCode(), 0);
    EXPECT_EQ(http.responseText(), "");
    EXPECT_FALSE(http.send());
    EXPECT_EQ(http.lastError(), HttpError::NoRequest);
}

TEST(HttpOpen, AMethodThatIsNoTokenIsRefused) {
    LoopbackHttpServer server;
    HttpClient http;
    EXPECT_FALSE(http.open("GET / HTTP/1.1\r\nX-Injected: 1\r\n", server.url("/")));
    EXPECT_FALSE(http.open("GE T", server.url("/")));
    EXPECT_FALSE(http.send());
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(HttpConnection, SameHostAndPortReuseOneConnection) {
    LoopbackHttpServer first;
    LoopbackHttpServer second;
    HttpClient http;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(http.open(first.url("/n" + std::to_string(i))));
        ASSERT_TRUE(http.send());
    }
    EXPECT_EQ(first.requestCount(), 3);
    EXPECT_EQ(first.connectionCount(), 1);

    ASSERT_TRUE(http.open(second.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.connectedPort(), second.port());
    EXPECT_EQ(second.connectionCount(), 1);
    EXPECT_EQ(http.connectedHost(), "127.0.0.1");
}

// ---- request headers ----

TEST(HttpDefaultHeaders, GetCarriesAcceptLanguageAndNoContentType) {
    LoopbackHttpServer server;
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/")));
    const LoopbackRequest r = exchange(http, server);
    EXPECT_EQ(r.header("Accept"), "*/*");
    EXPECT_EQ(r.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(r.header("User-Agent"), kDefaultUserAgent);
    EXPECT_FALSE(r.hasHeader("Content-Type"));
    EXPECT_FALSE(r.hasHeader("Cache-Control"));  // only the update transport asks for it
    EXPECT_FALSE(r.hasHeader("Expect"));
    EXPECT_FALSE(r.hasHeader("Accept-Encoding"));  // bodies arrive as the server sent them
}

TEST(HttpDefaultHeaders, TheUpdateTransportAsksForNoCache) {
    LoopbackHttpServer server;
    HttpClient http(HttpTransport::WinHttp);
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_EQ(exchange(http, server).header("Cache-Control"), "no-cache");
}

TEST(HttpDefaultHeaders, PostWithEmptyBodyAndGetWithBodyGetTheFormType) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open("POST", server.url("/")));
    LoopbackRequest r = exchange(http, server);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.header("Content-Length"), "0");

    ASSERT_TRUE(http.open("GET", server.url("/")));
    r = exchange(http, server, "a=1");
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.body, "a=1");
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(HttpDefaultHeaders, HeadersSetByTheCallerWin) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open("POST", server.url("/")));
    ASSERT_TRUE(http.setContentType("application/json"));
    ASSERT_TRUE(http.setAccept("text/html"));
    ASSERT_TRUE(http.setAcceptLanguage("en"));
    const LoopbackRequest r = exchange(http, server, "{}");
    EXPECT_EQ(r.header("Content-Type"), "application/json");
    EXPECT_EQ(r.headerCount("Content-Type"), 1);
    EXPECT_EQ(r.header("Accept"), "text/html");
    EXPECT_EQ(r.headerCount("Accept"), 1);
    EXPECT_EQ(r.header("Accept-Language"), "en");
}

TEST(HttpDefaultHeaders, SwitchedOffNoneAreAdded) {
    LoopbackHttpServer server;
    HttpClient http(HttpTransport::WinHttp);
    http.setAutoHeaders(false);
    ASSERT_TRUE(http.open("POST", server.url("/")));
    const LoopbackRequest r = exchange(http, server, "x");
    EXPECT_FALSE(r.hasHeader("Accept"));
    EXPECT_FALSE(r.hasHeader("Accept-Language"));
    EXPECT_FALSE(r.hasHeader("Cache-Control"));
    EXPECT_FALSE(r.hasHeader("Content-Type"));
    EXPECT_EQ(r.body, "x");
}

TEST(HttpHeaders, SetReplaceAddAndRemove) {
    LoopbackHttpServer server;
    HttpClient http;
    EXPECT_FALSE(http.setHeader("X-A", "1"));  // no request yet
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_FALSE(http.setHeader("", "1"));
    EXPECT_FALSE(http.setHeader("Bad Name", "1"));
    EXPECT_TRUE(http.setHeader("X-A", "1"));
    EXPECT_TRUE(http.setHeader("x-a", "2"));  // replaces
    EXPECT_FALSE(http.setHeader("X-A", "3", HeaderMode::AddIfNew));
    EXPECT_TRUE(http.setHeader("X-B", "1"));
    EXPECT_TRUE(http.setHeader("X-B", "2", HeaderMode::Add));
    EXPECT_FALSE(http.setHeader("X-C", "1", HeaderMode::Replace));
    EXPECT_TRUE(http.setHeader("X-Gone", "1"));
    EXPECT_TRUE(http.removeHeader("X-Gone"));
    EXPECT_FALSE(http.removeHeader("X-Never"));
    EXPECT_TRUE(http.setAjax());
    EXPECT_TRUE(http.setReferer());
    const LoopbackRequest r = exchange(http, server);
    EXPECT_EQ(r.header("X-A"), "2");
    EXPECT_EQ(r.headerCount("X-A"), 1);
    EXPECT_EQ(r.headerCount("X-B"), 2);
    EXPECT_FALSE(r.hasHeader("X-C"));
    EXPECT_FALSE(r.hasHeader("X-Gone"));
    EXPECT_EQ(r.header("x-requested-with"), "XMLHttpRequest");
    EXPECT_EQ(r.header("Referer"), server.url("/"));
}

TEST(HttpHeaders, HeadersBelongToOneRequest) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.setHeader("X-Once", "1"));
    ASSERT_TRUE(http.send());
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_FALSE(exchange(http, server).hasHeader("X-Once"));
}

TEST(HttpHeaders, ClientAddressSetsFourHeaders) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.setClientAddress("10.1.2.3"));
    const LoopbackRequest r = exchange(http, server);
    for (const char* name : {"X-Forwarded-For", "CLIENT_IP", "VIA", "REMOTE_ADDR"})
        EXPECT_EQ(r.header(name), "10.1.2.3") << name;
}

TEST(HttpHeaders, TheBodyLengthIsAlwaysTheRealOne) {
    // Headers copied from a browser often carry a stale Content-Length; sending it would
    // break the framing of the request.
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open("POST", server.url("/")));
    ASSERT_TRUE(http.setHeader("Content-Length", "999"));
    const LoopbackRequest r = exchange(http, server, "abc");
    EXPECT_EQ(r.header("Content-Length"), "3");
    EXPECT_EQ(r.body, "abc");
}

TEST(HttpHeaders, NonAsciiValuesGoOutAsGbkBytes) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.setHeader("X-Name", kZhongwenUtf8));
    EXPECT_EQ(exchange(http, server).header("X-Name"), kZhongwenGbk);
}

// ---- bodies and text ----

TEST(HttpBody, RequestBodyIsSentAsGbk) {
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open("POST", server.url("/")));
    EXPECT_EQ(exchange(http, server, "k=" + kZhongwenUtf8).body, "k=" + kZhongwenGbk);
}

TEST(HttpBody, ResponseTextReadsGbkAndUtf8ReadsUtf8) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/gbk")
            return LoopbackResponse::text(kZhongwenGbk);
        if (r.target == "/bom")
            return LoopbackResponse::text("\xEF\xBB\xBF{\"a\":1}");
        if (r.target == "/bad")
            return LoopbackResponse::text("a\xFF" "b");
        return LoopbackResponse::text(kZhongwenUtf8);
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/gbk")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseText(), kZhongwenUtf8);
    EXPECT_EQ(http.responseBytes(), kZhongwenGbk);

    ASSERT_TRUE(http.open(server.url("/utf8")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseTextUtf8(), kZhongwenUtf8);

    ASSERT_TRUE(http.open(server.url("/bom")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseTextUtf8(), "{\"a\":1}");

    ASSERT_TRUE(http.open(server.url("/bad")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseTextUtf8(), "a\xEF\xBF\xBD" "b");
}

TEST(HttpBody, BinaryBytesArriveUnchanged) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    LoopbackHttpServer server([&](const LoopbackRequest&) { return LoopbackResponse::text(bytes); });
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseBytes(), bytes);
    EXPECT_EQ(http.contentLength(), 256);
}

TEST(HttpBody, LargeBodiesAreReadWholeHoweverFramed) {
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 23);
    LoopbackHttpServer server([&](const LoopbackRequest& r) {
        LoopbackResponse response = LoopbackResponse::text(big);
        if (r.target == "/close")
            response.framing = LoopbackResponse::Framing::CloseDelimited;
        else if (r.target == "/chunked")
            response.framing = LoopbackResponse::Framing::Chunked;
        return response;
    });
    HttpClient http;
    for (const char* path : {"/close", "/chunked", "/length"}) {
        ASSERT_TRUE(http.open(server.url(path)));
        ASSERT_TRUE(http.send()) << path;
        EXPECT_EQ(http.responseBytes().size(), big.size()) << path;
        EXPECT_TRUE(http.responseBytes() == big) << path;
        EXPECT_EQ(http.contentLength(), std::string(path) == "/length" ? static_cast<long long>(big.size()) : -1)
            << path;
    }
}

TEST(HttpBody, ErrorStatusesStillDeliverTheirBody) {
    LoopbackHttpServer server([](const LoopbackRequest&) { return LoopbackResponse::text("missing", 404); });
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.statusCode(), 404);
    EXPECT_EQ(http.responseText(), "missing");
    EXPECT_NE(http.responseHeaders().find("HTTP/1.1 404"), std::string::npos);
}

TEST(HttpBody, ATruncatedBodyIsAFailureNotAShortAnswer) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        LoopbackResponse response;
        response.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part";
        return response;
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_FALSE(http.send());
    EXPECT_EQ(http.statusCode(), 0);
    EXPECT_EQ(http.responseText(), "");
}

TEST(HttpResponse, HeadersAreTheRawBlockWithCrLf) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        LoopbackResponse response;
        response.raw = "HTTP/1.1 200 OK\nX-One: 1\nContent-Length: 2\n\nhi";
        return response;
    });
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseHeaders(), "HTTP/1.1 200 OK\r\nX-One: 1\r\nContent-Length: 2\r\n\r\n");
    EXPECT_EQ(http.responseText(), "hi");
}

TEST(HttpResponse, WithoutARequestEverythingIsEmpty) {
    HttpClient http;
    EXPECT_EQ(http.statusCode(), 0);
    EXPECT_EQ(http.responseText(), "");
    EXPECT_EQ(http.responseTextUtf8(), "");
    EXPECT_EQ(http.responseBytes(), "");
    EXPECT_EQ(http.responseHeaders(), "");
    EXPECT_EQ(http.redirectTarget(), "");
    EXPECT_EQ(http.contentLength(), -1);
    EXPECT_FALSE(http.send());
}

// ---- cookies ----

TEST(HttpCookies, TheObjectsStringFollowsTheServer) {
    int step = 0;
    LoopbackHttpServer server([&](const LoopbackRequest&) {
        const char* values[] = {"a=1; path=/", "a=2; path=/", "a=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT"};
        return withHeader(LoopbackResponse::text("ok"), "Set-Cookie", values[step++ % 3]);
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_EQ(http.cookieMode(), 1);
    EXPECT_EQ(http.cookies(), "; ");
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.cookies(), "; a=1; ");
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.cookies(), "; a=2; ");
    EXPECT_EQ(server.requests().back().header("Cookie"), "a=1");
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.cookies(), "; ");
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_FALSE(server.requests().back().hasHeader("Cookie"));
}

TEST(HttpCookies, TwoEntriesAreSentWithoutATrailingSeparator) {
    LoopbackHttpServer server;
    HttpClient http(HttpTransport::WinInet);
    http.setCookies("a=1; b=2");
    EXPECT_EQ(http.cookies(), "; a=1; b=2; ");
    ASSERT_TRUE(http.open(server.url("/")));
    const LoopbackRequest r = exchange(http, server);
    EXPECT_EQ(r.header("Cookie"), "a=1; b=2");
    EXPECT_EQ(r.headerCount("Cookie"), 1);
}

TEST(HttpCookies, TheStringReplacesACookieHeaderSetByHand) {
    LoopbackHttpServer server;
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.setHeader("Cookie", "hand=1"));
    EXPECT_EQ(exchange(http, server).header("Cookie"), "hand=1");  // nothing stored yet

    http.setCookies("s=2");
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.setHeader("Cookie", "hand=1"));
    const LoopbackRequest r = exchange(http, server);
    EXPECT_EQ(r.header("Cookie"), "s=2");
    EXPECT_EQ(r.headerCount("Cookie"), 1);
}

TEST(HttpCookies, TheTransportKeepsItsOwnInModeZero) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/login")
            return withHeader(LoopbackResponse::text("in"), "Set-Cookie", "sid=42; Path=/");
        return LoopbackResponse::text("page");
    });
    HttpClient http(HttpTransport::WinHttp);
    ASSERT_EQ(http.cookieMode(), 0);
    ASSERT_TRUE(http.open(server.url("/login")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.cookies(), "; ");  // not the object's string
    ASSERT_TRUE(http.open(server.url("/page")));
    EXPECT_EQ(exchange(http, server).header("Cookie"), "sid=42");

    // A Cookie header set by hand takes over for that request alone.
    ASSERT_TRUE(http.open(server.url("/page")));
    ASSERT_TRUE(http.setCookies("mine=1"));
    LoopbackRequest r = exchange(http, server);
    EXPECT_EQ(r.header("Cookie"), "mine=1");
    EXPECT_EQ(r.headerCount("Cookie"), 1);
    ASSERT_TRUE(http.open(server.url("/page")));
    EXPECT_EQ(exchange(http, server).header("Cookie"), "sid=42");

    // Another object is another visit.
    HttpClient other(HttpTransport::WinHttp);
    ASSERT_TRUE(other.open(server.url("/page")));
    EXPECT_FALSE(exchange(other, server).hasHeader("Cookie"));
}

TEST(HttpCookies, ModeTwoSharesOneStoreAcrossObjects) {
    HttpClient::clearSystemCookies();
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/set")
            return withHeader(LoopbackResponse::text("ok"), "Set-Cookie", "srv=9; Path=/");
        if (r.target == "/drop")
            return withHeader(LoopbackResponse::text("ok"), "Set-Cookie",
                              "srv=; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT");
        return LoopbackResponse::text("ok");
    });
    HttpClient first(HttpTransport::WinInet);
    first.setCookieMode(2);
    EXPECT_FALSE(first.setCookies("own=1"));  // no request URL yet
    ASSERT_TRUE(first.open(server.url("/set")));
    ASSERT_TRUE(first.setCookies("own=1"));
    EXPECT_EQ(exchange(first, server).header("Cookie"), "own=1");

    HttpClient second(HttpTransport::WinHttp);
    second.setCookieMode(2);
    ASSERT_TRUE(second.open(server.url("/page")));
    LoopbackRequest r = exchange(second, server);
    EXPECT_NE(r.header("Cookie").find("own=1"), std::string::npos);
    EXPECT_NE(r.header("Cookie").find("srv=9"), std::string::npos);

    // A Cookie header set by hand joins the stored ones: a request carries one Cookie header.
    ASSERT_TRUE(second.open(server.url("/page")));
    ASSERT_TRUE(second.setHeader("Cookie", "hand=1"));
    r = exchange(second, server);
    EXPECT_EQ(r.headerCount("Cookie"), 1);
    EXPECT_NE(r.header("Cookie").find("own=1"), std::string::npos);
    EXPECT_NE(r.header("Cookie").find("hand=1"), std::string::npos);

    ASSERT_TRUE(second.open(server.url("/drop")));
    ASSERT_TRUE(second.send());
    ASSERT_TRUE(first.open(server.url("/page")));
    EXPECT_EQ(exchange(first, server).header("Cookie"), "own=1");
    HttpClient::clearSystemCookies();
}

TEST(HttpCookies, TheScriptTransportsOwnCookiesAreTheSharedStore) {
    HttpClient::clearSystemCookies();
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/set")
            return withHeader(LoopbackResponse::text("ok"), "Set-Cookie", "shared=1; Path=/");
        return LoopbackResponse::text("ok");
    });
    HttpClient setter(HttpTransport::WinInet);
    setter.setCookieMode(0);
    ASSERT_TRUE(setter.open(server.url("/set")));
    ASSERT_TRUE(setter.send());
    EXPECT_EQ(setter.cookies(), "; ");
    HttpClient reader(HttpTransport::WinInet);
    reader.setCookieMode(2);
    ASSERT_TRUE(reader.open(server.url("/page")));
    EXPECT_EQ(exchange(reader, server).header("Cookie"), "shared=1");
    // The update transport keeps its own.
    HttpClient update(HttpTransport::WinHttp);
    ASSERT_TRUE(update.open(server.url("/page")));
    EXPECT_FALSE(exchange(update, server).hasHeader("Cookie"));
    HttpClient::clearSystemCookies();
}

TEST(HttpCookies, ModesOutsideTheRangeMeanZero) {
    HttpClient http(HttpTransport::WinInet);
    http.setCookieMode(7);
    EXPECT_EQ(http.cookieMode(), 0);
    http.setCookieMode(-1);
    EXPECT_EQ(http.cookieMode(), 0);
    http.setCookieMode();
    EXPECT_EQ(http.cookieMode(), 1);
}

// ---- redirects ----

TEST(HttpRedirect, ALoopStopsAfterTheTwentiethRedirect) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        return withHeader(LoopbackResponse::redirect("/loop"), "X-Target", r.target);
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/start")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(server.requestCount(), 1 + kMaxManualRedirects);
    EXPECT_EQ(http.statusCode(), 302);
    EXPECT_NE(http.responseHeaders().find("X-Target: /loop"), std::string::npos);
    EXPECT_EQ(http.redirectTarget(false), "/loop");

    // The count starts again with the next send.
    ASSERT_TRUE(http.open(server.url("/start")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(server.requestCount(), 2 * (1 + kMaxManualRedirects));
}

TEST(HttpRedirect, RelativeLocationStaysInTheDirectory) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/dir/page")
            return LoopbackResponse::redirect("next.html");
        return LoopbackResponse::text("landed " + r.target);
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open("POST", server.url("/dir/page")));
    ASSERT_TRUE(http.setHeader("X-Only-First", "1"));
    ASSERT_TRUE(http.send("a=1"));
    EXPECT_EQ(http.statusCode(), 200);
    EXPECT_EQ(http.responseText(), "landed /dir/next.html");
    EXPECT_EQ(http.requestUrl(), server.url("/dir/next.html"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].body, "");
    EXPECT_FALSE(requests[1].hasHeader("X-Only-First"));
}

TEST(HttpRedirect, RootRelativeLocationKeepsHostAndPort) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/a/b")
            return LoopbackResponse::redirect("/c?d=1");
        return LoopbackResponse::text("ok");
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/a/b")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.requestUrl(), server.url("/c?d=1"));
    EXPECT_EQ(server.requests().back().target, "/c?d=1");
}

TEST(HttpRedirect, CookiesOfARedirectGoWithTheNextRequest) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/login")
            return withHeader(LoopbackResponse::redirect("/home"), "Set-Cookie", "sid=7; path=/");
        return LoopbackResponse::text("home");
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open("POST", server.url("/login")));
    ASSERT_TRUE(http.send("u=1"));
    EXPECT_EQ(http.responseText(), "home");
    EXPECT_EQ(server.requests().back().header("Cookie"), "sid=7");
    EXPECT_EQ(http.cookies(), "; sid=7; ");
}

TEST(HttpRedirect, OnlyRedirectStatusesAreFollowed) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/create")
            return withHeader(LoopbackResponse::text("created", 201), "Location", "/item/1");
        return LoopbackResponse::text("item");
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open("POST", server.url("/create")));
    ASSERT_TRUE(http.send("x"));
    EXPECT_EQ(http.statusCode(), 201);
    EXPECT_EQ(http.responseText(), "created");
    EXPECT_EQ(http.redirectTarget(), "http://127.0.0.1:" + std::to_string(server.port()) + "/item/1");
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(HttpRedirect, NoAutoRedirectLeavesTheRedirectResponse) {
    LoopbackHttpServer server([](const LoopbackRequest&) { return LoopbackResponse::redirect("  elsewhere  "); });
    for (HttpTransport transport : {HttpTransport::WinInet, HttpTransport::WinHttp}) {
        HttpClient http(transport);
        http.setNoAutoRedirect(true);
        ASSERT_TRUE(http.open(server.url("/d/x")));
        ASSERT_TRUE(http.send());
        EXPECT_EQ(http.statusCode(), 302);
        EXPECT_EQ(http.redirectTarget(false), "elsewhere");
        EXPECT_EQ(http.redirectTarget(), server.url("/d/elsewhere"));
    }
    EXPECT_EQ(server.requestCount(), 2);
}

TEST(HttpRedirect, ModeZeroTransportsFollowThemselves) {
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        if (r.target == "/old")
            return withHeader(LoopbackResponse::redirect("/new", 301), "X-Hop", "old");
        return LoopbackResponse::text("new");
    });
    for (HttpTransport transport : {HttpTransport::WinHttp, HttpTransport::RequestObject}) {
        HttpClient http(transport);
        ASSERT_TRUE(http.open(server.url("/old")));
        ASSERT_TRUE(http.send());
        EXPECT_EQ(http.statusCode(), 200);
        EXPECT_EQ(http.responseText(), "new");
        // The header block is the final response's alone.
        EXPECT_EQ(http.responseHeaders().find("X-Hop"), std::string::npos);
    }
}

TEST(HttpRedirect, TheTransportsOwnFollowingStopsAtTen) {
    LoopbackHttpServer server([](const LoopbackRequest&) { return LoopbackResponse::redirect("/again"); });
    HttpClient http(HttpTransport::WinHttp);
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_FALSE(http.send());
    EXPECT_EQ(http.lastError(), HttpError::TooManyRedirects);
    EXPECT_EQ(server.requestCount(), 11);
}

// ---- failures, retry and time-outs ----

TEST(HttpRetry, DroppedConnectionsAreTriedAgain) {
    std::atomic<int> seen{0};
    LoopbackHttpServer server([&](const LoopbackRequest&) {
        LoopbackResponse response = LoopbackResponse::text("third time");
        response.drop = ++seen <= 2;
        return response;
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send("", true, 2));
    EXPECT_EQ(http.responseText(), "third time");
    EXPECT_EQ(server.requestCount(), 3);
}

TEST(HttpRetry, WithoutTheFlagOneFailureEndsTheSend) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        LoopbackResponse response;
        response.drop = true;
        return response;
    });
    HttpClient inet(HttpTransport::WinInet);
    ASSERT_TRUE(inet.open(server.url("/")));
    EXPECT_FALSE(inet.send("", false, 5));
    EXPECT_EQ(inet.lastError(), HttpError::ConnectionReset);
    EXPECT_EQ(server.requestCount(), 1);

    HttpClient winhttp(HttpTransport::WinHttp);
    ASSERT_TRUE(winhttp.open(server.url("/")));
    EXPECT_FALSE(winhttp.send("", true, 1));
    EXPECT_EQ(winhttp.lastError(), HttpError::ConnectionError);
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(winhttp.statusCode(), 0);
    EXPECT_EQ(winhttp.responseText(), "");
}

TEST(HttpRetry, ARefusedConnectionFailsAfterTheLastAttempt) {
    RefusingLoopbackPort refusing;
    HttpClient http;
    ASSERT_TRUE(http.open(refusing.url("/")));
    EXPECT_FALSE(http.send("", true, 3));
    EXPECT_EQ(http.lastError(), HttpError::CannotConnect);
    EXPECT_FALSE(http.lastErrorText().empty());
    EXPECT_EQ(http.statusCode(), 0);
}

TEST(HttpTimeout, ASilentServerEndsTheSendWithATimeout) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        LoopbackResponse response = LoopbackResponse::text("late");
        response.delayMs = 20000;
        return response;
    });
    HttpClient http(HttpTransport::WinInet);
    http.setTimeouts(0, 0, 0, 300);
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_FALSE(http.send("", true, 3));  // a time-out is not retried
    EXPECT_EQ(http.lastError(), HttpError::Timeout);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST(HttpTimeout, ASlowButSteadyBodyIsNotCutOff) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        LoopbackResponse response = LoopbackResponse::text("body");
        response.stallAfterHeadersMs = 100;
        return response;
    });
    HttpClient http;
    http.setTimeouts(-1, -1, -1, 5000);
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_TRUE(http.send());
    EXPECT_EQ(http.responseText(), "body");
}

TEST(HttpAbort, AnotherThreadCanStopASend) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        LoopbackResponse response = LoopbackResponse::text("late");
        response.delayMs = 20000;
        return response;
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/")));
    std::thread stopper([&] {
        while (server.requestCount() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        http.abort();
    });
    EXPECT_FALSE(http.send());
    stopper.join();
    EXPECT_EQ(http.lastError(), HttpError::Timeout);
    // The next request is not stopped by the old abort.
    server.setHandler([](const LoopbackRequest&) { return LoopbackResponse::text("ok"); });
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_TRUE(http.send());
}

// ---- lifetime ----

TEST(HttpLifetime, CloseReleasesAndCreateStartsAgain) {
    LoopbackHttpServer server([](const LoopbackRequest&) {
        return withHeader(LoopbackResponse::text("ok"), "Set-Cookie", "a=1");
    });
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    http.close();
    EXPECT_EQ(http.statusCode(), 0);
    EXPECT_EQ(http.requestUrl(), "");
    EXPECT_EQ(http.connectedHost(), "");
    EXPECT_FALSE(http.open(server.url("/")));
    ASSERT_TRUE(http.create());
    EXPECT_EQ(http.cookies(), "; ");
    EXPECT_EQ(http.cookieMode(), 1);
    ASSERT_TRUE(http.open(server.url("/")));
    EXPECT_TRUE(http.send());
}

TEST(HttpLifetime, EnvironmentProxiesAreNotUsed) {
    // Requests go straight to the server even when the environment names a proxy.
    RefusingLoopbackPort deadProxy;
    quillbox::test::setEnvironment("http_proxy", deadProxy.url("").c_str());
    LoopbackHttpServer server;
    HttpClient http;
    ASSERT_TRUE(http.open(server.url("/")));
    const bool sent = http.send();
    quillbox::test::setEnvironment("http_proxy", nullptr);
    EXPECT_TRUE(sent);
    EXPECT_EQ(http.statusCode(), 200);
}
