#pragma once
// Datagrams as fast as one thread can send them, between sockets on loopback addresses, and a
// bare receiving loop to compare with: what the kernel delivers with no work per datagram.

#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel::bench {

// A UDP socket bound to address:port (0: one the system picks). Throws on failure.
int loopbackSocket(const std::string& address, std::uint16_t port = 0);
std::uint16_t boundPort(int fd);

// Datagrams taken from a full queue, and when the draining began and ended.
struct Reception {
    long long count = 0;
    double firstMs = 0;
    double lastMs = 0;
};

// Sends texts[i % texts.size()] from senders[i % senders.size()] to 127.0.0.1:port, `count`
// times or until maxMs has passed; returns how many were sent.
long long flood(const std::vector<int>& senders, const std::vector<std::string>& texts,
                std::uint16_t port, long long count, int maxMs);

// Reads the socket as fast as a bare blocking loop can until `expected` datagrams came, or none
// came for quietMs.
Reception drainSocket(int fd, long long expected, int quietMs);

} // namespace nimbrel::bench
