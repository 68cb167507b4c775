#include "core/net/HttpClient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <new>

#include <unistd.h>

#include "core/net/CookieJar.h"
#include "core/net/HttpUrl.h"
#include "core/net/HttpWire.h"
#include "core/text/Ascii.h"
#include "core/text/Text.h"

namespace quillbox::net {

namespace {

using Clock = std::chrono::steady_clock;

using text::equalsNoCaseAscii;
using text::lowerAscii;
using text::trimBlanks;

// Every preset of a transport, in one place.
struct TransportPreset {
    int cookieMode;
    bool cacheControlHeader;       // "Cache-Control: no-cache" among the default headers
    int resolveMs, connectMs, sendMs, receiveMs;
    bool zeroTimeoutMeansDefault;  // setTimeouts(0) gives the default, not "none"
    HttpError droppedConnection;   // the error a dropped connection reports (and is retried on)
    bool alwaysIgnoreCertificates;
    bool forgiveCertificateNames;
    long long maxResponseBytes;
    int overallMs;
};

const TransportPreset& presetOf(HttpTransport transport) {
    static constexpr TransportPreset kWinHttp{0, true, 10000, 15000, 120000, 300000, false,
                                              HttpError::ConnectionError, false, false, kDefaultMaxResponseBytes,
                                              600000};
    static constexpr TransportPreset kWinInet{1, false, 0, 15000, 120000, 300000, true,
                                              HttpError::ConnectionReset, false, true, kDefaultMaxResponseBytes,
                                              300000};
    static constexpr TransportPreset kRequestObject{0, false, 0, 60000, 30000, 30000, false,
                                                    HttpError::ConnectionError, true, false, 1 << 20, 30000};
    switch (transport) {
    case HttpTransport::WinInet:
        return kWinInet;
    case HttpTransport::RequestObject:
        return kRequestObject;
    case HttpTransport::WinHttp:
        break;
    }
    return kWinHttp;
}

}  // namespace

// ---- shared by the wires ----

std::string headerValueOf(std::string_view raw, std::string_view name, bool& found) {
    found = false;
    const std::string lowerName = lowerAscii(name) + ":";
    std::size_t lineStart = 0;
    while (lineStart < raw.size()) {
        std::size_t lineEnd = raw.find("\r\n", lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = raw.size();
        const std::string_view line = raw.substr(lineStart, lineEnd - lineStart);
        if (line.size() >= lowerName.size() && lowerAscii(line.substr(0, lowerName.size())) == lowerName) {
            found = true;
            return std::string(trimBlanks(line.substr(lowerName.size())));
        }
        lineStart = lineEnd + 2;
    }
    return {};
}

bool takeHeaderLine(std::string_view line, std::string& raw, std::string& problem) {
    // A new status line starts a new response (interim answers, followed redirects): the
    // stored block is always the last response's.
    const bool statusLine = line.starts_with("HTTP/");
    if (statusLine) {
        raw.clear();
        problem.clear();
    }
    // A header line is a token, a colon and a value. Anything else (no colon, a name with
    // spaces, a folded continuation line) is left out, as browsers leave it out, and the
    // response is marked malformed for the caller to report.
    if (!statusLine && !line.empty()) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !text::isHttpToken(line.substr(0, colon)) ||
            line.find('\0') != std::string_view::npos) {
            if (problem.empty())
                problem = "malformed response header line: \"" +
                          text::escapeControls(text::replaceInvalidUtf8(line.substr(0, 80))) + "\"";
            return true;
        }
    }
    if (raw.size() + line.size() > kMaxHeaderBytes)
        return false;
    raw.append(line).append("\r\n");
    return true;
}

