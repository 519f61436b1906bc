#pragma once
// Datagrams as fast as one thread can send them, between sockets on loopback addresses, and a
// bare receiving loop to compare with: what the kernel delivers with no work per datagram.

#include "udp_socket.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel::bench {

// The sockets themselves come from the test kit.
inline int loopbackSocket(const std::string& address, std::uint16_t port = 0)
{
    return testing::boundUdpSocket(address, port);
}
using testing::boundPort;

struct Reception {
    long long count = 0;
    double lastMs = 0; // when the last one was taken
};

// Sends the texts in turn to 127.0.0.1:port, each batch from the next of the senders, `count`
// datagrams or until maxMs has passed (the test kit's send loop); returns how many were sent.
long long flood(const std::vector<int>& senders, const std::vector<std::string>& texts,
                std::uint16_t port, long long count, int maxMs);

// Reads the socket in a bare blocking loop until the sender is done and nothing came for quietMs,
// or maxMs in all: one recvfrom() per datagram.
Reception receiveUntilQuiet(int fd, const std::atomic<bool>& senderDone, int quietMs, int maxMs);
// The same with recvmmsg(), up to 64 datagrams of up to 8,192 bytes per call, as the endpoint's
// receiving thread reads.
Reception receiveBatchesUntilQuiet(int fd, const std::atomic<bool>& senderDone, int quietMs,
                                   int maxMs);

} // namespace nimbrel::bench
