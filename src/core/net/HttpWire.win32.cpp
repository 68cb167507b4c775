// The wire over the system's WinHTTP (synchronous handles).
//
// One session handle per client keeps its connections. WinHTTP's own cookie engine and its
// own redirect following are switched off (WINHTTP_DISABLE_COOKIES, redirect policy
// "never"): the wire follows redirects itself, up to kMaxWireRedirects, so that the cookies
// it keeps (a CookieJar per client, or the process-wide one) and any credentials stay with
// the host they belong to, and a cookie set by hand joins the stored ones in one header, as
// the libcurl wire does. TLS is 1.2 or newer. A stop or the deadline closes the request
// handle from a watcher thread, and every blocking call's time-out is cut to the deadline.
#include "core/net/HttpWire.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/net/CookieJar.h"
#include "core/net/HttpClient.h"
#include "core/net/HttpUrl.h"
#include "core/text/Ascii.h"
#include "core/text/Text.h"

namespace quillbox::net {

namespace {

using Clock = std::chrono::steady_clock;
using text::equalsNoCaseAscii;
using text::trimBlanks;

// Header and URL bytes as WinHTTP's wide strings: each byte one character, so they go out
// as the bytes they are.
std::wstring widenBytes(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (unsigned char c : bytes)
        wide.push_back(static_cast<wchar_t>(c));
    return wide;
}

// Text (GB18030 bytes) as UTF-16, for credentials.
std::wstring wideText(std::string_view bytes) {
    const std::u16string u16 = text::utf8ToUtf16(text::fromGb18030(bytes));
    return std::wstring(u16.begin(), u16.end());
}

// What WinHTTP gives back as wide text, as bytes again.
std::string narrowBytes(std::wstring_view wide) {
    std::string bytes;
    bytes.reserve(wide.size());
    for (wchar_t c : wide) {
        if (static_cast<unsigned>(c) < 0x100) {
            bytes.push_back(static_cast<char>(c));
        } else {
            std::string utf8;
            text::appendUtf8(utf8, static_cast<char32_t>(c));
            bytes += text::toGb18030(utf8);
        }
    }
    return bytes;
}

std::string errorWords(DWORD code) {
    return "WinHTTP error " + std::to_string(code);
}

// ---- cookies the wire keeps: one jar per client, one for the process ----
struct SharedJar {
    std::mutex mutex;
    CookieJar jar;
    static SharedJar& instance() {
        static SharedJar shared;
        return shared;
    }
};

struct Handle {
    HINTERNET h = nullptr;
    Handle() = default;
    explicit Handle(HINTERNET handle) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(nullptr); }
    void reset(HINTERNET handle) {
        if (h)
            WinHttpCloseHandle(h);
        h = handle;
    }
};

// Closes the running request's handle when a stop is asked for or the deadline passes: the
// blocking call then returns at once.
class Watcher {
public:
    Watcher(const WireRequest& request) : request_(request) {
        if (request_.stop || request_.deadlineSet)
            thread_ = std::thread([this] { run(); });
    }
    ~Watcher() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    // The request handle now running (null: none). A handle the watcher closed is not
    // closed again by its owner: release() says whether the owner still must.
    void watch(HINTERNET handle) {
        std::lock_guard lock(mutex_);
        current_ = handle;
    }
    bool release(HINTERNET handle) {
        std::lock_guard lock(mutex_);
        if (current_ == handle)
            current_ = nullptr;
        return handle != closed_;
    }
    bool fired() const { return fired_; }

private:
    bool due() const {
        return (request_.stop && *request_.stop) || (request_.deadlineSet && Clock::now() >= request_.deadline);
    }
    void run() {
        std::unique_lock lock(mutex_);
        while (!done_) {
            wake_.wait_for(lock, std::chrono::milliseconds(20));
            if (!done_ && current_ && due()) {
                fired_ = true;
                closed_ = current_;
                current_ = nullptr;
                WinHttpCloseHandle(closed_);
            }
        }
    }