WireOutcome BodySink::announce(long long length) {
    // A body announced larger than the cap is refused before a byte of it is kept.
    if (cap_ > 0 && length > cap_)
        return WireOutcome::TooLarge;
    // A body of known length gets its room in one piece.
    if (fd_ < 0 && length > 0) {
        try {
            response_.body.reserve(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            return WireOutcome::OutOfMemory;
        }
    }
    return WireOutcome::Ok;
}

WireOutcome BodySink::take(const char* data, std::size_t n) {
    if (cap_ > 0 && response_.received + static_cast<long long>(n) > cap_)
        return WireOutcome::TooLarge;
    response_.received += static_cast<long long>(n);
    if (fd_ >= 0) {
        for (const char* p = data, *end = data + n; p < end;) {
            const auto written = ::write(fd_, p, static_cast<unsigned>(end - p));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return WireOutcome::WriteFailed;
            p += written;
        }
        return WireOutcome::Ok;
    }
    try {
        // Past 1 MiB the room for the whole cap is taken at once: pages the body never
        // reaches are never touched, and the copies that doubling leaves behind in the heap
        // (as much again as the body) are not made.
        std::string& body = response_.body;
        const std::size_t needed = body.size() + n;
        if (cap_ > 0 && needed > body.capacity())
            body.reserve(needed <= (1u << 20) ? std::max(body.capacity() * 2, needed) : static_cast<std::size_t>(cap_));
        body.append(data, n);
    } catch (const std::bad_alloc&) {
        return WireOutcome::OutOfMemory;
    }
    return WireOutcome::Ok;
}

// ---- creation and release ----

HttpClient::HttpClient(HttpTransport transport, std::string_view userAgent) : transport_(transport) {
    create(userAgent);
}

HttpClient::~HttpClient() { close(); }

bool HttpClient::create(std::string_view userAgent) {
    close();
    wire_ = HttpWire::make();
    if (!wire_)
        return false;

    // A user agent that could end its header line early is not used.
    userAgent_ = text::toGb18030(text::hasLineBreakOrNul(userAgent) ? kDefaultUserAgent : userAgent);
    const TransportPreset& preset = presetOf(transport_);
    autoHeaders_ = true;
    cookieMode_ = preset.cookieMode;
    noAutoRedirect_ = false;
    redirectCount_ = 0;
    cookieJar_.clear();
    maxResponseBytes_ = preset.maxResponseBytes;
    overallTimeoutMs_ = preset.overallMs;
    ignoreCertificateErrors_ = true;
    proxy_.clear();
    proxyBypass_.clear();
    resetTimeouts();
    lastError_ = HttpError::None;
    lastErrorText_.clear();
    return true;
}

void HttpClient::close() {
    requestOpen_ = false;
    wire_.reset();
    connectedHost_.clear();
    connectedPort_ = 0;
    requestUrl_.clear();
    secure_ = false;
    headers_.clear();
    proxyPending_ = false;
    proxyUser_.clear();
    proxyPassword_.clear();
    serverUser_.clear();
    serverPassword_.clear();
    resetResponse();
    body_.shrink_to_fit();
}

void HttpClient::clearSystemCookies() { HttpWire::clearSystemCookies(); }

// ---- settings ----

void HttpClient::setCookieMode(int mode) { cookieMode_ = mode >= 0 && mode <= 2 ? mode : 0; }

void HttpClient::resetTimeouts() {
    const TransportPreset& preset = presetOf(transport_);
    resolveTimeoutMs_ = preset.resolveMs;
    connectTimeoutMs_ = preset.connectMs;
    sendTimeoutMs_ = preset.sendMs;
    receiveTimeoutMs_ = preset.receiveMs;
}

void HttpClient::setMaxResponseBytes(long long bytes) {
    maxResponseBytes_ = bytes < 0 ? presetOf(transport_).maxResponseBytes : bytes;
}

void HttpClient::setOverallTimeout(int ms) { overallTimeoutMs_ = ms < 0 ? presetOf(transport_).overallMs : ms; }

void HttpClient::setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
    resetTimeouts();  // an omitted time-out takes its default
    const bool zeroMeansDefault = presetOf(transport_).zeroTimeoutMeansDefault;
    auto pick = [&](int given, int& field) {
        if (given > 0 || (given == 0 && !zeroMeansDefault))
            field = given;
    };
    pick(resolveMs, resolveTimeoutMs_);
    pick(connectMs, connectTimeoutMs_);
    pick(sendMs, sendTimeoutMs_);
    pick(receiveMs, receiveTimeoutMs_);
}

void HttpClient::setProxy(std::string_view proxy, std::string_view bypass) {
    proxy_ = text::toGb18030(proxy);
    proxyBypass_ = text::toGb18030(bypass);
}

void HttpClient::setProxyCredentials(std::string_view user, std::string_view password) {
    proxyUser_ = text::toGb18030(user);
    proxyPassword_ = text::toGb18030(password);
    proxyPending_ = true;
}

