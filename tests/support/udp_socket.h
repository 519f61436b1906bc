#pragma once
// Plain UDP sockets on loopback addresses for the tests and the benchmarks, standing in for a
// device or another program. Only 127.0.0.0/8 is accepted: nothing a test sends leaves loopback
// (inside the virtual LAN's tool namespace, loopback is that namespace's own). The system calls
// are POSIX ones (udp_socket_posix.cpp) or Winsock ones (udp_socket_winsock.cpp).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sockaddr_in;

namespace nimbrel::testing {

// A descriptor on POSIX, a SOCKET on Windows.
#ifdef _WIN32
using UdpSocketHandle = std::uintptr_t;
#else
using UdpSocketHandle = int;
#endif

// The socket address of a loopback host and port; throws for any other host.
sockaddr_in loopbackAddress(const std::string& host, std::uint16_t port);

// A UDP socket bound to address:port (0: a port the kernel picks), close-on-exec; flags add to
// SOCK_DGRAM (SOCK_NONBLOCK, say; Windows has no such flags, callers there pass 0). Throws when
// it cannot bind. The caller closes it. Any address: for the benchmarks inside the virtual LAN's
// tool namespace, where 0.0.0.0 is that namespace's.
UdpSocketHandle boundUdpSocket(const std::string& address, std::uint16_t port = 0, int flags = 0);
// The same on a loopback address only, for the tests; throws for any other.
UdpSocketHandle loopbackUdpSocket(const std::string& address, std::uint16_t port = 0,
                                  int flags = 0);
void closeUdpSocket(UdpSocketHandle socket);

// The port a socket is bound to.
std::uint16_t boundPort(UdpSocketHandle socket);

// A UDP port that is free on 127.0.0.1 and on the other loopback addresses the tests use
// (127.0.0.2 to 127.0.0.5), and is not the tool's own 12340.
std::uint16_t freeLoopbackPort();

// One datagram to a loopback host; true when the system took all of it.
bool sendToLoopback(UdpSocketHandle socket, std::string_view bytes, const std::string& host,
                    std::uint16_t port);

struct SocketDatagram {
    std::string bytes;
    std::string sender; // dotted quad
    std::uint16_t sender_port = 0;
};
// The next datagram, waiting at most timeoutMs (the thread blocked, no event loop); nothing
// within the time or on a receive error.
std::optional<SocketDatagram> receiveWithin(UdpSocketHandle socket, int timeoutMs);

// The sender address another socket sees for datagrams from a socket bound to address (on
// loopback). Windows sends from the bound address, like Linux; Wine does not: its UDP socket
// bound to 127.0.0.2 sends from 127.0.0.1.
std::string seenSenderOf(const std::string& address);

// The index the system gives the loopback interface, as a received datagram reports it.
int loopbackInterfaceIndex();

} // namespace nimbrel::testing
