#pragma once
// HttpClient: the program's one synchronous HTTP client (libcurl on Linux, the system's
// WinHTTP on Windows: see HttpWire.h).
//
// Three transports share one set of rules and differ only in their presets (see
// HttpTransport). A caller picks the transport when it creates the object and keeps it.
// One object is one "browser visit": it keeps its own cookie string across requests and
// reuses its connection while host and port stay the same.
//
// Use, in this order:
//     HttpClient http(HttpTransport::WinInet);          // create
//     http.open("POST", "example.com/login");           // "http://" is put in front
//     http.setHeader("X-Token", "abc");
//     http.setCookies("sid=1; lang=zh");
//     if (http.send("user=a&pass=b") && http.statusCode() == 200)
//         use(http.responseText());
//
// Text: arguments and results are UTF-8 (the program's inner form). Where the wire speaks
// code page 936 they are converted with GB18030: the request body, header lines, cookie
// text and non-ASCII characters of the URL (percent-encoded) go out as GB18030 bytes;
// responseText() and responseHeaders() read the received bytes as GB18030;
// responseTextUtf8() reads the body as UTF-8. responseBytes() is the body unchanged.
//
// Failures are return values: no operation throws or prints. Without a request (before
// open, or after a failed open) every result operation returns its empty value.
//
// Threads: an object belongs to one thread at a time; only abort() may be called from
// another thread.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/net/CookieJar.h"
#include "core/net/HttpWire.h"

namespace quillbox::net {

// The three transports, named after the system parts they stand in for.
enum class HttpTransport {
    // The update check and downloads. Cookie mode 0 (the transport keeps its own cookies and
    // follows redirects itself), adds "Cache-Control:no-cache" among the default headers,
    // ignores certificate errors on the first request only. Time-outs: resolve 10 s,
    // connect 15 s, send 120 s, receive 300 s; 600 s for a whole send. Retries on "cannot
    // connect" and "connection error". Bodies up to 64 MiB.
    WinHttp,
    // Scripts' $$.ajax. Cookie mode 1 (the object's cookie jar; redirects followed by the
    // manual rule below), ignores certificate errors on the first request and name and date
    // errors always. Time-outs: connect 15 s, send 120 s, receive 300 s; 300 s for a whole
    // send. Retries on "cannot connect" and "connection reset". Bodies up to 64 MiB.
    WinInet,
    // The usage-count request. Cookie mode 0, follows redirects itself, ignores certificate
    // errors on every request. Time-outs: resolve none, connect 60 s, send 30 s, receive 30 s;
    // 30 s for a whole send. Bodies up to 1 MiB.
    RequestObject,
};

// Why the last open or send failed. The numbers are those the system's callers know.
enum class HttpError {
    None = 0,
    Timeout = 12002,            // no progress within the time-out, or abort()
    InvalidUrl = 12005,         // the URL could not be cracked
    NameNotResolved = 12007,
    CannotConnect = 12029,      // retried
    ConnectionError = 12030,    // connection dropped (WinHttp, RequestObject: retried)
    ConnectionReset = 12031,    // connection dropped (WinInet: retried)
    NoRequest = 12019,          // send without a successful open
    SecureFailure = 12175,      // TLS handshake or certificate
    TooManyRedirects = 12156,   // the transport's own redirects (modes 0) passed its limit
    InvalidHeader = 12150,      // a header or cookie text that is not one line, or a bad name
    TooLarge = 12151,           // the response passed the size cap (setMaxResponseBytes)
    MalformedResponse = 12152,  // a response head the transport cannot read (a line without ":")
    Other = 12000,
};

// How setHeader combines a header with one of the same name (names compare without case).
enum class HeaderMode {
    AddAndReplace,  // replace the existing one, else add (the default)
    AddIfNew,       // add only when none exists
    Add,            // add beside any existing one
    Replace,        // replace an existing one; fails when none exists; an empty value deletes
};

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)";

// The longest chain of redirects the manual redirect rule follows in a row.
inline constexpr int kMaxManualRedirects = 20;

// The default cap on a response body (setMaxResponseBytes), and the cap on its headers.
inline constexpr long long kDefaultMaxResponseBytes = 64LL << 20;
inline constexpr std::size_t kMaxHeaderBytes = 256 << 10;