// ---- open ----

bool HttpClient::open(std::string_view method, std::string_view url) {
    // A stop belongs to the request it was meant for; the redirects of that request (which
    // open again through openBytes) keep it.
    abortRequested_ = false;
    if (!openBytes(text::toGb18030(method), text::toGb18030(url)))
        return false;
    if (cookieMode_ == 1)
        cookieJar_.bindUnscoped(connectedHost_);
    return true;
}

bool HttpClient::openBytes(std::string_view method, std::string_view url) {
    requestOpen_ = false;
    headers_.clear();
    disableTransportCookies_ = false;
    serverUser_.clear();
    serverPassword_.clear();
    resetResponse();
    lastError_ = HttpError::None;
    lastErrorText_.clear();
    if (!wire_) {
        lastError_ = HttpError::NoRequest;
        lastErrorText_ = "the client is closed";
        return false;
    }

    // The method goes into the request line as it is: it must be one token.
    if (!method.empty() && !text::isHttpToken(method)) {
        lastError_ = HttpError::Other;
        lastErrorText_ = "invalid method";
        return false;
    }
    const std::string full = applySchemeRule(url);
    const std::string encoded = encodeUrlBytes(full);
    const CrackedUrl cracked = crackUrl(encoded);
    if (!cracked.ok) {
        lastError_ = HttpError::InvalidUrl;
        lastErrorText_ = "invalid URL";
        return false;
    }
    encodedUrl_ = encoded;

    requestUrl_ = full;
    secure_ = cracked.secure;
    connectedHost_ = cracked.host;
    connectedPort_ = cracked.port;
    requestPath_ = cracked.path;
    method_ = method.empty() ? "GET" : std::string(method);
    for (char& c : method_)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    isPost_ = method_ == "POST";
    requestOpen_ = true;
    return true;
}

// ---- headers ----

bool HttpClient::setHeaderBytes(const std::string& name, const std::string& value, HeaderMode mode) {
    auto sameName = [&](const Header& h) { return equalsNoCaseAscii(h.name, name); };
    const bool exists = std::any_of(headers_.begin(), headers_.end(), sameName);
    switch (mode) {
    case HeaderMode::AddIfNew:
        if (exists)
            return false;
        break;
    case HeaderMode::Replace:
        if (!exists)
            return false;
        std::erase_if(headers_, sameName);
        if (value.empty())
            return true;  // an empty value deletes
        break;
    case HeaderMode::AddAndReplace:
        std::erase_if(headers_, sameName);
        break;
    case HeaderMode::Add:
        break;
    }
    headers_.push_back({name, value});
    return true;
}

bool HttpClient::setHeader(std::string_view name, std::string_view value, HeaderMode mode) {
    if (!hasRequest())
        return false;
    const std::string nameBytes = text::toGb18030(name);
    const std::string valueBytes = text::toGb18030(value);
    // One header is one line: a value with CR, LF or NUL could add headers of its own, or a
    // second request, so it is refused, as a name that is not a token is.
    if (!text::isHttpToken(nameBytes) || text::hasLineBreakOrNul(valueBytes)) {
        lastError_ = HttpError::InvalidHeader;
        lastErrorText_ = "header \"" + text::escapeControls(std::string(name)) +
                         "\" refused: the name must be a token and the value one line without NUL";
        return false;
    }
    // Setting a Cookie header by hand means the caller manages cookies for this request.
    if (cookieMode_ == 0 && equalsNoCaseAscii(nameBytes, "cookie"))
        disableTransportCookies_ = true;
    return setHeaderBytes(nameBytes, valueBytes, mode);
}

bool HttpClient::removeHeader(std::string_view name) {
    if (!hasRequest() || name.empty())
        return false;
    return setHeaderBytes(text::toGb18030(name), std::string(), HeaderMode::Replace);
}

bool HttpClient::setUserAgent(std::string_view agent) { return setHeader("User-Agent", agent); }
bool HttpClient::setReferer() { return setReferer(text::fromGb18030(requestUrl_)); }
bool HttpClient::setReferer(std::string_view referer) { return setHeader("Referer", referer); }
bool HttpClient::setAccept(std::string_view accept) { return setHeader("Accept", accept); }
bool HttpClient::setAcceptLanguage(std::string_view language) {
    return setHeader("Accept-Language", language);
}
bool HttpClient::setContentType(std::string_view type) { return setHeader("Content-Type", type); }
bool HttpClient::setAjax() { return setHeader("x-requested-with", "XMLHttpRequest"); }