    const WireRequest& request_;
    std::mutex mutex_;
    std::condition_variable wake_;
    HINTERNET current_ = nullptr;
    HINTERNET closed_ = nullptr;
    std::atomic<bool> fired_{false};
    bool done_ = false;
    std::thread thread_;
};

// One hop of a request: where it goes and what it carries.
struct Hop {
    std::string url;
    std::string host;
    int port = 0;
    bool secure = false;
    std::string path = "/";  // for cookies
    std::string method;
    bool sendBody = false;
    bool credentials = true;  // the request's own host: its credentials and hand cookies go
};

// The path and query of an absolute URL, "/" when it has none.
std::string objectName(std::string_view url) {
    const std::size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    const std::size_t start = rest.find_first_of("/?#");
    rest = start == std::string_view::npos ? std::string_view() : rest.substr(start);
    const std::size_t fragment = rest.find('#');
    if (fragment != std::string_view::npos)
        rest = rest.substr(0, fragment);
    std::string name(rest);
    if (name.empty() || name[0] != '/')
        name.insert(0, "/");
    return name;
}

class WinHttpWire final : public HttpWire {
public:
    explicit WinHttpWire(HINTERNET session) : session_(session) {}

    void transfer(const WireRequest& request, WireResponse& response) override;

private:
    // Sends one hop and receives its head; the request handle stays open in `h` for the body.
    // False with the outcome set in `response`.
    bool sendHop(const WireRequest& r, const Hop& hop, Handle& connection, Handle& h, Watcher& watcher,
                 WireResponse& response);
    bool readBody(const WireRequest& r, HINTERNET h, Watcher& watcher, WireResponse& response);
    void fail(const WireRequest& r, Watcher& watcher, WireResponse& response, DWORD code);

    std::string cookieHeader(const WireRequest& r, const Hop& hop);
    void takeCookies(const WireRequest& r, const Hop& hop, const std::string& raw);

    Handle session_;
    CookieJar jar_;
};

void setTimeouts(HINTERNET h, const WireRequest& r) {
    int remaining = 0;
    if (r.deadlineSet)
        remaining = std::max(1, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    r.deadline - Clock::now()).count()));
    auto cut = [&](int ms) {
        if (remaining > 0 && (ms <= 0 || ms > remaining))
            return remaining;
        return ms > 0 ? ms : -1;  // -1: no time-out
    };
    WinHttpSetTimeouts(h, cut(r.resolveMs), cut(r.connectMs), cut(r.sendMs), cut(r.receiveMs));
    // The wait for the response head has a time-out of its own.
    DWORD head = static_cast<DWORD>(cut(r.receiveMs));
    WinHttpSetOption(h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &head, sizeof head);
}

std::string WinHttpWire::cookieHeader(const WireRequest& r, const Hop& hop) {
    const CookieScope scope = cookieScope(hop.host, hop.path, hop.secure);
    std::string stored;
    if (r.cookies == CookieKeeper::Object) {
        stored = jar_.headerFor(scope);
    } else if (r.cookies == CookieKeeper::System) {
        SharedJar& shared = SharedJar::instance();
        std::lock_guard lock(shared.mutex);
        stored = shared.jar.headerFor(scope);
    }
    return stored;
}

void WinHttpWire::takeCookies(const WireRequest& r, const Hop& hop, const std::string& raw) {
    const CookieScope scope = cookieScope(hop.host, hop.path, hop.secure);
    if (r.cookies == CookieKeeper::Object) {
        jar_.takeResponse(raw, scope);
    } else if (r.cookies == CookieKeeper::System) {
        SharedJar& shared = SharedJar::instance();
        std::lock_guard lock(shared.mutex);
        shared.jar.takeResponse(raw, scope);
    }
}

void WinHttpWire::fail(const WireRequest& r, Watcher& watcher, WireResponse& response, DWORD code) {
    response.errorText = errorWords(code);
    if (watcher.fired() || code == ERROR_WINHTTP_OPERATION_CANCELLED || code == ERROR_INVALID_HANDLE) {
        response.outcome = r.stop && *r.stop ? WireOutcome::Stopped : WireOutcome::TimedOut;
        return;
    }
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:  // wine passes some socket errors through as they are
        response.outcome = WireOutcome::TimedOut;
        response.errorText = "no progress within the time-out";
        break;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        response.outcome = WireOutcome::CannotConnect;
        response.errorText = "cannot connect";
        break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        response.outcome = WireOutcome::NameNotResolved;
        response.errorText = "could not resolve the host name";
        break;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
        response.outcome = WireOutcome::Dropped;
        response.errorText = "the connection ended";
        break;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        response.outcome = WireOutcome::Malformed;
        response.errorText = "the response head cannot be read";
        break;
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
    case ERROR_WINHTTP_HEADER_COUNT_EXCEEDED:
        response.outcome = WireOutcome::TooLarge;
        break;
    case ERROR_WINHTTP_REDIRECT_FAILED:
        response.outcome = WireOutcome::TooManyRedirects;
        break;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        response.outcome = WireOutcome::InvalidUrl;
        break;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        response.outcome = WireOutcome::SecureFailure;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
        response.outcome = WireOutcome::OutOfMemory;
        break;
    default:
        response.outcome = WireOutcome::Other;
        break;
    }
}

