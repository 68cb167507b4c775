#include "support/LoopbackHttpServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "support/LoopbackSocket.h"

namespace quillbox::test {
namespace {

constexpr int kPollMs = 50;
constexpr int kIdleLimitMs = 30000;  // a connection silent this long is closed

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Parses one request at the front of `buffer`; removes it and returns true when whole.
bool takeRequest(std::string& buffer, LoopbackRequest& request, bool& malformed) {
    malformed = false;
    // A request starts with a method name; anything else (a TLS hello, say) never will.
    if (!buffer.empty() && !std::isupper(static_cast<unsigned char>(buffer.front()))) {
        malformed = true;
        return false;
    }
    const std::size_t headEnd = buffer.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return false;
    const std::string head = buffer.substr(0, headEnd + 2);
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t sp1 = requestLine.find(' ');
    const std::size_t sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1 || requestLine.compare(sp2 + 1, 5, "HTTP/") != 0) {
        malformed = true;
        return false;
    }
    LoopbackRequest parsed;
    parsed.method = requestLine.substr(0, sp1);
    parsed.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    parsed.version = requestLine.substr(sp2 + 1);
    parsed.head = head;
    std::size_t pos = lineEnd + 2;
    while (pos < head.size()) {
        lineEnd = head.find("\r\n", pos);
        const std::string_view line(head.data() + pos, lineEnd - pos);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            parsed.headers.emplace_back(std::string(line.substr(0, colon)), std::string(trim(line.substr(colon + 1))));
        pos = lineEnd + 2;
    }
    std::size_t bodyLength = 0;
    const std::string length = parsed.header("Content-Length");
    if (!length.empty())
        bodyLength = std::stoul(length);
    if (buffer.size() < headEnd + 4 + bodyLength)
        return false;
    parsed.body = buffer.substr(headEnd + 4, bodyLength);
    buffer.erase(0, headEnd + 4 + bodyLength);
    request = std::move(parsed);
    return true;
}

}  // namespace

// ---- request and response ----

std::string LoopbackRequest::header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (equalsNoCase(n, name))
            return v;
    return {};
}

bool LoopbackRequest::hasHeader(std::string_view name) const { return headerCount(name) > 0; }

int LoopbackRequest::headerCount(std::string_view name) const {
    int count = 0;
    for (const auto& header : headers)
        count += equalsNoCase(header.first, name) ? 1 : 0;
    return count;
}

LoopbackResponse LoopbackResponse::text(std::string body, int status) {
    LoopbackResponse response;
    response.status = status;
    response.reason = status == 200 ? "OK" : "Status";
    response.body = std::move(body);
    return response;
}

LoopbackResponse LoopbackResponse::cutShort(const std::string& body, std::size_t sentBytes) {
    LoopbackResponse response;
    response.raw = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                   body.substr(0, sentBytes);
    return response;
}

LoopbackHttpServer::Handler serveDirectory(std::string root) {
    return [root = std::move(root)](const LoopbackRequest& request) {
        std::string path = request.target.substr(0, request.target.find('?'));
        if (request.method != "GET" || path.find("..") != std::string::npos)
            return LoopbackResponse::text("not found", 404);
        std::FILE* file = std::fopen((root + path).c_str(), "rb");
        if (!file)
            return LoopbackResponse::text("not found", 404);
        std::string body;
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            body.append(buffer, n);
        std::fclose(file);
        return LoopbackResponse::text(std::move(body));
    };
}

LoopbackResponse LoopbackResponse::redirect(std::string location, int status) {
    LoopbackResponse response;
    response.status = status;
    response.reason = "Found";
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

// ---- server ----

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : LoopbackHttpServer(std::move(handler), "127.0.0.1") {}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, const std::string& address)
    : address_(address), handler_(std::move(handler)) {
    listenFd_ = socket::bindLoopback(address_, true, port_);
    if (listenFd_ == socket::kNone)
        return;
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    stopping_ = true;
    if (acceptThread_.joinable())
        acceptThread_.join();
    {
        std::lock_guard lock(mutex_);
        for (socket::Handle fd : openFds_)
            socket::shutdownBoth(fd);  // unblocks a write to a client that stopped reading
    }
    for (std::thread& t : connectionThreads_)
        if (t.joinable())
            t.join();
    if (listenFd_ != socket::kNone)
        socket::close(listenFd_);
}

std::string LoopbackHttpServer::host() const { return address_ + ":" + std::to_string(port_); }

std::string LoopbackHttpServer::url(std::string_view path) const {
    return "http://" + host() + std::string(path);
}

void LoopbackHttpServer::setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<LoopbackRequest> LoopbackHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int LoopbackHttpServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(requests_.size());
}

int LoopbackHttpServer::connectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

std::vector<std::string> LoopbackHttpServer::unparsedPreludes() const {
    std::lock_guard lock(mutex_);
    return preludes_;
}

