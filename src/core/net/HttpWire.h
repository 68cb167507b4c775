#pragma once
// HttpWire: one HTTP exchange on the wire, under HttpClient's rules.
//
// HttpClient (HttpClient.cpp, the same in every build) keeps the rules: the scheme rule,
// headers, cookie modes and the object's cookie jar, the manual redirect rule, retries, the
// caps, the overall deadline, the results and their text. The wire sends one request it was
// given whole (headers already decided) and brings back status, header block and body, with
// the time-outs, proxy, credentials, TLS and certificate rules, the size cap, the stop and the
// body file. HttpWire.cpp is libcurl; HttpWire.win32.cpp is the system's WinHTTP.
//
// A wire object is the client's "internet handle": made by create(), dropped by close(). It
// keeps the connections (one to a host and port is used again) and the cookies the transport
// keeps itself (cookie mode 0).
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillbox::net {

// Who keeps the cookies the wire handles for a request: nobody (the client's own string, or a
// Cookie header set by hand), the wire object, or the process-wide store.
enum class CookieKeeper { None, Object, System };

struct WireRequest {
    std::string url;  // absolute, after encodeUrlBytes
    std::string host;
    int port = 0;
    bool secure = false;
    std::string method;  // upper case, a token
    std::string body;    // wire bytes
    bool sendBody = false;  // POST, or any method with a body
    std::vector<std::pair<std::string, std::string>> headers;  // wire bytes, in order
    std::string userAgent;

    std::string proxy, proxyBypass;  // empty proxy: none (never the environment's)
    bool proxyCredentials = false;
    std::string proxyUser, proxyPassword;
    std::string serverUser, serverPassword;  // empty user: none

    // Milliseconds; 0 is no limit. Send and receive count time without progress.
    int resolveMs = 0, connectMs = 0, sendMs = 0, receiveMs = 0;
    bool deadlineSet = false;
    std::chrono::steady_clock::time_point deadline;
    const std::atomic<bool>* stop = nullptr;

    bool verifyPeer = true;
    bool verifyHost = true;
    bool followRedirects = false;  // the transport's own following, up to kMaxWireRedirects
    CookieKeeper cookies = CookieKeeper::None;

    long long maxBodyBytes = 0;  // 0: no cap
    int bodyFd = -1;             // the body goes to this file instead
};

// The most redirects the transport follows itself in one send.
inline constexpr int kMaxWireRedirects = 10;

enum class WireOutcome {
    Ok,
    TooLarge,         // the body or the header block passed its cap
    OutOfMemory,
    WriteFailed,      // the body file could not be written (errno kept)
    Stopped,          // the stop flag was seen
    TimedOut,         // a time-out of the transport, or the deadline
    CannotConnect,
    NameNotResolved,
    Dropped,          // the connection ended early: sent, received or cut short
    SecureFailure,
    TooManyRedirects,
    Malformed,        // a response head that cannot be read
    InvalidUrl,
    Other,
};

struct WireResponse {
    WireOutcome outcome = WireOutcome::Other;
    std::string errorText;  // the transport's own words, when it has some
    long status = 0;
    std::string rawHeaders;  // the last response's status line and headers, CR LF separated
    std::string problem;     // the first malformed header line left out, "" when none
    std::string body;        // empty when it went to the file
    long long received = 0;  // body bytes of this attempt
};

class HttpWire {
public:
    // Null when the transport cannot make its handles.
    static std::unique_ptr<HttpWire> make();
    // Empties the process-wide cookie store (cookie keeper System).
    static void clearSystemCookies();
    // A cookie set by hand into the process-wide store: host-only, for the whole site.
    static void storeSystemCookie(const std::string& host, std::string_view name, std::string_view value);

    virtual ~HttpWire() = default;
    // One attempt: sends the request, receives the whole response (following redirects
    // itself when asked), and fills `response`.
    virtual void transfer(const WireRequest& request, WireResponse& response) = 0;
};

// ---- shared by the wires (HttpClient.cpp) ----

// Adds one received header line (without its line end) to the block: a new status line
// starts the block again; a line whose name is not a token, or a folded one, is left out and
// named in `problem`, as browsers leave it out. False when the block would pass
// kMaxHeaderBytes.
bool takeHeaderLine(std::string_view line, std::string& raw, std::string& problem);

// Keeps body bytes under the cap: in memory (room taken in large pieces, so no copies are
// left behind) or in the body file.
class BodySink {
public:
    BodySink(WireResponse& response, long long cap, int fd) : response_(response), cap_(cap), fd_(fd) {}
    // Before the first byte: refuses a body announced past the cap, else makes room for it.
    WireOutcome announce(long long length);
    // Ok, TooLarge, OutOfMemory or WriteFailed.
    WireOutcome take(const char* data, std::size_t n);

private:
    WireResponse& response_;
    long long cap_;
    int fd_;
};

// The value of the first "name:" line of a raw block (name without case), trimmed.
std::string headerValueOf(std::string_view raw, std::string_view name, bool& found);

}  // namespace quillbox::net