bool HttpClient::setClientAddress(std::string_view address) {
    if (!hasRequest())
        return false;
    if (text::hasLineBreakOrNul(address)) {
        lastError_ = HttpError::InvalidHeader;
        lastErrorText_ = "client address refused: CR, LF or NUL in it";
        return false;
    }
    bool ok = true;
    for (const char* name : {"X-Forwarded-For", "CLIENT_IP", "VIA", "REMOTE_ADDR"})
        ok = setHeader(name, address) && ok;
    return ok;
}

bool HttpClient::setCredentials(std::string_view user, std::string_view password) {
    if (!hasRequest())
        return false;
    serverUser_ = text::toGb18030(user);
    serverPassword_ = text::toGb18030(password);
    return true;
}

// ---- cookies ----

bool HttpClient::setCookies(std::string_view cookieText) {
    const std::string pairs = text::toGb18030(cookieText);
    if (text::hasLineBreakOrNul(pairs)) {
        lastError_ = HttpError::InvalidHeader;
        lastErrorText_ = "cookies refused: CR, LF or NUL in the cookie text";
        return false;
    }
    switch (cookieMode_) {
    case 1:
        // Before any request they wait for the host of the next one.
        cookieJar_.takePairs(pairs, hasRequest() ? std::string_view(connectedHost_) : std::string_view());
        return true;
    case 2: {
        if (!hasRequest())
            return false;
        // Host-only cookies for the whole site of the request URL.
        std::string host = connectedHost_;
        std::string_view rest(pairs);
        while (!rest.empty()) {
            const std::size_t semicolon = rest.find(';');
            const std::string_view pair = trimBlanks(rest.substr(0, semicolon));
            rest.remove_prefix(semicolon == std::string_view::npos ? rest.size() : semicolon + 1);
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos || equals == 0)
                continue;
            HttpWire::storeSystemCookie(host, pair.substr(0, equals), pair.substr(equals + 1));
        }
        return true;
    }
    default:
        return setHeader("Cookie", cookieText);
    }
}

std::string HttpClient::cookies() const { return text::fromGb18030(cookieJar_.text()); }

CookieScope HttpClient::currentCookieScope() const { return cookieScope(connectedHost_, requestPath_, secure_); }

// ---- send ----

bool HttpClient::send(std::string_view body, bool retry, int retryCount) {
    if (!hasRequest()) {
        lastError_ = HttpError::NoRequest;
        lastErrorText_ = "no request is open";
        return false;
    }
    deadlineSet_ = overallTimeoutMs_ > 0;
    if (deadlineSet_)
        deadline_ = Clock::now() + std::chrono::milliseconds(overallTimeoutMs_);
    if (!sendRequest(text::toGb18030(body), retry, retryCount))
        return false;
    return followRedirects();
}