void LoopbackHttpServer::acceptLoop() {
    while (!stopping_) {
        if (!socket::readable(listenFd_, kPollMs))
            continue;
        const socket::Handle fd = socket::accept(listenFd_);
        if (fd == socket::kNone)
            continue;
        socket::setSendTimeout(fd, 10);
        std::lock_guard lock(mutex_);
        const int number = ++connections_;
        openFds_.push_back(fd);
        connectionThreads_.emplace_back([this, fd, number] { serve(fd, number); });
    }
}

void LoopbackHttpServer::serve(socket::Handle fd, int connection) {
    auto sleepBounded = [this](int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    auto writeAll = [fd](std::string_view bytes) {
        while (!bytes.empty()) {
            const long n = socket::send(fd, bytes.data(), bytes.size());
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    };

    std::string buffer;
    bool reset = false;
    int idleMs = 0;
    for (;;) {
        if (stopping_ || idleMs > kIdleLimitMs)
            break;
        if (!socket::readable(fd, kPollMs)) {
            idleMs += kPollMs;
            continue;
        }
        idleMs = 0;
        char chunk[65536];
        const long n = socket::receive(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffer.append(chunk, static_cast<std::size_t>(n));

        LoopbackRequest request;
        bool malformed = false;
        bool closeAfter = false;
        while (takeRequest(buffer, request, malformed)) {
            request.connection = connection;
            Handler handler;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
                handler = handler_;
            }
            LoopbackResponse response = handler ? handler(request) : LoopbackResponse::text("ok");
            sleepBounded(response.delayMs);
            if (response.drop) {
                reset = true;
                closeAfter = true;
                break;
            }
            if (!response.raw.empty()) {
                writeAll(response.raw);
                closeAfter = true;
                break;
            }
            std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
            for (const auto& [name, value] : response.headers)
                head += name + ": " + value + "\r\n";
            switch (response.framing) {
            case LoopbackResponse::Framing::ContentLength:
                if (response.announcedLength >= 0)
                    head += "Content-Length: " + std::to_string(response.announcedLength) + "\r\n";
                else if (!response.endless)
                    head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
                break;
            case LoopbackResponse::Framing::Chunked:
                head += "Transfer-Encoding: chunked\r\n";
                break;
            case LoopbackResponse::Framing::CloseDelimited:
                head += "Connection: close\r\n";
                response.close = true;
                break;
            }
            if (response.close)
                head += response.framing == LoopbackResponse::Framing::CloseDelimited ? "" : "Connection: close\r\n";
            head += "\r\n";
            bool ok = writeAll(head);
            sleepBounded(response.stallAfterHeadersMs);
            // Sends body bytes, in trickles when asked, counting them.
            auto sendBody = [&](std::string_view bytes) {
                if (response.trickleMs <= 0) {
                    const bool sent = writeAll(bytes);
                    if (sent)
                        bodyBytesSent_ += static_cast<long long>(bytes.size());
                    return sent;
                }
                const std::size_t step = std::max<std::size_t>(response.trickleBytes, 1);
                for (std::size_t at = 0; at < bytes.size(); at += step) {
                    if (stopping_ || !writeAll(bytes.substr(at, step)))
                        return false;
                    bodyBytesSent_ += static_cast<long long>(std::min(step, bytes.size() - at));
                    sleepBounded(response.trickleMs);
                }
                return true;
            };
            if (ok && request.method != "HEAD" && response.endless && !response.body.empty()) {
                const bool chunked = response.framing == LoopbackResponse::Framing::Chunked;
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", response.body.size());
                while (ok && !stopping_)
                    ok = chunked ? writeAll(size) && sendBody(response.body) && writeAll("\r\n") : sendBody(response.body);
                closeAfter = true;
                break;
            }
            if (ok && request.method != "HEAD") {
                if (response.framing == LoopbackResponse::Framing::Chunked) {
                    constexpr std::size_t kChunk = 8192;
                    for (std::size_t at = 0; ok && at < response.body.size(); at += kChunk) {
                        const std::string_view piece = std::string_view(response.body).substr(at, kChunk);
                        char size[32];
                        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                        ok = writeAll(size) && sendBody(piece) && writeAll("\r\n");
                    }
                    ok = ok && writeAll("0\r\n\r\n");
                } else {
                    ok = sendBody(response.body);
                }
            }
            if (!ok || response.close) {
                closeAfter = true;
                break;
            }
        }
        if (malformed) {
            std::lock_guard lock(mutex_);
            preludes_.push_back(buffer);
            break;
        }
        if (closeAfter)
            break;
    }
    {
        std::lock_guard lock(mutex_);
        std::erase(openFds_, fd);
    }
    socket::close(fd, reset);  // a reset, as a crashed peer gives
}

// ---- a refusing port ----

RefusingLoopbackPort::RefusingLoopbackPort() {
    fd_ = socket::bindLoopback("127.0.0.1", false, port_);
}

RefusingLoopbackPort::~RefusingLoopbackPort() {
    if (fd_ != socket::kNone)
        socket::close(fd_);
}

std::string RefusingLoopbackPort::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

}  // namespace quillbox::test
