#include "core/net/HttpClient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <curl/curl.h>
#include <mutex>
#include <new>

#include <unistd.h>

#include "core/net/CookieJar.h"
#include "core/net/HttpUrl.h"
#include "core/text/Ascii.h"
#include "core/text/Text.h"

namespace quillbox::net {

namespace {

using Clock = std::chrono::steady_clock;

void initialiseLibcurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURLSH* asShare(void* share) { return static_cast<CURLSH*>(share); }

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

// The value of the first header line "name:" (compared without case) of a raw block, up
// to its line end and trimmed; nullopt-like empty flag through `found`.
std::string headerValue(std::string_view raw, std::string_view name, bool& found) {
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

// ---- the process-wide cookie store of cookie mode 2 ----
// Cookies are kept as libcurl's cookie lines (domain, subdomains, path, secure, expiry,
// name, value, tab separated), so libcurl does the matching and the Set-Cookie parsing.
class SystemCookieStore {
public:
    static SystemCookieStore& instance() {
        static SystemCookieStore store;
        return store;
    }

    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    // Applies what one request changed: cookies it dropped go, cookies it holds are added
    // or updated. Other threads' changes in between survive.
    void update(const std::vector<std::string>& before, const std::vector<std::string>& after) {
        std::lock_guard lock(mutex_);
        for (const std::string& line : before) {
            const std::string k = key(line);
            const bool kept = std::any_of(after.begin(), after.end(),
                                          [&](const std::string& a) { return key(a) == k; });
            if (!kept)
                std::erase_if(lines_, [&](const std::string& l) { return key(l) == k; });
        }
        for (const std::string& line : after)
            upsertLocked(line);
    }

    void upsert(const std::string& line) {
        std::lock_guard lock(mutex_);
        upsertLocked(line);
    }

    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    static std::string key(const std::string& line) {
        std::vector<std::string_view> fields;
        std::string_view rest(line);
        for (;;) {
            const std::size_t tab = rest.find('\t');
            fields.push_back(rest.substr(0, tab));
            if (tab == std::string_view::npos)
                break;
            rest.remove_prefix(tab + 1);
        }
        if (fields.size() < 7)
            return line;
        std::string_view domain = fields[0];
        if (domain.starts_with("#HttpOnly_"))
            domain.remove_prefix(10);
        return lowerAscii(domain) + "\t" + std::string(fields[2]) + "\t" + std::string(fields[5]);
    }

    void upsertLocked(const std::string& line) {
        const std::string k = key(line);
        for (std::string& existing : lines_)
            if (key(existing) == k) {
                existing = line;
                return;
            }
        lines_.push_back(line);
    }

    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::vector<std::string> readCookieLines(CURL* easy) {
    std::vector<std::string> lines;
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list) == CURLE_OK)
        for (curl_slist* item = list; item; item = item->next)
            lines.emplace_back(item->data);
    curl_slist_free_all(list);
    return lines;
}

}  // namespace

// ---- one request ----

struct HttpClient::Request {
    explicit Request(HttpClient& owner) : owner(owner) {}
    ~Request() {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headerList);
    }

    HttpClient& owner;
    CURL* easy = nullptr;
    std::string encodedUrl;
    std::string body;  // kept alive while libcurl sends it
    curl_slist* headerList = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // Progress, for the send and receive time-outs (time without progress).
    Clock::time_point lastProgress;
    curl_off_t lastDownloaded = 0;
    curl_off_t lastUploaded = 0;
    bool connected = false;
    bool timedOut = false;
    bool outOfMemory = false;
    bool tooLarge = false;
    bool writeFailed = false;
    long long received = 0;  // body bytes of this attempt
};