void HttpClient::prepareRequest(const std::string& body) {
    const bool hasBody = !body.empty();
    if (autoHeaders_) {
        setHeaderBytes("Accept", "*/*", HeaderMode::AddIfNew);
        setHeaderBytes("Accept-Language", "zh-cn", HeaderMode::AddIfNew);
        if (presetOf(transport_).cacheControlHeader)
            setHeaderBytes("Cache-Control", "no-cache", HeaderMode::AddIfNew);
        if (isPost_ || hasBody)
            setHeaderBytes("Content-Type", "application/x-www-form-urlencoded", HeaderMode::AddIfNew);
    }
    if (cookieMode_ == 1) {
        // Only the cookies of this request's host, path and scheme; none leaves a Cookie
        // header set by the caller alone.
        const std::string value = cookieJar_.headerFor(currentCookieScope());
        if (!value.empty())
            setHeaderBytes("Cookie", value, HeaderMode::AddAndReplace);
    }

    WireRequest& w = wireRequest_;
    w = WireRequest{};
    w.url = encodedUrl_;
    w.host = connectedHost_;
    w.port = connectedPort_;
    w.secure = secure_;
    w.method = method_;
    w.body = body;
    w.sendBody = method_ != "HEAD" && (isPost_ || hasBody);
    for (const Header& h : headers_)
        w.headers.emplace_back(h.name, h.value);
    w.userAgent = userAgent_;
    w.proxy = proxy_;
    w.proxyBypass = proxyBypass_;
    if (proxyPending_) {
        w.proxyCredentials = true;
        w.proxyUser = proxyUser_;
        w.proxyPassword = proxyPassword_;
        proxyPending_ = false;
        proxyUser_.clear();
        proxyPassword_.clear();
    }
    w.serverUser = serverUser_;
    w.serverPassword = serverPassword_;
    w.resolveMs = resolveTimeoutMs_;
    w.connectMs = connectTimeoutMs_;
    w.sendMs = sendTimeoutMs_;
    w.receiveMs = receiveTimeoutMs_;
    w.deadlineSet = deadlineSet_;
    w.deadline = deadline_;
    w.stop = &abortRequested_;

    // Certificates: every transport may ignore all errors on its first request; the
    // request object always does; the script transport always forgives name mismatches.
    bool ignoreAll = presetOf(transport_).alwaysIgnoreCertificates;
    if (ignoreCertificateErrors_) {
        ignoreAll = true;
        ignoreCertificateErrors_ = false;
    }
    w.verifyPeer = !ignoreAll;
    w.verifyHost = !(ignoreAll || presetOf(transport_).forgiveCertificateNames);

    // Redirects: the transport follows them itself only while it also keeps the cookies.
    w.followRedirects = cookieMode_ == 0 && !noAutoRedirect_;
    w.cookies = cookieKeeper();
    w.maxBodyBytes = maxResponseBytes_;
    w.bodyFd = bodyFd_;
}

bool HttpClient::sendRequest(const std::string& body, bool retry, int retryCount) {
    prepareRequest(body);
    const int attempts = (retry ? std::max(retryCount, 0) : 0) + 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (performOnce()) {
            afterResponse();
            return true;
        }
        const bool retryable = lastError_ == HttpError::CannotConnect ||
                               lastError_ == presetOf(transport_).droppedConnection;
        if (!retryable || abortRequested_)
            break;
        // A retry starts the body again.
        if (bodyFd_ >= 0 && (::ftruncate(bodyFd_, 0) != 0 || ::lseek(bodyFd_, 0, SEEK_SET) != 0))
            break;
    }
    resetResponse();
    return false;
}

bool HttpClient::performOnce() {
    resetResponse();
    const std::string deadlineText =
        "the request took longer than its deadline of " + std::to_string(overallTimeoutMs_) + " ms";
    // The overall deadline covers every attempt and redirect of the send.
    if (deadlineSet_ && deadline_ <= Clock::now()) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = deadlineText;
        return false;
    }
    if (abortRequested_) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = "the request was stopped";
        return false;
    }

    WireResponse response;
    wire_->transfer(wireRequest_, response);
    rawHeaders_ = std::move(response.rawHeaders);
    responseProblem_ = std::move(response.problem);
    if (response.outcome == WireOutcome::Ok) {
        status_ = response.status;
        body_ = std::move(response.body);
        lastError_ = HttpError::None;
        lastErrorText_.clear();
        return true;
    }

    lastErrorText_ = response.errorText;
    // The transport's own timer may fire a moment before the deadline would.
    const bool pastDeadline = deadlineSet_ && Clock::now() + std::chrono::milliseconds(100) >= deadline_;
    switch (response.outcome) {
    case WireOutcome::TooLarge:
        lastError_ = HttpError::TooLarge;
        lastErrorText_ = "the response is larger than " + std::to_string(maxResponseBytes_) + " bytes";
        return false;
    case WireOutcome::OutOfMemory:
        lastError_ = HttpError::Other;
        lastErrorText_ = "out of memory for the response";
        return false;
    case WireOutcome::WriteFailed:
        lastError_ = HttpError::Other;
        lastErrorText_ = std::string("cannot write the response: ") + std::strerror(errno);
        return false;
    default:
        break;
    }
    if (abortRequested_ || response.outcome == WireOutcome::Stopped) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = "the request was stopped";
        return false;
    }
    if (pastDeadline && response.outcome == WireOutcome::TimedOut) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = deadlineText;
        return false;
    }
    switch (response.outcome) {
    case WireOutcome::CannotConnect:
        lastError_ = HttpError::CannotConnect;
        break;
    case WireOutcome::NameNotResolved:
        lastError_ = HttpError::NameNotResolved;
        break;
    case WireOutcome::TimedOut:
        lastError_ = HttpError::Timeout;
        break;
    case WireOutcome::Dropped:
        lastError_ = presetOf(transport_).droppedConnection;
        break;
    case WireOutcome::SecureFailure:
        lastError_ = HttpError::SecureFailure;
        break;
    case WireOutcome::TooManyRedirects:
        lastError_ = HttpError::TooManyRedirects;
        break;
    case WireOutcome::Malformed:
        lastError_ = HttpError::MalformedResponse;
        lastErrorText_ = "malformed response: " + lastErrorText_;
        break;
    case WireOutcome::InvalidUrl:
        lastError_ = HttpError::InvalidUrl;
        break;
    default:
        lastError_ = HttpError::Other;
        break;
    }
    return false;
}

