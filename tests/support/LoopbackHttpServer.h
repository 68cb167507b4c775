#pragma once
// A small HTTP/1.1 server for tests: listens on 127.0.0.1 on a free port, answers each
// request through a handler the test gives, and records what it received. Every wait in it
// is bounded, and the destructor stops it and joins its threads.
//
//     LoopbackHttpServer server([](const LoopbackRequest& r) {
//         return LoopbackResponse::text("hello");
//     });
//     client.open(server.url("/page"));
//     ... server.requests()[0].header("Accept") ...
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/LoopbackSocket.h"

namespace quillbox::test {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct LoopbackRequest {
    int connection = 0;  // 1-based number of the TCP connection it came on
    std::string method;
    std::string target;  // as in the request line: path and query
    std::string version;
    HeaderList headers;  // in order, names as sent, values without surrounding spaces
    std::string body;
    std::string head;    // the request line and header lines as received

    // First value of the header (name compared without case), "" when absent.
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
    int headerCount(std::string_view name) const;
};

struct LoopbackResponse {
    enum class Framing { ContentLength, Chunked, CloseDelimited };

    int status = 200;
    std::string reason = "OK";
    HeaderList headers;
    std::string body;
    Framing framing = Framing::ContentLength;
    int delayMs = 0;       // wait before answering (bounded by the server's stop)
    int stallAfterHeadersMs = 0;  // send the head, then wait before the body
    bool drop = false;     // reset the connection without answering
    bool close = false;    // close the connection after answering
    std::string raw;       // when not empty: written as it is instead, then closed
    // The body is sent again and again until the client stops reading or the server stops
    // (a Content-Length framing then announces `announcedLength`, else no length at all).
    bool endless = false;
    // Wait this long after each piece of `trickleBytes` body bytes: a server that trickles.
    int trickleMs = 0;
    std::size_t trickleBytes = 1;
    // When not negative: the Content-Length sent, whatever the body's real length.
    long long announcedLength = -1;

    static LoopbackResponse text(std::string body, int status = 200);
    static LoopbackResponse redirect(std::string location, int status = 302);
    // Head announcing `announced` body bytes, then only `sent` of them, then the connection closes.
    static LoopbackResponse cutShort(const std::string& body, std::size_t sentBytes);
};

class LoopbackHttpServer {
public:
    using Handler = std::function<LoopbackResponse(const LoopbackRequest&)>;

    // The default handler answers 200 with the body "ok".
    explicit LoopbackHttpServer(Handler handler = {});
    // Listens on another loopback address, "127.0.0.2" say: another host to a client.
    LoopbackHttpServer(Handler handler, const std::string& address);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return port_; }
    std::string host() const;                      // "127.0.0.1:port"
    // Body bytes written to clients so far (for tests that watch an endless body).
    long long bodyBytesSent() const { return bodyBytesSent_; }
    std::string url(std::string_view path = "/") const;  // "http://127.0.0.1:port" + path
    void setHandler(Handler handler);

    std::vector<LoopbackRequest> requests() const;
    int requestCount() const;
    int connectionCount() const;
    // Opening bytes of connections that sent no HTTP request (a TLS hello, say).
    std::vector<std::string> unparsedPreludes() const;

private:
    void acceptLoop();
    void serve(socket::Handle fd, int connection);

    socket::Handle listenFd_ = socket::kNone;
    int port_ = 0;
    std::string address_ = "127.0.0.1";
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    Handler handler_;
    std::vector<LoopbackRequest> requests_;
    std::atomic<long long> bodyBytesSent_{0};
    std::vector<std::string> preludes_;
    std::vector<std::thread> connectionThreads_;
    std::vector<socket::Handle> openFds_;
    int connections_ = 0;
};

// A handler serving the files under root as a static web server would: GET of "/a/b" answers
// root/a/b with status 200, anything missing (or a path with "..") 404.
LoopbackHttpServer::Handler serveDirectory(std::string root);

// A loopback port that refuses connections: bound, never listening, held for the object's
// lifetime so no other program takes it.
class RefusingLoopbackPort {
public:
    RefusingLoopbackPort();
    ~RefusingLoopbackPort();
    int port() const { return port_; }
    std::string url(std::string_view path = "/") const;

private:
    socket::Handle fd_ = socket::kNone;
    int port_ = 0;
};

}  // namespace quillbox::test
