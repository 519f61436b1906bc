#pragma once
// Plain UDP sockets on loopback addresses for the tests and the benchmarks, standing in for a
// device or another program. Only 127.0.0.0/8 is accepted: nothing a test sends leaves loopback
// (inside the virtual LAN's tool namespace, loopback is that namespace's own).

#include <cstdint>
#include <string>

struct sockaddr_in;

namespace nimbrel::testing {

// The socket address of a loopback host and port; throws for any other host.
sockaddr_in loopbackAddress(const std::string& host, std::uint16_t port);

// A UDP socket bound to address:port (0: a port the kernel picks), close-on-exec; flags add to
// SOCK_DGRAM (SOCK_NONBLOCK, say). Throws when it cannot bind. The caller closes it. Any address:
// for the benchmarks inside the virtual LAN's tool namespace, where 0.0.0.0 is that namespace's.
int boundUdpSocket(const std::string& address, std::uint16_t port = 0, int flags = 0);
// The same on a loopback address only, for the tests; throws for any other.
int loopbackUdpSocket(const std::string& address, std::uint16_t port = 0, int flags = 0);

// The port a socket is bound to.
std::uint16_t boundPort(int fd);

// A UDP port that is free on 127.0.0.1 and on the other loopback addresses the tests use
// (127.0.0.2 to 127.0.0.5), and is not the tool's own 12340.
std::uint16_t freeLoopbackPort();

} // namespace nimbrel::testing