void HttpClient::afterResponse() {
    bool found = false;
    const std::string length = headerValueOf(rawHeaders_, "Content-Length", found);
    contentLength_ = -1;
    if (found && !length.empty() && std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }))
        contentLength_ = std::strtoll(length.c_str(), nullptr, 10);
    if (cookieMode_ == 1)
        cookieJar_.takeResponse(rawHeaders_, currentCookieScope());
}

CookieKeeper HttpClient::cookieKeeper() const {
    if (cookieMode_ == 1 || (cookieMode_ == 0 && disableTransportCookies_))
        return CookieKeeper::None;
    // The script transport's own cookie handling is the system's store, as mode 2.
    if (cookieMode_ == 2 || transport_ == HttpTransport::WinInet)
        return CookieKeeper::System;
    return CookieKeeper::Object;
}

bool HttpClient::followRedirects() {
    if (cookieMode_ == 0 || noAutoRedirect_)
        return true;
    bool ok = true;
    // Only a redirect status redirects: a "201 Created" names its new resource in Location
    // but is itself the answer.
    while (status_ >= 300 && status_ <= 399) {
        const std::string target = locationBytes(true);
        if (target.empty())
            break;
        if (++redirectCount_ > kMaxManualRedirects)
            break;
        // A stop between two hops ends the whole request.
        if (abortRequested_) {
            lastError_ = HttpError::Timeout;
            lastErrorText_ = "the request was stopped";
            ok = false;
            break;
        }
        if (!openBytes("", target) || !sendRequest(std::string(), false, 0)) {
            ok = false;
            break;
        }
    }
    redirectCount_ = 0;
    return ok;
}

// ---- results ----

void HttpClient::resetResponse() {
    body_.clear();
    responseProblem_.clear();
    rawHeaders_.clear();
    contentLength_ = -1;
    status_ = 0;
}

int HttpClient::statusCode() const { return hasRequest() ? static_cast<int>(status_) : 0; }

std::string HttpClient::responseBytes() const { return hasRequest() ? body_ : std::string(); }

std::string HttpClient::responseText() const {
    return hasRequest() ? text::fromGb18030(body_) : std::string();
}

std::string HttpClient::responseTextUtf8() const {
    if (!hasRequest())
        return {};
    std::string_view body(body_);
    if (body.starts_with("\xEF\xBB\xBF"))
        body.remove_prefix(3);
    if (text::isValidUtf8(body))
        return std::string(body);
    return text::utf16ToUtf8(text::utf8ToUtf16(body));  // ill-formed bytes become U+FFFD
}

std::string HttpClient::responseHeaders() const {
    return hasRequest() ? text::fromGb18030(rawHeaders_) : std::string();
}

std::string HttpClient::locationBytes(bool absolute) const {
    if (!hasRequest())
        return {};
    bool found = false;
    const std::string location = headerValueOf(rawHeaders_, "Location", found);
    if (!absolute || location.empty())
        return location;
    return resolveLocation(location, requestUrl_, secure_, connectedHost_, connectedPort_);
}

std::string HttpClient::requestUrl() const { return text::fromGb18030(requestUrl_); }

std::string HttpClient::redirectTarget(bool absolute) const {
    return text::fromGb18030(locationBytes(absolute));
}

}  // namespace quillbox::net
