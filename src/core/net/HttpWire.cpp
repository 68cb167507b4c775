// The wire over libcurl: a share handle keeps the connections, the name cache and the TLS
// sessions of one client; one easy handle per attempt.
#include "core/net/HttpWire.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <mutex>

#include "core/text/Ascii.h"

namespace quillbox::net {

namespace {

using Clock = std::chrono::steady_clock;
using text::equalsNoCaseAscii;
using text::lowerAscii;
using text::trimBlanks;

void initialiseLibcurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// ---- the process-wide cookie store ----
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

// What one attempt needs while libcurl runs it.
struct Attempt {
    const WireRequest& request;
    WireResponse& response;
    BodySink sink;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // Progress, for the send and receive time-outs (time without progress).
    Clock::time_point lastProgress = Clock::now();
    curl_off_t lastDownloaded = 0;
    curl_off_t lastUploaded = 0;
    bool connected = false;
    WireOutcome failure = WireOutcome::Ok;  // set by a callback that ended the transfer

    Attempt(const WireRequest& request, WireResponse& response)
        : request(request), response(response), sink(response, request.maxBodyBytes, request.bodyFd) {}
    ~Attempt() {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headerList);
    }
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* a = static_cast<Attempt*>(user);
    const size_t n = size * count;
    if (a->response.received == 0) {
        curl_off_t announced = -1;
        if (curl_easy_getinfo(a->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) != CURLE_OK)
            announced = -1;
        const WireOutcome outcome = a->sink.announce(announced);
        if (outcome != WireOutcome::Ok) {
            a->failure = outcome;
            return 0;
        }
    }
    const WireOutcome outcome = a->sink.take(data, n);
    if (outcome != WireOutcome::Ok) {
        a->failure = outcome;
        return 0;
    }
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* a = static_cast<Attempt*>(user);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    try {
        if (!takeHeaderLine(line, a->response.rawHeaders, a->response.problem)) {
            a->failure = WireOutcome::TooLarge;
            return 0;
        }
    } catch (const std::bad_alloc&) {
        a->failure = WireOutcome::OutOfMemory;
        return 0;
    }
    return size * count;
}

int onConnected(void* user, char*, char*, int, int) {
    auto* a = static_cast<Attempt*>(user);
    a->connected = true;
    a->lastProgress = Clock::now();
    return CURL_PREREQFUNC_OK;
}

int onProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t uploadTotal, curl_off_t uploaded) {
    auto* a = static_cast<Attempt*>(user);
    const WireRequest& r = a->request;
    if ((r.stop && *r.stop) || (r.deadlineSet && Clock::now() >= r.deadline)) {
        a->failure = WireOutcome::TimedOut;
        return 1;
    }
    const auto now = Clock::now();
    if (downloaded != a->lastDownloaded || uploaded != a->lastUploaded) {
        a->lastDownloaded = downloaded;
        a->lastUploaded = uploaded;
        a->lastProgress = now;
    }
    if (!a->connected)
        return 0;  // the connect time-out covers this part
    const bool sending = uploadTotal > 0 && uploaded < uploadTotal;
    const int limitMs = sending ? r.sendMs : r.receiveMs;
    if (limitMs > 0 && now - a->lastProgress > std::chrono::milliseconds(limitMs)) {
        a->failure = WireOutcome::TimedOut;
        return 1;
    }
    return 0;
}

class CurlWire final : public HttpWire {
public:
    explicit CurlWire(CURLSH* share) : share_(share) {}
    ~CurlWire() override { curl_share_cleanup(share_); }

    void transfer(const WireRequest& request, WireResponse& response) override;

private:
    void prepare(Attempt& a, const std::vector<std::string>& storeLines);

    CURLSH* share_;
    std::vector<std::string> objectCookies_;  // libcurl's cookie lines
};

