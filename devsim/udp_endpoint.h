#pragma once
// The simulator's one UDP socket. Every device answers through it: IP_PKTINFO tells which address
// a datagram was sent to, and sets each reply's source to the answering device's address.
// udp_endpoint.cpp implements it with POSIX sockets, udp_endpoint_winsock.cpp with Winsock.

#include "devsim/simulator.h"
#include "devsim/stop_signals.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nimbrel::devsim {

struct ReceivedDatagram {
    std::string bytes;
    AddressValue sender = 0;
    std::uint16_t sender_port = 0;
    AddressValue destination = 0;
};

class UdpEndpoint {
public:
    // Binds bind_address:port with SO_BROADCAST (no SO_REUSEADDR: a second simulator on the same
    // port must fail instead of sharing datagrams). Returns nullptr and sets error on failure.
    // With share_port, SO_REUSEADDR lets simulators that all ask for it bind the same port: each
    // receives every broadcast, so two can answer one search from one address.
    static std::unique_ptr<UdpEndpoint> open(AddressValue bind_address, std::uint16_t port,
                                             std::string& error, bool share_port = false);
    ~UdpEndpoint();
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    enum class Wake { Datagram, Stop, Timeout, Failed };
    // Waits until a datagram is waiting or a stop signal has come, at most timeout_ms (-1: no
    // limit). A stop signal wins over a datagram. Failed sets error to "<call>: <reason>".
    Wake wait(const StopSignals& stop, int timeout_ms, std::string& error) const;

    // Takes one waiting datagram without blocking; false when none is waiting.
    bool receive(ReceivedDatagram& datagram);

    // Sends every reply from its device's address, pausing delay between two sends. Returns how
    // many could not be sent; error describes the first failure.
    std::size_t send(const std::vector<Reply>& replies, std::chrono::microseconds delay,
                     std::string& error);

private:
    explicit UdpEndpoint(std::intptr_t socket) : socket_(socket), buffer_(65536) {}
    std::size_t send_batch(const Reply* replies, std::size_t count, std::string& error);

    std::intptr_t socket_;        // a descriptor, or a SOCKET on Windows
    std::intptr_t readable_ = -1; // Windows: the event the socket signals when a datagram waits
    std::vector<char> buffer_;    // one datagram of the largest size UDP allows
};

} // namespace nimbrel::devsim