struct RequestCallbacks {
    static size_t onBody(char* data, size_t size, size_t count, void* user) {
        auto* request = static_cast<HttpClient::Request*>(user);
        HttpClient& owner = request->owner;
        const size_t n = size * count;
        const long long cap = owner.maxResponseBytes_;
        if (request->received == 0 && cap > 0) {
            // A body announced larger than the cap is refused before a byte of it is kept.
            curl_off_t announced = -1;
            if (curl_easy_getinfo(request->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
                announced > cap) {
                request->tooLarge = true;
                return 0;
            }
        }
        if (request->received == 0 && owner.bodyFd_ < 0) {
            // A body of known length gets its room in one piece.
            curl_off_t announced = -1;
            if (curl_easy_getinfo(request->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
                announced > 0 && (cap <= 0 || announced <= cap)) {
                try {
                    owner.body_.reserve(static_cast<size_t>(announced));
                } catch (const std::bad_alloc&) {
                    request->outOfMemory = true;
                    return 0;
                }
            }
        }
        if (cap > 0 && request->received + static_cast<long long>(n) > cap) {
            request->tooLarge = true;
            return 0;
        }
        request->received += static_cast<long long>(n);
        if (owner.bodyFd_ >= 0) {
            for (const char* p = data, *end = data + n; p < end;) {
                const ssize_t written = ::write(owner.bodyFd_, p, static_cast<size_t>(end - p));
                if (written < 0 && errno == EINTR)
                    continue;
                if (written <= 0) {
                    request->writeFailed = true;
                    return 0;
                }
                p += written;
            }
            return n;
        }
        try {
            // Past 1 MiB the room for the whole cap is taken at once: pages the body never
            // reaches are never touched, and the copies that doubling leaves behind in the
            // heap (as much again as the body) are not made.
            std::string& body = owner.body_;
            const size_t needed = body.size() + n;
            if (cap > 0 && needed > body.capacity())
                body.reserve(needed <= (1u << 20) ? std::max(body.capacity() * 2, needed) : static_cast<size_t>(cap));
            body.append(data, n);
        } catch (const std::bad_alloc&) {
            request->outOfMemory = true;
            return 0;
        }
        return n;
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* user) {
        auto* request = static_cast<HttpClient::Request*>(user);
        std::string_view line(data, size * count);
        std::string& raw = request->owner.rawHeaders_;
        // A new status line starts a new response (interim answers, followed redirects):
        // the stored block is always the last response's.
        const bool statusLine = line.starts_with("HTTP/");
        if (statusLine) {
            raw.clear();
            request->owner.responseProblem_.clear();
        }
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        // A header line is a token, a colon and a value. Anything else (no colon, a name with
        // spaces, a folded continuation line) is left out, as browsers leave it out, and the
        // response is marked malformed for the caller to report.
        if (!statusLine && !line.empty()) {
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos || !text::isHttpToken(line.substr(0, colon)) ||
                line.find('\0') != std::string_view::npos) {
                std::string& problem = request->owner.responseProblem_;
                if (problem.empty())
                    problem = "malformed response header line: \"" +
                              text::escapeControls(text::replaceInvalidUtf8(line.substr(0, 80))) + "\"";
                return size * count;
            }
        }
        if (raw.size() + line.size() > kMaxHeaderBytes) {
            request->tooLarge = true;
            return 0;
        }
        try {
            raw.append(line).append("\r\n");
        } catch (const std::bad_alloc&) {
            request->outOfMemory = true;
            return 0;
        }
        return size * count;
    }

    static int onConnected(void* user, char*, char*, int, int) {
        auto* request = static_cast<HttpClient::Request*>(user);
        request->connected = true;
        request->lastProgress = Clock::now();
        return CURL_PREREQFUNC_OK;
    }

    static int onProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t uploadTotal,
                          curl_off_t uploaded) {
        auto* request = static_cast<HttpClient::Request*>(user);
        const HttpClient& owner = request->owner;
        if (owner.abortRequested_) {
            request->timedOut = true;
            return 1;
        }
        if (owner.deadlineSet_ && Clock::now() >= owner.deadline_) {
            request->timedOut = true;
            return 1;
        }
        const auto now = Clock::now();
        if (downloaded != request->lastDownloaded || uploaded != request->lastUploaded) {
            request->lastDownloaded = downloaded;
            request->lastUploaded = uploaded;
            request->lastProgress = now;
        }
        if (!request->connected)
            return 0;  // the connect time-out covers this part
        const bool sending = uploadTotal > 0 && uploaded < uploadTotal;
        const int limitMs = sending ? owner.sendTimeoutMs_ : owner.receiveTimeoutMs_;
        if (limitMs > 0 && now - request->lastProgress > std::chrono::milliseconds(limitMs)) {
            request->timedOut = true;
            return 1;
        }
        return 0;
    }
};