void CurlWire::prepare(Attempt& a, const std::vector<std::string>& storeLines) {
    const WireRequest& r = a.request;
    CURL* easy = a.easy;
    curl_easy_setopt(easy, CURLOPT_SHARE, share_);
    curl_easy_setopt(easy, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, a.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, r.userAgent.c_str());

    // Never the environment's proxy: the client decides.
    curl_easy_setopt(easy, CURLOPT_PROXY, r.proxy.c_str());
    if (!r.proxyBypass.empty())
        curl_easy_setopt(easy, CURLOPT_NOPROXY, r.proxyBypass.c_str());
    if (r.proxyCredentials) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, r.proxyUser.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, r.proxyPassword.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    }
    if (!r.serverUser.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, r.serverUser.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, r.serverPassword.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }

    // Time-outs: name look-up is part of libcurl's connect phase.
    const long connectMs = r.connectMs > 0 ? r.connectMs + std::max(r.resolveMs, 0) : 0;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &a);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &a);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &a);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &a);

    // Method and body.
    const bool isPost = r.method == "POST";
    if (r.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (r.sendBody) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.data());
        if (!isPost)
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.method.c_str());
    } else if (r.method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.method.c_str());
    }

    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, r.verifyPeer ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, r.verifyHost ? 2L : 0L);

    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, r.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxWireRedirects));

    if (r.cookies != CookieKeeper::None) {
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        for (const std::string& line : r.cookies == CookieKeeper::System ? storeLines : objectCookies_)
            curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
    }
    // With the shared store, cookies set by hand join the stored ones in the one Cookie
    // header a request may carry.
    const bool joinHandCookies = r.cookies == CookieKeeper::System;
    std::string handCookies;
    if (joinHandCookies)
        for (const auto& [name, value] : r.headers)
            if (equalsNoCaseAscii(name, "Cookie") && !trimBlanks(value).empty())
                handCookies += (handCookies.empty() ? "" : "; ") + std::string(trimBlanks(value));
    if (!handCookies.empty())
        curl_easy_setopt(easy, CURLOPT_COOKIE, handCookies.c_str());

    // Header lines. libcurl's own Accept and form Content-Type appear only when we ask for
    // them, "Expect: 100-continue" never, and the body's real length always wins.
    auto add = [&](const std::string& line) { a.headerList = curl_slist_append(a.headerList, line.c_str()); };
    bool hasAccept = false, hasContentType = false;
    for (const auto& [name, value] : r.headers) {
        if (equalsNoCaseAscii(name, "Content-Length") || (joinHandCookies && equalsNoCaseAscii(name, "Cookie")))
            continue;
        hasAccept |= equalsNoCaseAscii(name, "Accept");
        hasContentType |= equalsNoCaseAscii(name, "Content-Type");
        // libcurl drops "Name:" with an empty value; "Name;" sends it empty.
        add(value.empty() || trimBlanks(value).empty() ? name + ";" : name + ":" + value);
    }
    if (!hasAccept)
        add("Accept:");
    if (!hasContentType)
        add("Content-Type:");
    add("Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, a.headerList);
}

void CurlWire::transfer(const WireRequest& request, WireResponse& response) {
    response = WireResponse{};
    // What the request starts from in the shared store: afterwards only its own changes
    // are written back.
    const std::vector<std::string> storeBefore = request.cookies == CookieKeeper::System
                                                     ? SystemCookieStore::instance().snapshot()
                                                     : std::vector<std::string>();
    Attempt a(request, response);
    a.easy = curl_easy_init();
    if (!a.easy) {
        response.outcome = WireOutcome::Other;
        response.errorText = "cannot create a request";
        return;
    }
    prepare(a, storeBefore);

    // The overall deadline: libcurl's own timer as well as the progress callback.
    long remainingMs = 0;
    if (request.deadlineSet)
        remainingMs = std::max<long>(1, static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             request.deadline - Clock::now()).count()));
    curl_easy_setopt(a.easy, CURLOPT_TIMEOUT_MS, remainingMs);

    const CURLcode code = curl_easy_perform(a.easy);
    if (code == CURLE_OK) {
        curl_easy_getinfo(a.easy, CURLINFO_RESPONSE_CODE, &response.status);
        response.outcome = WireOutcome::Ok;
        if (request.cookies == CookieKeeper::System)
            SystemCookieStore::instance().update(storeBefore, readCookieLines(a.easy));
        else if (request.cookies == CookieKeeper::Object)
            objectCookies_ = readCookieLines(a.easy);
        return;
    }

    response.errorText = a.errorBuffer[0] ? a.errorBuffer : curl_easy_strerror(code);
    if (a.failure != WireOutcome::Ok && code != CURLE_OPERATION_TIMEDOUT) {
        response.outcome = a.failure;
        if (a.failure == WireOutcome::TimedOut)
            response.errorText = "no progress within the time-out";
        return;
    }
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        response.outcome = WireOutcome::CannotConnect;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        response.outcome = WireOutcome::NameNotResolved;
        break;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:
        response.outcome = WireOutcome::TimedOut;
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:  // the connection ended before the whole body
        response.outcome = WireOutcome::Dropped;
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        response.outcome = WireOutcome::SecureFailure;
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        response.outcome = WireOutcome::TooManyRedirects;
        break;
    case CURLE_WEIRD_SERVER_REPLY:
        response.outcome = WireOutcome::Malformed;
        break;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        response.outcome = WireOutcome::InvalidUrl;
        break;
    default:
        response.outcome = WireOutcome::Other;
        break;
    }
}

}  // namespace

std::unique_ptr<HttpWire> HttpWire::make() {
    initialiseLibcurl();
    CURLSH* share = curl_share_init();
    if (!share)
        return nullptr;
    // The connections live in the client, not in a request: a following request to the
    // same host and port goes over the same connection.
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    return std::make_unique<CurlWire>(share);
}

void HttpWire::clearSystemCookies() { SystemCookieStore::instance().clear(); }

void HttpWire::storeSystemCookie(const std::string& host, std::string_view name, std::string_view value) {
    SystemCookieStore::instance().upsert(host + "\tFALSE\t/\tFALSE\t0\t" + std::string(name) + "\t" +
                                         std::string(value));
}

}  // namespace quillbox::net