class HttpClient {
public:
    // Creates the object with the transport's presets (create).
    explicit HttpClient(HttpTransport transport = HttpTransport::WinHttp,
                        std::string_view userAgent = kDefaultUserAgent);
    ~HttpClient();  // closes
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Opens the internet handle again after close(): the transport's presets, an empty
    // cookie string. False when the transport cannot make its handles.
    bool create(std::string_view userAgent = kDefaultUserAgent);
    // Releases the request, the connections and the internet handle, frees the body and
    // empties host, URL, headers and proxy credentials. The cookie string stays readable.
    void close();

    // Empties the process-wide cookie store of cookie mode 2.
    static void clearSystemCookies();

    HttpTransport transport() const { return transport_; }

    // ---- settings kept across requests ----
    void setAutoHeaders(bool on = true) { autoHeaders_ = on; }
    // 0 the transport's own cookies (kept in the object; for WinInet, the process-wide
    // store), 1 the object's cookie string, 2 the process-wide store. Values outside 0..2
    // give 0.
    void setCookieMode(int mode = 1);
    int cookieMode() const { return cookieMode_; }
    void setNoAutoRedirect(bool on = true) { noAutoRedirect_ = on; }
    // Milliseconds. Negative: the transport's default. Zero: the default for WinInet, no
    // time-out for the other two. Send and receive count time without progress. The
    // resolve time-out is added to the connect time-out (name look-up is part of connecting).
    void setTimeouts(int resolveMs = -1, int connectMs = -1, int sendMs = -1, int receiveMs = -1);
    // The most body bytes a response may have; a longer one (or one announced longer) fails
    // the send with HttpError::TooLarge and keeps nothing. 0: no cap; negative: the
    // transport's default.
    void setMaxResponseBytes(long long bytes);
    long long maxResponseBytes() const { return maxResponseBytes_; }
    // The longest a whole send may take, its retries and redirects included, in ms; past
    // it the send fails with HttpError::Timeout. 0: no limit; negative: the transport's default.
    void setOverallTimeout(int ms);
    int overallTimeout() const { return overallTimeoutMs_; }
    // Writes the body of the following responses to the open file `fd` instead of keeping it
    // (responseBytes() is then empty); a retry truncates the file first. -1: keep it again.
    // The caller owns the descriptor.
    void setResponseFile(int fd) { bodyFd_ = fd; }
    // Proxy for the following requests ("host:port"); bypass is a comma-separated host list.
    // An empty proxy means none (the default; environment proxies are never used).
    void setProxy(std::string_view proxy, std::string_view bypass = {});
    // Proxy credentials, applied to the next send and then forgotten.
    void setProxyCredentials(std::string_view user, std::string_view password);

    // ---- one request ----
    // Starts a request (method upper-cased, empty is "GET"). Applies the scheme rule: a URL
    // that starts with neither "http://" nor "https://" (any case) gets "http://" in front.
    // False when the URL cannot be cracked or there is no internet handle.
    bool open(std::string_view method, std::string_view url);
    bool open(std::string_view url) { return open("GET", url); }

    // Request headers. False (HttpError::InvalidHeader, lastErrorText() says why) without a
    // request, with a name that is not a token, or with CR, LF or NUL in the value: a header
    // is one line.
    bool setHeader(std::string_view name, std::string_view value,
                   HeaderMode mode = HeaderMode::AddAndReplace);
    bool removeHeader(std::string_view name);
    bool setUserAgent(std::string_view agent = kDefaultUserAgent);
    bool setReferer();  // the request URL
    bool setReferer(std::string_view referer);
    bool setAccept(std::string_view accept = "*/*");
    bool setAcceptLanguage(std::string_view language = "zh-cn");
    bool setContentType(std::string_view type = "application/x-www-form-urlencoded");
    bool setAjax();  // x-requested-with: XMLHttpRequest
    // X-Forwarded-For, CLIENT_IP, VIA and REMOTE_ADDR, all set to the address.
    bool setClientAddress(std::string_view address);
    // Server credentials (basic or digest, as the server asks) for this request.
    bool setCredentials(std::string_view user, std::string_view password);

    // Cookie text "name=value; name2=value2". Mode 1 merges the pairs into the cookie string
    // (leading spaces dropped, pairs without "=" skipped; a known name takes the new value,
    // a new one is appended). Mode 2 stores them in the process-wide store for the request
    // URL's host. Mode 0 turns the transport's cookies off for this request and sends the
    // text as the Cookie header. False when mode 0 or 2 has no request to apply it to, or
    // when the text holds CR, LF or NUL. In mode 1 the cookies belong to the request's host
    // (before any request: the next request's host), and are sent only there.
    bool setCookies(std::string_view cookieText);