bool WinHttpWire::sendHop(const WireRequest& r, const Hop& hop, Handle& connection, Handle& h, Watcher& watcher,
                          WireResponse& response) {
    std::string host = hop.host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    connection.reset(WinHttpConnect(session_.h, widenBytes(host).c_str(), static_cast<INTERNET_PORT>(hop.port), 0));
    if (!connection.h) {
        fail(r, watcher, response, GetLastError());
        return false;
    }
    const std::wstring verb = widenBytes(hop.method);
    const std::wstring object = widenBytes(objectName(hop.url));
    DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    if (hop.secure)
        flags |= WINHTTP_FLAG_SECURE;
    h.reset(WinHttpOpenRequest(connection.h, verb.c_str(), object.c_str(), nullptr, WINHTTP_NO_REFERER,
                               WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!h.h) {
        fail(r, watcher, response, GetLastError());
        return false;
    }

    DWORD value = WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(h.h, WINHTTP_OPTION_DISABLE_FEATURE, &value, sizeof value);
    value = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(h.h, WINHTTP_OPTION_REDIRECT_POLICY, &value, sizeof value);
    if (hop.secure) {
        value = 0;
        if (!r.verifyPeer)
            value = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
        else if (!r.verifyHost)
            value = SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
        if (value)
            WinHttpSetOption(h.h, WINHTTP_OPTION_SECURITY_FLAGS, &value, sizeof value);
    }
    std::wstring proxy, bypass;
    if (!r.proxy.empty()) {
        proxy = widenBytes(r.proxy);
        bypass = widenBytes(r.proxyBypass);
        WINHTTP_PROXY_INFO info{};
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        info.lpszProxy = proxy.data();
        info.lpszProxyBypass = bypass.empty() ? nullptr : bypass.data();
        WinHttpSetOption(h.h, WINHTTP_OPTION_PROXY, &info, sizeof info);
        if (r.proxyCredentials) {
            const std::wstring user = wideText(r.proxyUser), password = wideText(r.proxyPassword);
            WinHttpSetOption(h.h, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(user.c_str()),
                             static_cast<DWORD>(user.size()));
            WinHttpSetOption(h.h, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(password.c_str()),
                             static_cast<DWORD>(password.size()));
        }
    }
    setTimeouts(h.h, r);

    // Header lines: the caller's, the user agent unless set, and the cookies kept here joined
    // with any set by hand into one Cookie header.
    std::string lines;
    bool hasAgent = false;
    std::string handCookies;
    for (const auto& [name, value] : r.headers) {
        if (equalsNoCaseAscii(name, "Content-Length") || equalsNoCaseAscii(name, "Host"))
            continue;
        if (equalsNoCaseAscii(name, "Cookie")) {
            // Hand-set cookies, like credentials, go to the request's own host only.
            if (hop.credentials && !trimBlanks(value).empty())
                handCookies += (handCookies.empty() ? "" : "; ") + std::string(trimBlanks(value));
            continue;
        }
        if (!hop.credentials && equalsNoCaseAscii(name, "Authorization"))
            continue;
        hasAgent |= equalsNoCaseAscii(name, "User-Agent");
        lines += name + ": " + value + "\r\n";
    }
    if (!hasAgent)
        lines += "User-Agent: " + r.userAgent + "\r\n";
    std::string cookies = cookieHeader(r, hop);
    if (!handCookies.empty())
        cookies += (cookies.empty() ? "" : "; ") + handCookies;
    if (!cookies.empty())
        lines += "Cookie: " + cookies + "\r\n";
    const std::wstring wideLines = widenBytes(lines);
    if (!WinHttpAddRequestHeaders(h.h, wideLines.c_str(), static_cast<DWORD>(wideLines.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
        fail(r, watcher, response, GetLastError());
        return false;
    }

    // Sends, answering one challenge for credentials (the server's, then a proxy's).
    bool serverTried = false, proxyTried = false;
    for (;;) {
        watcher.watch(h.h);
        const bool withBody = hop.sendBody && !r.body.empty();
        const DWORD length = hop.sendBody ? static_cast<DWORD>(r.body.size()) : 0;
        if (!WinHttpSendRequest(h.h, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                withBody ? const_cast<char*>(r.body.data()) : WINHTTP_NO_REQUEST_DATA, length,
                                length, 0) ||
            !WinHttpReceiveResponse(h.h, nullptr)) {
            fail(r, watcher, response, GetLastError());
            return false;
        }
        DWORD status = 0, size = sizeof status;
        WinHttpQueryHeaders(h.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &status, &size, WINHTTP_NO_HEADER_INDEX);
        response.status = static_cast<long>(status);
        const bool server = status == 401 && !serverTried && hop.credentials && !r.serverUser.empty();
        const bool viaProxy = status == 407 && !proxyTried && r.proxyCredentials;
        if (!server && !viaProxy)
            break;
        DWORD schemes = 0, first = 0, target = 0;
        if (!WinHttpQueryAuthSchemes(h.h, &schemes, &first, &target))
            break;
        DWORD scheme = 0;
        for (DWORD candidate : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_DIGEST,
                                WINHTTP_AUTH_SCHEME_BASIC})
            if (schemes & candidate)
                scheme = candidate;
        if (!scheme)
            break;
        const std::wstring user = wideText(server ? r.serverUser : r.proxyUser);
        const std::wstring password = wideText(server ? r.serverPassword : r.proxyPassword);
        if (!WinHttpSetCredentials(h.h, server ? WINHTTP_AUTH_TARGET_SERVER : WINHTTP_AUTH_TARGET_PROXY, scheme,
                                   user.c_str(), password.c_str(), nullptr))
            break;
        (server ? serverTried : proxyTried) = true;
    }

    DWORD bytes = 0;
    WinHttpQueryHeaders(h.h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &bytes, WINHTTP_NO_HEADER_INDEX);
    std::wstring wide(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    if (!WinHttpQueryHeaders(h.h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, wide.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        fail(r, watcher, response, GetLastError());
        return false;
    }
    wide.resize(bytes / sizeof(wchar_t));
    const std::string raw = narrowBytes(wide);
    response.rawHeaders.clear();
    response.problem.clear();
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find("\r\n", start);
        if (end == std::string::npos)
            end = raw.size();
        const std::string_view line(raw.data() + start, end - start);
        start = end + 2;
        if (line.empty())
            continue;
        // A header line without any colon is no header at all: the head cannot be read.
        if (!line.starts_with("HTTP/") && line.find(':') == std::string_view::npos && line[0] != ' ' &&
            line[0] != '\t') {
            response.outcome = WireOutcome::Malformed;
            response.errorText = "a header line without a colon: \"" +
                                 text::escapeControls(text::replaceInvalidUtf8(line.substr(0, 80))) + "\"";
            return false;
        }
        if (!takeHeaderLine(line, response.rawHeaders, response.problem)) {
            response.outcome = WireOutcome::TooLarge;
            return false;
        }
    }
    takeHeaderLine("", response.rawHeaders, response.problem);  // the blank line that ends the head
    return true;
}

bool WinHttpWire::readBody(const WireRequest& r, HINTERNET h, Watcher& watcher, WireResponse& response) {
    BodySink sink(response, r.maxBodyBytes, r.bodyFd);
    bool found = false;
    const std::string length = headerValueOf(response.rawHeaders, "Content-Length", found);
    long long announced = -1;
    if (found && !length.empty() && std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }))
        announced = std::strtoll(length.c_str(), nullptr, 10);
    bool first = true;
    std::string buffer(64 * 1024, '\0');
    for (;;) {
        setTimeouts(h, r);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(h, &available)) {
            fail(r, watcher, response, GetLastError());
            return false;
        }
        if (available == 0)
            break;
        if (first) {
            first = false;
            const WireOutcome outcome = sink.announce(announced);
            if (outcome != WireOutcome::Ok) {
                response.outcome = outcome;
                return false;
            }
        }
        DWORD read = 0;
        if (!WinHttpReadData(h, buffer.data(), std::min<DWORD>(available, static_cast<DWORD>(buffer.size())), &read)) {
            fail(r, watcher, response, GetLastError());
            return false;
        }
        if (read == 0)
            break;
        const WireOutcome outcome = sink.take(buffer.data(), read);
        if (outcome != WireOutcome::Ok) {
            response.outcome = outcome;
            return false;
        }
        if ((r.stop && *r.stop) || (r.deadlineSet && Clock::now() >= r.deadline)) {
            response.outcome = r.stop && *r.stop ? WireOutcome::Stopped : WireOutcome::TimedOut;
            return false;
        }
    }
    if (announced >= 0 && response.received < announced) {
        response.outcome = WireOutcome::Dropped;
        response.errorText = "the connection ended before the whole body";
        return false;
    }
    return true;
}

