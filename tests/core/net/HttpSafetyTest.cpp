// The client against a hostile or broken peer: injected header lines, cookies that would
// follow a redirect to another host, endless and oversized bodies, trickling servers, a stop
// in the middle of a redirect chain, malformed response heads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/net/HttpClient.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

using namespace quillbox::net;
using quillbox::test::LoopbackHttpServer;
using quillbox::test::LoopbackRequest;
using quillbox::test::LoopbackResponse;

namespace {

using Clock = std::chrono::steady_clock;

LoopbackResponse withHeader(LoopbackResponse response, std::string name, std::string value) {
    response.headers.emplace_back(std::move(name), std::move(value));
    return response;
}

LoopbackResponse endless(LoopbackResponse::Framing framing = LoopbackResponse::Framing::CloseDelimited) {
    LoopbackResponse response = LoopbackResponse::text(std::string(64 * 1024, 'x'));
    response.endless = true;
    response.framing = framing;
    return response;
}

}  // namespace

// ---- one header is one line ----

TEST(HttpInjection, HeaderAndCookieTextsThatWouldAddLinesAreRefused) {
    LoopbackHttpServer server;
    struct Case {
        const char* name;
        std::function<bool(HttpClient&)> set;
    };
    const Case cases[] = {
        {"CR LF in a value", [](HttpClient& h) { return h.setHeader("X-A", "1\r\nX-Injected: 1"); }},
        {"lone LF in a value", [](HttpClient& h) { return h.setHeader("X-A", "1\nX-Injected: 1"); }},
        {"lone CR in a value", [](HttpClient& h) { return h.setHeader("X-A", "1\rX-Injected: 1"); }},
        {"NUL in a value", [](HttpClient& h) { return h.setHeader("X-A", std::string("1\0X-Injected: 1", 15)); }},
        {"a second request", [](HttpClient& h) {
             return h.setHeader("X-A", "1\r\n\r\nGET /smuggled HTTP/1.1\r\nX-Injected: 1");
         }},
        {"space in a name", [](HttpClient& h) { return h.setHeader("X A", "1"); }},
        {"colon in a name", [](HttpClient& h) { return h.setHeader("X-Injected:", "1"); }},
        {"LF in a name", [](HttpClient& h) { return h.setHeader("X-A\nX-Injected", "1"); }},
        {"empty name", [](HttpClient& h) { return h.setHeader("", "1"); }},
        {"CR LF in cookies", [](HttpClient& h) { return h.setCookies("a=1\r\nX-Injected: 1"); }},
        {"CR LF in a client address", [](HttpClient& h) { return h.setClientAddress("1.2.3.4\r\nX-Injected: 1"); }},
        {"CR LF in the user agent", [](HttpClient& h) { return h.setUserAgent("UA\r\nX-Injected: 1"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClient http(HttpTransport::WinInet);
        ASSERT_TRUE(http.open(server.url("/")));
        EXPECT_FALSE(c.set(http));
        EXPECT_EQ(http.lastError(), HttpError::InvalidHeader);
        ASSERT_TRUE(http.send());
        const LoopbackRequest r = server.requests().back();
        EXPECT_FALSE(r.hasHeader("X-Injected"));
        EXPECT_EQ(r.head.find("Injected"), std::string::npos);
        EXPECT_EQ(r.head.find("smuggled"), std::string::npos);
        EXPECT_EQ(http.cookies(), "; ");
    }
    // Nothing was smuggled in as a request of its own.
    for (const LoopbackRequest& r : server.requests())
        EXPECT_EQ(r.target, "/");
}

TEST(HttpInjection, AUserAgentWithALineBreakFallsBackToTheDefault) {
    LoopbackHttpServer server;
    HttpClient http(HttpTransport::WinHttp, "Agent\r\nX-Injected: 1");
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(server.requests().back().header("User-Agent"), std::string(kDefaultUserAgent));
    EXPECT_FALSE(server.requests().back().hasHeader("X-Injected"));
}

// ---- cookies stay with their host ----

TEST(HttpCookieScope, ARedirectToAnotherHostCarriesNoCookiesAndNoCredentials) {
    LoopbackHttpServer other([](const LoopbackRequest&) { return LoopbackResponse::text("other"); }, "127.0.0.2");
    LoopbackHttpServer first([&](const LoopbackRequest& r) {
        if (r.target == "/login")
            return withHeader(LoopbackResponse::redirect(other.url("/landing")), "Set-Cookie", "sid=secret; Path=/");
        if (r.target == "/back")
            return LoopbackResponse::text("back");
        return LoopbackResponse::redirect(other.url("/next"));
    });
    ASSERT_GT(other.port(), 0) << "127.0.0.2 is not available";

    // Mode 1 (the script transport): the object's jar.
    HttpClient http(HttpTransport::WinInet);
    http.setCookies("hand=1");  // before any request: for the first host
    ASSERT_TRUE(http.open(first.url("/login")));
    ASSERT_TRUE(http.setCredentials("user", "password"));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseText(), "other");
    EXPECT_EQ(first.requests().back().header("Cookie"), "hand=1");
    ASSERT_EQ(other.requestCount(), 1);
    EXPECT_FALSE(other.requests().back().hasHeader("Cookie"));
    EXPECT_FALSE(other.requests().back().hasHeader("Authorization"));
    // Both cookies are still kept, for the host that has them.
    EXPECT_EQ(http.cookies(), "; hand=1; sid=secret; ");
    ASSERT_TRUE(http.open(first.url("/back")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(first.requests().back().header("Cookie"), "hand=1; sid=secret");

    // Mode 0 and 2 (libcurl follows, or the shared store): the same rule.
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        HttpClient::clearSystemCookies();
        HttpClient follower(HttpTransport::WinHttp);
        follower.setCookieMode(mode);
        ASSERT_TRUE(follower.open(first.url("/login")));
        ASSERT_TRUE(follower.setCredentials("user", "password"));
        ASSERT_TRUE(follower.send());
        EXPECT_EQ(follower.responseText(), "other");
        EXPECT_FALSE(other.requests().back().hasHeader("Cookie"));
        EXPECT_FALSE(other.requests().back().hasHeader("Authorization"));
    }
    HttpClient::clearSystemCookies();
}

TEST(HttpCookieScope, ACookieSetByHandForOneHostIsNotSentToAnother) {
    LoopbackHttpServer a;
    LoopbackHttpServer b(nullptr, "127.0.0.2");
    HttpClient http(HttpTransport::WinInet);
    ASSERT_TRUE(http.open(a.url("/")));
    ASSERT_TRUE(http.setCookies("token=1"));
    ASSERT_TRUE(http.send());
    ASSERT_TRUE(http.open(b.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(a.requests().back().header("Cookie"), "token=1");
    EXPECT_FALSE(b.requests().back().hasHeader("Cookie"));
}

// ---- size caps ----

TEST(HttpCaps, BodiesPastTheCapFailAndKeepNothing) {
    const std::vector<std::pair<const char*, LoopbackResponse>> answers = {
        {"endless, no length", endless()},
        {"endless, chunked", endless(LoopbackResponse::Framing::Chunked)},
        {"announced too long", [] {
             LoopbackResponse r = endless(LoopbackResponse::Framing::ContentLength);
             r.announcedLength = 1LL << 40;
             return r;
         }()},
        {"just one byte too many", LoopbackResponse::text(std::string(1024 * 1024 + 1, 'y'))},
    };
    for (const auto& [name, response] : answers) {
        SCOPED_TRACE(name);
        LoopbackHttpServer server([response = response](const LoopbackRequest&) { return response; });
        for (HttpTransport transport : {HttpTransport::WinHttp, HttpTransport::WinInet}) {
            HttpClient http(transport);
            http.setMaxResponseBytes(1024 * 1024);
            ASSERT_TRUE(http.open(server.url("/")));
            EXPECT_FALSE(http.send("", true, 2));  // not retried either
            EXPECT_EQ(http.lastError(), HttpError::TooLarge);
            EXPECT_NE(http.lastErrorText().find("1048576"), std::string::npos) << http.lastErrorText();
            EXPECT_TRUE(http.responseBytes().empty());
        }
    }
    // Exactly at the cap is whole.
    LoopbackHttpServer exact([](const LoopbackRequest&) { return LoopbackResponse::text(std::string(1024, 'z')); });
    HttpClient http;
    http.setMaxResponseBytes(1024);
    ASSERT_TRUE(http.open(exact.url("/")));
    ASSERT_TRUE(http.send());
    EXPECT_EQ(http.responseBytes().size(), 1024u);
}

TEST(HttpCaps, TheDefaultCapsAreTheTransports) {
    EXPECT_EQ(HttpClient(HttpTransport::WinInet).maxResponseBytes(), 64LL << 20);
    EXPECT_EQ(HttpClient(HttpTransport::WinHttp).maxResponseBytes(), 64LL << 20);
    EXPECT_EQ(HttpClient(HttpTransport::RequestObject).maxResponseBytes(), 1LL << 20);
    HttpClient http;
    http.setMaxResponseBytes(5);
    http.setMaxResponseBytes(-1);
    EXPECT_EQ(http.maxResponseBytes(), 64LL << 20);
}

TEST(HttpCaps, ABodyCanGoStraightToAFile) {
    std::string big(3 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    LoopbackHttpServer server([&](const LoopbackRequest&) { return LoopbackResponse::text(big); });
    const std::string path = quillbox::test::freshDirectory("http-file") + "/body";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    HttpClient http;
    http.setResponseFile(fd);
    ASSERT_TRUE(http.open(server.url("/")));
    ASSERT_TRUE(http.send());
    ::close(fd);
    EXPECT_TRUE(http.responseBytes().empty());
    EXPECT_TRUE(quillbox::test::readFile(path) == big);
}

// ---- deadlines ----

TEST(HttpDeadline, TricklingAndSilentServersEndAtTheOverallDeadline) {
    const std::vector<std::pair<const char*, LoopbackResponse>> answers = {
        {"one byte at a time, for ever", [] {
             LoopbackResponse r = endless();
             r.trickleMs = 100;
             return r;
         }()},
        {"silent after the head", [] {
             LoopbackResponse r = LoopbackResponse::text("late");
             r.stallAfterHeadersMs = 60000;
             return r;
         }()},
        {"silent before the head", [] {
             LoopbackResponse r = LoopbackResponse::text("late");
             r.delayMs = 60000;
             return r;
         }()},
    };
    for (const auto& [name, response] : answers) {
        SCOPED_TRACE(name);
        LoopbackHttpServer server([response = response](const LoopbackRequest&) { return response; });
        HttpClient http;
        http.setOverallTimeout(1500);
        ASSERT_TRUE(http.open(server.url("/")));
        const auto start = Clock::now();
        EXPECT_FALSE(http.send("", true, 3));
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));  // not the 300 s receive time-out
        EXPECT_EQ(http.lastError(), HttpError::Timeout);
        EXPECT_NE(http.lastErrorText().find("deadline"), std::string::npos) << http.lastErrorText();
    }
}

TEST(HttpDeadline, EveryTransportHasOne) {
    EXPECT_EQ(HttpClient(HttpTransport::WinHttp).overallTimeout(), 600000);
    EXPECT_EQ(HttpClient(HttpTransport::WinInet).overallTimeout(), 300000);
    EXPECT_EQ(HttpClient(HttpTransport::RequestObject).overallTimeout(), 30000);
}

// ---- a stop ends the whole request ----

TEST(HttpAbort, AStopDuringARedirectChainEndsItAtOnce) {
    // Every hop redirects after a pause: the stop lands while some hop is under way.
    std::atomic<int> hops{0};
    LoopbackHttpServer server;
    server.setHandler([&](const LoopbackRequest& r) {
        ++hops;
        LoopbackResponse response = LoopbackResponse::redirect(server.url("/hop" + std::to_string(r.target.size())));
        response.delayMs = 150;
        return response;
    });
    for (HttpTransport transport : {HttpTransport::WinInet, HttpTransport::WinHttp}) {
        hops = 0;
        HttpClient http(transport);
        ASSERT_TRUE(http.open(server.url("/")));
        std::atomic<bool> stopped{false};
        Clock::time_point stopAt;
        std::thread stopper([&] {
            while (hops < 3)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            stopAt = Clock::now();
            http.abort();
            stopped = true;
        });
        EXPECT_FALSE(http.send());
        const auto ended = Clock::now();
        stopper.join();
        EXPECT_TRUE(stopped);
        EXPECT_EQ(http.lastError(), HttpError::Timeout);
        EXPECT_EQ(http.lastErrorText(), "the request was stopped");
        // Well within a second of the stop (a busy machine gets room), and no further hops.
        EXPECT_LT(ended - stopAt, std::chrono::milliseconds(1500));
        EXPECT_LE(hops.load(), 5);
    }
}

// ---- malformed response heads ----

TEST(HttpMalformed, BadHeaderLinesAreLeftOutAndReported) {
    struct Case {
        const char* name;
        const char* line;
        bool delivered;       // the response arrives (else the send fails as malformed)
        const char* problem;  // what the report names
    };
    const Case cases[] = {
        {"no colon at all", "this line has no colon\r\n", false, "colon"},
        {"space in the name", "Bad Name: 3\r\n", true, "Bad Name"},
        {"folded continuation", " folded\r\n", true, "folded"},
        {"well formed", "", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server([&](const LoopbackRequest&) {
            LoopbackResponse r;
            r.raw = std::string("HTTP/1.1 200 OK\r\nX-Good: 1\r\n") + c.line +
                    "X-After: 2\r\nContent-Length: 4\r\nConnection: close\r\n\r\nbody";
            return r;
        });
        HttpClient http(HttpTransport::WinInet);
        ASSERT_TRUE(http.open(server.url("/")));
        EXPECT_EQ(http.send(), c.delivered);
        if (!c.delivered) {
            EXPECT_EQ(http.lastError(), HttpError::MalformedResponse);
            EXPECT_NE(http.lastErrorText().find(c.problem), std::string::npos) << http.lastErrorText();
            EXPECT_EQ(http.responseText(), "");
            continue;
        }
        EXPECT_EQ(http.statusCode(), 200);
        EXPECT_EQ(http.responseText(), "body");
        const std::string headers = http.responseHeaders();
        EXPECT_NE(headers.find("X-Good: 1\r\n"), std::string::npos) << headers;
        EXPECT_NE(headers.find("X-After: 2\r\n"), std::string::npos) << headers;
        EXPECT_EQ(headers.find("Bad Name"), std::string::npos) << headers;
        EXPECT_EQ(headers.find("folded"), std::string::npos) << headers;
        if (*c.problem)
            EXPECT_NE(http.responseProblem().find(c.problem), std::string::npos) << http.responseProblem();
        else
            EXPECT_EQ(http.responseProblem(), "");
    }
}