    // Sends the request with the body (as GB18030 bytes) and receives the whole response.
    // With retry, connection failures are tried again up to retryCount more times. True when
    // a response arrived; after the manual redirect rule (modes 1 and 2, unless
    // setNoAutoRedirect) the result and the response are those of the last request made.
    bool send(std::string_view body = {}, bool retry = false, int retryCount = 0);

    // Stops a send running on another thread, at whatever redirect or retry it is; it fails
    // with HttpError::Timeout within about a second. The next open() clears the stop.
    void abort() { abortRequested_ = true; }

    // ---- results ----
    int statusCode() const;                   // 0 without a response
    std::string responseBytes() const;        // the whole body
    std::string responseText() const;         // body read as GB18030 ("" on failure)
    std::string responseTextUtf8() const;     // body read as UTF-8 (byte-order mark dropped)
    std::string responseHeaders() const;      // status line and headers, CR LF separated
    // Why the last response is malformed ("" when it is not): a header line whose name is
    // not a token, or a folded line, was left out of responseHeaders(), as browsers leave it
    // out. (A line without any ":" fails the send with HttpError::MalformedResponse.)
    std::string responseProblem() const { return hasRequest() ? responseProblem_ : std::string(); }
    long long contentLength() const { return hasRequest() ? contentLength_ : -1; }
    // "Location:" of the response, trimmed; resolved against the request when absolute.
    std::string redirectTarget(bool absolute = true) const;
    // The object's cookie jar in its flat form: "; " then entries "name=value; " (every host).
    std::string cookies() const;
    HttpError lastError() const { return lastError_; }
    std::string lastErrorText() const { return lastErrorText_; }

    // The request as opened (after the scheme rule) and the connection it uses.
    std::string requestUrl() const;
    bool isSecure() const { return secure_; }
    std::string connectedHost() const { return connectedHost_; }
    int connectedPort() const { return connectedPort_; }

private:
    struct Header {
        std::string name;   // wire bytes
        std::string value;  // wire bytes
    };

    bool hasRequest() const { return requestOpen_; }
    CookieKeeper cookieKeeper() const;
    CookieScope currentCookieScope() const;
    bool openBytes(std::string_view method, std::string_view url);
    bool sendRequest(const std::string& body, bool retry, int retryCount);
    bool performOnce();
    void prepareRequest(const std::string& body);
    bool followRedirects();
    void afterResponse();
    bool setHeaderBytes(const std::string& name, const std::string& value, HeaderMode mode);
    std::string locationBytes(bool absolute) const;
    void resetTimeouts();
    void resetResponse();

    HttpTransport transport_;
    std::string userAgent_;                  // wire bytes
    std::unique_ptr<HttpWire> wire_;         // the internet handle
    bool requestOpen_ = false;
    std::string encodedUrl_;
    WireRequest wireRequest_;                // the request as the wire sends it

    std::string connectedHost_;
    int connectedPort_ = 0;
    std::string requestUrl_;                 // wire bytes, after the scheme rule
    std::string requestPath_ = "/";
    bool secure_ = false;
    bool isPost_ = false;
    std::string method_;
    std::vector<Header> headers_;
    bool disableTransportCookies_ = false;   // this request only

    std::string body_;
    std::string rawHeaders_;                 // status line and headers, CR LF separated
    std::string responseProblem_;
    long long contentLength_ = -1;
    long status_ = 0;

    bool autoHeaders_ = true;
    int cookieMode_ = 0;
    bool noAutoRedirect_ = false;
    int redirectCount_ = 0;
    net::CookieJar cookieJar_;               // cookie mode 1

    std::string proxy_;
    std::string proxyBypass_;
    bool proxyPending_ = false;
    std::string proxyUser_;
    std::string proxyPassword_;
    std::string serverUser_;
    std::string serverPassword_;
    bool ignoreCertificateErrors_ = true;

    int resolveTimeoutMs_ = 0;
    int connectTimeoutMs_ = 0;
    int sendTimeoutMs_ = 0;
    int receiveTimeoutMs_ = 0;
    long long maxResponseBytes_ = kDefaultMaxResponseBytes;
    int overallTimeoutMs_ = 0;
    bool deadlineSet_ = false;
    std::chrono::steady_clock::time_point deadline_;
    int bodyFd_ = -1;

    HttpError lastError_ = HttpError::None;
    std::string lastErrorText_;
    std::atomic<bool> abortRequested_{false};
};

}  // namespace quillbox::net
