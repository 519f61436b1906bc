#pragma once
// The simulator's one UDP socket. Every device answers through it: IP_PKTINFO tells which address
// a datagram was sent to, and sets each reply's source to the answering device's address.

#include "devsim/simulator.h"

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

    int fd() const { return fd_; }

    // Takes one waiting datagram without blocking; false when none is waiting.
    bool receive(ReceivedDatagram& datagram);

    // Sends every reply from its device's address, pausing delay between two sends. Returns how
    // many could not be sent; error describes the first failure.
    std::size_t send(const std::vector<Reply>& replies, std::chrono::microseconds delay,
                     std::string& error);

private:
    explicit UdpEndpoint(int fd) : fd_(fd), buffer_(65536) {}
    std::size_t send_batch(const Reply* replies, std::size_t count, std::string& error);

    int fd_;
    std::vector<char> buffer_; // one datagram of the largest size UDP allows
};

} // namespace nimbrel::devsim