// ---- creation and release ----

HttpClient::HttpClient(HttpTransport transport, std::string_view userAgent) : transport_(transport) {
    create(userAgent);
}

HttpClient::~HttpClient() { close(); }

bool HttpClient::create(std::string_view userAgent) {
    close();
    initialiseLibcurl();
    CURLSH* share = curl_share_init();
    if (!share)
        return false;
    // The connections live in the object, not in a request: a following request to the
    // same host and port goes over the same connection.
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    share_ = share;

    // A user agent that could end its header line early is not used.
    userAgent_ = text::toGb18030(text::hasLineBreakOrNul(userAgent) ? kDefaultUserAgent : userAgent);
    const TransportPreset& preset = presetOf(transport_);
    autoHeaders_ = true;
    cookieMode_ = preset.cookieMode;
    noAutoRedirect_ = false;
    redirectCount_ = 0;
    cookieJar_.clear();
    transportCookies_.clear();
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
    request_.reset();  // before the share: libcurl wants handles detached first
    if (share_) {
        curl_share_cleanup(asShare(share_));
        share_ = nullptr;
    }
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

void HttpClient::clearSystemCookies() { SystemCookieStore::instance().clear(); }

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
    request_.reset();
    headers_.clear();
    disableTransportCookies_ = false;
    serverUser_.clear();
    serverPassword_.clear();
    resetResponse();
    lastError_ = HttpError::None;
    lastErrorText_.clear();
    if (!share_) {
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
    auto request = std::make_unique<Request>(*this);
    request->easy = curl_easy_init();
    if (!request->easy) {
        lastError_ = HttpError::Other;
        lastErrorText_ = "cannot create a request";
        return false;
    }
    request->encodedUrl = encoded;

    requestUrl_ = full;
    secure_ = cracked.secure;
    connectedHost_ = cracked.host;
    connectedPort_ = cracked.port;
    requestPath_ = cracked.path;
    method_ = method.empty() ? "GET" : std::string(method);
    for (char& c : method_)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    isPost_ = method_ == "POST";
    request_ = std::move(request);
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
            SystemCookieStore::instance().upsert(host + "\tFALSE\t/\tFALSE\t0\t" +
                                                 std::string(pair.substr(0, equals)) + "\t" +
                                                 std::string(pair.substr(equals + 1)));
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

void HttpClient::prepareRequest(const std::string& body, const std::vector<std::string>& storeLines) {
    Request& r = *request_;
    CURL* easy = r.easy;
    r.body = body;
    const bool hasBody = !r.body.empty();

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

    curl_easy_setopt(easy, CURLOPT_SHARE, asShare(share_));
    curl_easy_setopt(easy, CURLOPT_URL, r.encodedUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, r.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent_.c_str());

    // Never the environment's proxy: the object decides.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy_.c_str());
    if (!proxyBypass_.empty())
        curl_easy_setopt(easy, CURLOPT_NOPROXY, proxyBypass_.c_str());
    if (proxyPending_) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxyUser_.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxyPassword_.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    }
    if (!serverUser_.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, serverUser_.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, serverPassword_.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }

    // Time-outs: name look-up is part of libcurl's connect phase.
    long connectMs = connectTimeoutMs_ > 0 ? connectTimeoutMs_ + std::max(resolveTimeoutMs_, 0) : 0;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &RequestCallbacks::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &r);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &RequestCallbacks::onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &r);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &RequestCallbacks::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &RequestCallbacks::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r);

    // Method and body.
    if (method_ == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (isPost_ || hasBody) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.data());
        if (!isPost_)
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method_.c_str());
    } else if (method_ != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method_.c_str());
    }

    // Certificates: every transport may ignore all errors on its first request; the
    // request object always does; the script transport always forgives name mismatches.
    bool ignoreAll = presetOf(transport_).alwaysIgnoreCertificates;
    if (ignoreCertificateErrors_) {
        ignoreAll = true;
        ignoreCertificateErrors_ = false;
    }
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, ignoreAll ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                     ignoreAll || presetOf(transport_).forgiveCertificateNames ? 0L : 2L);

    // Redirects: the transport follows them itself only while it also keeps the cookies.
    const bool transportFollows = cookieMode_ == 0 && !noAutoRedirect_;
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, transportFollows ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);

    // Cookies kept by the transport (mode 0) or by the process (mode 2).
    const CookieKeeper jar = cookieKeeper();
    if (jar != CookieKeeper::None) {
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        for (const std::string& line : jar == CookieKeeper::System ? storeLines : transportCookies_)
            curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
    }
    // With the shared store, cookies set by hand join the stored ones in the one Cookie
    // header a request may carry.
    const bool joinHandCookies = jar == CookieKeeper::System;
    std::string handCookies;
    if (joinHandCookies)
        for (const Header& h : headers_)
            if (equalsNoCaseAscii(h.name, "Cookie") && !trimBlanks(h.value).empty())
                handCookies += (handCookies.empty() ? "" : "; ") + std::string(trimBlanks(h.value));
    if (!handCookies.empty())
        curl_easy_setopt(easy, CURLOPT_COOKIE, handCookies.c_str());

    // Header lines. libcurl's own Accept and form Content-Type appear only when we ask for
    // them, "Expect: 100-continue" never, and the body's real length always wins.
    curl_slist_free_all(r.headerList);
    r.headerList = nullptr;
    auto add = [&](const std::string& line) { r.headerList = curl_slist_append(r.headerList, line.c_str()); };
    bool hasAccept = false, hasContentType = false;
    for (const Header& h : headers_) {
        if (equalsNoCaseAscii(h.name, "Content-Length") || (joinHandCookies && equalsNoCaseAscii(h.name, "Cookie")))
            continue;
        hasAccept |= equalsNoCaseAscii(h.name, "Accept");
        hasContentType |= equalsNoCaseAscii(h.name, "Content-Type");
        // libcurl drops "Name:" with an empty value; "Name;" sends it empty.
        add(h.value.empty() || trimBlanks(h.value).empty() ? h.name + ";" : h.name + ":" + h.value);
    }
    if (!hasAccept)
        add("Accept:");
    if (!hasContentType)
        add("Content-Type:");
    add("Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r.headerList);

    if (proxyPending_) {
        proxyPending_ = false;
        proxyUser_.clear();
        proxyPassword_.clear();
    }
}