void WinHttpWire::transfer(const WireRequest& r, WireResponse& response) {
    response = WireResponse{};
    Watcher watcher(r);
    const CrackedUrl cracked = crackUrl(r.url);
    Hop hop{r.url, cracked.host, cracked.port, cracked.secure, cracked.path, r.method, r.sendBody, true};
    for (int redirects = 0;; ++redirects) {
        Handle connection, h;
        const bool sent = sendHop(r, hop, connection, h, watcher, response);
        if (!sent) {
            if (!watcher.release(h.h))
                h.h = nullptr;  // the watcher closed it
            return;
        }
        takeCookies(r, hop, response.rawHeaders);
        const long status = response.status;
        bool found = false;
        const std::string location = headerValueOf(response.rawHeaders, "Location", found);
        const bool redirect = r.followRedirects && !location.empty() &&
                              (status == 301 || status == 302 || status == 303 || status == 307 || status == 308);
        if (!redirect) {
            const bool ok = hop.method == "HEAD" || readBody(r, h.h, watcher, response);
            if (!watcher.release(h.h))
                h.h = nullptr;
            if (ok)
                response.outcome = WireOutcome::Ok;
            return;
        }
        if (!watcher.release(h.h))
            h.h = nullptr;
        if (redirects >= kMaxWireRedirects) {
            response.outcome = WireOutcome::TooManyRedirects;
            response.errorText = "more than " + std::to_string(kMaxWireRedirects) + " redirects";
            return;
        }
        const std::string target =
            encodeUrlBytes(resolveLocation(location, hop.url, hop.secure, hop.host, hop.port));
        const CrackedUrl next = crackUrl(target);
        if (!next.ok) {
            response.outcome = WireOutcome::InvalidUrl;
            response.errorText = "a redirect to an invalid URL";
            return;
        }
        // 303, and 301 or 302 after a POST, go on as GET without the body.
        if (status == 303 || ((status == 301 || status == 302) && hop.method == "POST")) {
            if (hop.method != "HEAD")
                hop.method = "GET";
            hop.sendBody = false;
        }
        hop.credentials = hop.credentials && text::lowerAscii(next.host) == text::lowerAscii(r.host) &&
                          next.port == r.port && next.secure == r.secure;
        hop.url = target;
        hop.host = next.host;
        hop.port = next.port;
        hop.secure = next.secure;
        hop.path = next.path;
        response.rawHeaders.clear();
        response.problem.clear();
        response.status = 0;
    }
}

}  // namespace

std::unique_ptr<HttpWire> HttpWire::make() {
    // No proxy unless the client names one: neither the system's nor the environment's.
    HINTERNET session = WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        return nullptr;
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        // Systems before TLS 1.3 refuse the flag: 1.2 alone is still the floor.
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
    DWORD headerBytes = static_cast<DWORD>(kMaxHeaderBytes);
    WinHttpSetOption(session, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &headerBytes, sizeof headerBytes);
    return std::make_unique<WinHttpWire>(session);
}

void HttpWire::clearSystemCookies() {
    SharedJar& shared = SharedJar::instance();
    std::lock_guard lock(shared.mutex);
    shared.jar.clear();
}

void HttpWire::storeSystemCookie(const std::string& host, std::string_view name, std::string_view value) {
    SharedJar& shared = SharedJar::instance();
    std::lock_guard lock(shared.mutex);
    shared.jar.takePairs(std::string(name) + "=" + std::string(value), host);
}

}  // namespace quillbox::net
