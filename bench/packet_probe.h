#pragma once
// Sees the UDP datagrams that reach a network interface, as the kernel received them and with
// the kernel's arrival time, whether or not the socket they are meant for ever reads them. That
// tells a datagram that never arrived from one that arrived and was dropped further in.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nimbrel::bench {

struct CapturedDatagram {
    double timeMs = 0; // kernel arrival time, wall clock
    std::uint32_t source = 0;
    std::uint16_t sourcePort = 0;
    std::string payload;
};

class PacketProbe {
public:
    // Incoming UDP datagrams to `port` on the interface, in namespace `netns` (empty: this one),
    // captured by a thread of its own from now until stop().
    PacketProbe(const std::string& interfaceName, std::uint16_t port, const std::string& netns);
    ~PacketProbe();
    PacketProbe(const PacketProbe&) = delete;
    PacketProbe& operator=(const PacketProbe&) = delete;

    void stop();
    std::vector<CapturedDatagram> captured() const;
    // Packets the capture itself lost (its own buffer overflowed); the figures need this at 0.
    unsigned captureDrops();

private:
    void run();
    void readAvailable();

    int fd_ = -1;
    std::uint16_t port_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<CapturedDatagram> captured_;
    unsigned drops_ = 0;
    std::thread thread_;
};

} // namespace nimbrel::bench
