#include "support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillbox::test::socket {

Handle bindLoopback(const std::string& address, bool listening, int& port) {
    port = 0;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kNone;
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
        (listening && ::listen(fd, 64) != 0)) {
        ::close(fd);
        return kNone;
    }
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    port = ntohs(bound.sin_port);
    return fd;
}

bool readable(Handle s, int ms) {
    pollfd p{static_cast<int>(s), POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

Handle accept(Handle listener) {
    const int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNone : fd;
}

long receive(Handle s, char* data, std::size_t size) { return ::recv(static_cast<int>(s), data, size, 0); }

long send(Handle s, const char* data, std::size_t size) {
    return ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
}

void setSendTimeout(Handle s, int seconds) {
    timeval limit{seconds, 0};
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void shutdownBoth(Handle s) { ::shutdown(static_cast<int>(s), SHUT_RDWR); }

void close(Handle s, bool reset) {
    if (reset) {
        linger hard{1, 0};
        setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    ::close(static_cast<int>(s));
}

}  // namespace quillbox::test::socket
