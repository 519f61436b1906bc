#pragma once
// A plain UDP socket on a loopback address, playing a device or capturing what the tool sends.
// Tests never leave loopback: the window under test binds 127.0.0.1 on a port the test picks.

#include "udp_socket.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel::testing {

struct Received {
    std::string bytes;
    std::string sender;
    // When it arrived (the test may read much later): the kernel's receive time on Linux; on
    // Windows, which reports none, the moment the peer's reading thread took it in.
    std::chrono::nanoseconds at;
};

class LoopbackPeer {
public:
    LoopbackPeer(const std::string& address, std::uint16_t port);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    const std::string& address() const { return address_; }
    void sendTo(const std::string& bytes, const std::string& host, std::uint16_t port) const;
    // The next datagram, waiting while the event loop turns; nothing within the timeout.
    std::optional<Received> receive(int timeoutMs = 2000);
    // Every datagram that arrives within the time, the event loop turning meanwhile.
    std::vector<Received> receiveFor(int milliseconds);

private:
    std::string address_;
    UdpSocketHandle socket_;
#ifdef _WIN32
    struct Reader;
    std::unique_ptr<Reader> reader_;
#endif
};

} // namespace nimbrel::testing
