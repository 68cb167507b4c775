#pragma once
// The few socket calls LoopbackHttpServer makes, over the system's sockets: POSIX sockets in
// LoopbackSocket.cpp, Winsock in LoopbackSocket.win32.cpp (the Windows build's net tests).
#include <cstddef>
#include <string>

namespace quillbox::test::socket {

using Handle = long long;  // a descriptor, or a Winsock SOCKET
inline constexpr Handle kNone = -1;

// A TCP socket bound to address:0 (a free port), listening when asked; kNone on failure.
// `port` receives the port it was bound to.
Handle bindLoopback(const std::string& address, bool listening, int& port);
// Waits up to `ms` for the socket to be readable (or a listener to have a connection).
bool readable(Handle s, int ms);
Handle accept(Handle listener);
// Bytes received or sent; 0 or less when the connection ended or failed.
long receive(Handle s, char* data, std::size_t size);
long send(Handle s, const char* data, std::size_t size);
void setSendTimeout(Handle s, int seconds);
void shutdownBoth(Handle s);
// Closes; with `reset`, the peer sees a reset, as when a program crashes.
void close(Handle s, bool reset = false);

}  // namespace quillbox::test::socket
