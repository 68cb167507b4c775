#include "support/LoopbackSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace quillbox::test::socket {
namespace {

void startWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET raw(Handle s) { return static_cast<SOCKET>(s); }

}  // namespace

Handle bindLoopback(const std::string& address, bool listening, int& port) {
    startWinsock();
    port = 0;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return kNone;
    // Never share the port with another socket.
    BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
        (listening && ::listen(s, 64) != 0)) {
        closesocket(s);
        return kNone;
    }
    int length = sizeof bound;
    getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length);
    port = ntohs(bound.sin_port);
    return static_cast<Handle>(s);
}

bool readable(Handle s, int ms) {
    WSAPOLLFD p{raw(s), POLLRDNORM, 0};
    return WSAPoll(&p, 1, ms) > 0;
}

Handle accept(Handle listener) {
    const SOCKET s = ::accept(raw(listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? kNone : static_cast<Handle>(s);
}

long receive(Handle s, char* data, std::size_t size) { return ::recv(raw(s), data, static_cast<int>(size), 0); }

long send(Handle s, const char* data, std::size_t size) { return ::send(raw(s), data, static_cast<int>(size), 0); }

void setSendTimeout(Handle s, int seconds) {
    const DWORD ms = static_cast<DWORD>(seconds) * 1000;
    setsockopt(raw(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

void shutdownBoth(Handle s) { ::shutdown(raw(s), SD_BOTH); }

void close(Handle s, bool reset) {
    if (reset) {
        linger hard{1, 0};
        setsockopt(raw(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    }
    closesocket(raw(s));
}

}  // namespace quillbox::test::socket
