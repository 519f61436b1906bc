#pragma once
// The tool's one UDP socket: it sends every datagram and receives every answer. A thread of its
// own empties the socket as fast as the kernel delivers into a queue bounded by bytes, and wakes
// the owner's thread once per burst; the owner's thread runs the handler for each datagram, one at
// a time, oldest first, and starts the next only after the handler has returned, even when the
// handler turns a nested event loop (a message box).

#include "net/datagram_queue.h"
#include "net/protocol.h"
#include "net/socket_layer.h"

#include <QObject>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace nimbrel {

struct EndpointConfig {
    std::string bind_address = "0.0.0.0";
    std::uint16_t port = DiscoveryPort;
    // Where searches and writes go. The limited broadcast is sent once per network interface;
    // any other address (a test's loopback receiver) gets one plain datagram.
    std::string broadcast_address = "255.255.255.255";
    std::size_t queue_bound_bytes = kDefaultQueueBound;
};

struct EndpointCounters : QueueCounters {
    std::uint64_t handled = 0; // datagrams the handler ran for
};

class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const Datagram&)>;

    explicit UdpEndpoint(EndpointConfig config, QObject* parent = nullptr);
    ~UdpEndpoint() override;

    // Runs on this object's thread for every datagram received, one at a time in arrival order;
    // whatever it throws is dropped. A nested event loop inside it (a message box) handles no
    // further datagram: they wait in the queue until the handler has returned.
    void setHandler(Handler handler);

    // Binds without address reuse and starts receiving. Throws NetworkError on failure; a port
    // held by another program gives "Could not bind socket. Address and port are already in use."
    void activate();
    // Stops the receiving thread and waits for it, then closes the socket and drops whatever is
    // queued. No handler runs once this has returned, and nothing received before it is handled
    // after a later activate().
    void stop();
    bool isActive() const { return socket_ != os::kNoSocket; }

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

    // What the receiving side has seen since construction, across sessions. Read it on the
    // owner's thread.
    EndpointCounters counters() const;

private:
    void receiveLoop();
    void drainSocket(os::DatagramReader& reader);
    void wakeOwner();
    void onWake();
    void handleQueued();
    void sendTo(const std::string& bytes, std::uint32_t address, std::uint16_t port,
                int interface_index);

    EndpointConfig config_;
    Handler handler_;
    os::SocketHandle socket_ = os::kNoSocket;
    std::thread receiver_;
    std::atomic<bool> stopping_{false};
    DatagramQueue queue_;
    // Two signals, so neither side waits on the other's locks or on Qt's: the owner's thread
    // sleeps in its event loop until wake_signal_ is raised, the receiving thread in its wait
    // until a datagram comes or stop_signal_ is raised.
    os::Signal wake_signal_;
    os::Signal stop_signal_;
    std::unique_ptr<QObject> wake_;
    // The owner's thread is inside a handler: a wake-up from a nested event loop handles nothing.
    bool handling_ = false;
    // Taken from the queue in one go, not yet handled; the owner's thread only.
    std::deque<Datagram> taken_;
    std::uint64_t handled_ = 0;
    std::uint64_t discarded_ = 0;
};

} // namespace nimbrel