bool HttpClient::sendRequest(const std::string& body, bool retry, int retryCount) {
    // What the request starts from in the shared store: afterwards only its own changes
    // are written back.
    const std::vector<std::string> storeBefore =
        cookieKeeper() == CookieKeeper::System ? SystemCookieStore::instance().snapshot() : std::vector<std::string>();
    prepareRequest(body, storeBefore);
    const int attempts = (retry ? std::max(retryCount, 0) : 0) + 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (performOnce()) {
            afterResponse(storeBefore);
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
    Request& r = *request_;
    resetResponse();
    r.errorBuffer[0] = '\0';
    r.connected = false;
    r.timedOut = false;
    r.outOfMemory = false;
    r.tooLarge = false;
    r.writeFailed = false;
    r.received = 0;
    r.lastDownloaded = r.lastUploaded = 0;
    r.lastProgress = Clock::now();

    // The overall deadline covers every attempt and redirect of the send.
    long remainingMs = 0;
    if (deadlineSet_) {
        remainingMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count());
        if (remainingMs <= 0) {
            lastError_ = HttpError::Timeout;
            lastErrorText_ = "the request took longer than its deadline of " + std::to_string(overallTimeoutMs_) + " ms";
            return false;
        }
    }
    if (abortRequested_) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = "the request was stopped";
        return false;
    }
    curl_easy_setopt(r.easy, CURLOPT_TIMEOUT_MS, remainingMs);

    const CURLcode code = curl_easy_perform(r.easy);
    if (code == CURLE_OK) {
        curl_easy_getinfo(r.easy, CURLINFO_RESPONSE_CODE, &status_);
        lastError_ = HttpError::None;
        lastErrorText_.clear();
        return true;
    }

    lastErrorText_ = r.errorBuffer[0] ? r.errorBuffer : curl_easy_strerror(code);
    // libcurl's own timer may fire a moment before ours would.
    const bool pastDeadline = deadlineSet_ && Clock::now() + std::chrono::milliseconds(100) >= deadline_;
    if (r.tooLarge) {
        lastError_ = HttpError::TooLarge;
        lastErrorText_ = "the response is larger than " + std::to_string(maxResponseBytes_) + " bytes";
        return false;
    }
    if (r.outOfMemory) {
        lastError_ = HttpError::Other;
        lastErrorText_ = "out of memory for the response";
        return false;
    }
    if (r.writeFailed) {
        lastError_ = HttpError::Other;
        lastErrorText_ = std::string("cannot write the response: ") + std::strerror(errno);
        return false;
    }
    if (abortRequested_) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = "the request was stopped";
        return false;
    }
    if (pastDeadline && (code == CURLE_OPERATION_TIMEDOUT || code == CURLE_ABORTED_BY_CALLBACK)) {
        lastError_ = HttpError::Timeout;
        lastErrorText_ = "the request took longer than its deadline of " + std::to_string(overallTimeoutMs_) + " ms";
        return false;
    }
    const HttpError droppedError = presetOf(transport_).droppedConnection;
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        lastError_ = HttpError::CannotConnect;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        lastError_ = HttpError::NameNotResolved;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        lastError_ = HttpError::Timeout;
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        lastError_ = HttpError::Timeout;
        lastErrorText_ = abortRequested_ ? "the request was stopped" : "no progress within the time-out";
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:  // the connection ended before the whole body
        lastError_ = droppedError;
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        lastError_ = HttpError::SecureFailure;
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        lastError_ = HttpError::TooManyRedirects;
        break;
    case CURLE_WEIRD_SERVER_REPLY:
        lastError_ = HttpError::MalformedResponse;
        lastErrorText_ = "malformed response: " + lastErrorText_;
        break;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        lastError_ = HttpError::InvalidUrl;
        break;
    default:
        lastError_ = HttpError::Other;
        if (r.outOfMemory)
            lastErrorText_ = "out of memory for the response";
        break;
    }
    return false;
}

void HttpClient::afterResponse(const std::vector<std::string>& storeBefore) {
    bool found = false;
    const std::string length = headerValue(rawHeaders_, "Content-Length", found);
    contentLength_ = -1;
    if (found && !length.empty() && std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }))
        contentLength_ = std::strtoll(length.c_str(), nullptr, 10);

    if (cookieMode_ == 1)
        cookieJar_.takeResponse(rawHeaders_, currentCookieScope());
    else if (cookieKeeper() == CookieKeeper::System)
        SystemCookieStore::instance().update(storeBefore, readCookieLines(request_->easy));
    else if (cookieKeeper() == CookieKeeper::Object)
        transportCookies_ = readCookieLines(request_->easy);
}

HttpClient::CookieKeeper HttpClient::cookieKeeper() const {
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
    const std::string location = headerValue(rawHeaders_, "Location", found);
    if (!absolute || location.empty())
        return location;
    return resolveLocation(location, requestUrl_, secure_, connectedHost_, connectedPort_);
}

std::string HttpClient::requestUrl() const { return text::fromGb18030(requestUrl_); }

std::string HttpClient::redirectTarget(bool absolute) const {
    return text::fromGb18030(locationBytes(absolute));
}

}  // namespace quillbox::net
