#pragma once
// The tool's one UDP socket: it sends every datagram and receives every answer. A thread of its
// own waits for datagrams and hands each to the owner's thread, one at a time: it reads the next
// only after the handler has returned, so handlers never overlap and see datagrams in order.

#include "net/protocol.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace nimbrel {

// A failure the platform reported, with its text.
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct EndpointConfig {
    std::string bind_address = "0.0.0.0";
    std::uint16_t port = DiscoveryPort;
    // Where searches and writes go. The limited broadcast is sent once per network interface;
    // any other address (a test's loopback receiver) gets one plain datagram.
    std::string broadcast_address = "255.255.255.255";
};

struct Datagram {
    std::string bytes;
    std::string sender;      // dotted quad
    int interface_index = 0; // interface it arrived on, 0 when unknown
};

class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const Datagram&)>;

    explicit UdpEndpoint(EndpointConfig config, QObject* parent = nullptr);
    ~UdpEndpoint() override;

    // Runs on this object's thread for every datagram received; whatever it throws is dropped.
    void setHandler(Handler handler);

    // Binds without address reuse and starts receiving. Throws NetworkError on failure; a port
    // held by another program gives "Could not bind socket. Address and port are already in use."
    void activate();
    // Stops the receiving thread and waits for it (within about a second), then closes the
    // socket. No handler runs once this has returned.
    void stop();
    bool isActive() const { return socket_ >= 0; }

    // One datagram to host:port. Throws NetworkError with the platform's text.
    void send(const std::string& text, const std::string& host, std::uint16_t port);

    // To the broadcast address on every interface that is up, can broadcast, is not loopback and
    // has an IPv4 address. Fails only when every send fails. Returns the datagrams sent.
    int broadcast(const std::string& text);
    // To the broadcast address through one interface (0: wherever the routing table says).
    void broadcastVia(const std::string& text, int interface_index);

    // The receive buffer the system granted, in bytes.
    int receiveBufferSize() const;
    std::uint16_t port() const { return config_.port; }

private:
    void receiveLoop();
    bool receiveOne(Datagram& datagram);
    void handOver(Datagram datagram);
    void deliver(const Datagram& datagram, std::uint64_t session);
    void sendTo(const std::string& bytes, std::uint32_t address, std::uint16_t port,
                int interface_index);

    EndpointConfig config_;
    Handler handler_;
    int socket_ = -1;
    std::thread receiver_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable handled_;
    bool pending_ = false;
    // Counts stop() calls: a hand-over queued before one belongs to a finished session.
    std::uint64_t session_ = 0;
};

} // namespace nimbrel
