#pragma once
// The operating system's side of the UDP endpoint: every socket call the endpoint makes, behind
// one small interface with a POSIX implementation (socket_posix.cpp) and a Winsock one
// (socket_winsock.cpp). Everything above it is the same on every platform.

#include "net/protocol.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// A failure the platform reported, with its text.
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace os {

// A socket: a descriptor on POSIX, a SOCKET on Windows; both fit.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// An IPv4 UDP socket bound to address:port (host byte order) without address reuse (on Windows
// with exclusive use, so a second program cannot share the port either), with broadcasting
// permitted, the arrival interface reported for each datagram, reads that never block, and a
// receive buffer of up to wanted_receive_buffer bytes. Throws NetworkError; a port already taken
// gives "Could not bind socket. Address and port are already in use."
SocketHandle openBoundSocket(std::uint32_t address, std::uint16_t port, int wanted_receive_buffer);
void closeSocket(SocketHandle socket);

// The receive buffer the system granted, in bytes; 0 when it cannot tell.
int receiveBufferSize(SocketHandle socket);

// One datagram to address:port (host byte order). A non-zero interface_index sends it through
// that interface, which is what makes a limited broadcast leave where it is meant to rather than
// where the default route points. Throws NetworkError with the platform's text.
void sendDatagram(SocketHandle socket, std::string_view bytes, std::uint32_t address,
                  std::uint16_t port, int interface_index);

// The dotted quad as an address value; throws NetworkError("Invalid address <host>").
std::uint32_t parseHost(const std::string& host);

// An interface a broadcast can leave through: up, broadcast-capable, not loopback, with an IPv4
// address. An interface with two such addresses is listed once per address.
struct BroadcastInterface {
    int index = 0;
    std::string name;    // as the system names it, in its 8-bit encoding
    std::string address; // dotted quad
};
std::vector<BroadcastInterface> broadcastInterfaces();

// A flag one thread raises and another thread sees: in a wait for a datagram, or through its
// event loop.
class Signal {
public:
    Signal();
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    bool isValid() const;
    void raise();
    void clear();

    // Calls on_raised on context's thread, from its event loop, whenever the flag is raised.
    // The watcher must go before the signal.
    std::unique_ptr<QObject> watch(QObject* context, std::function<void()> on_raised);

    struct Native;
    const Native& native() const { return *native_; }

private:
    std::unique_ptr<Native> native_;
};

enum class WaitResult { Readable, Stopped, TimedOut };
// Waits until the socket has a datagram or stop is raised, at most timeout_ms.
WaitResult waitForDatagram(SocketHandle socket, const Signal& stop, int timeout_ms);

// Readies the calling thread for receiving: its name for debuggers, and on Linux a short time
// slice so it preempts a busy thread as soon as a datagram wakes it.
void prepareReceivingThread(const char* name);

// Waiting datagrams, read in batches by the receiving thread.
class DatagramReader {
public:
    // Datagrams read at once. 64 buffers of the protocol's largest datagram are 512 KiB; more
    // would not make a burst any faster to read.
    static constexpr int kBatchSize = 64;

    enum class Outcome { Received, TooLong, Failed };
    struct Slot {
        Outcome outcome = Outcome::Failed;
        std::string_view bytes;
        std::string_view sender; // dotted quad
        int interface_index = 0; // the interface it arrived on, 0 when unknown
    };

    DatagramReader();
    ~DatagramReader();
    DatagramReader(const DatagramReader&) = delete;
    DatagramReader& operator=(const DatagramReader&) = delete;

    // Reads up to kBatchSize waiting datagrams without blocking: how many slots were filled,
    // 0 when nothing was waiting, -1 when the platform reported a receive error first. A
    // datagram longer than kMaxDatagramSize fills a slot marked TooLong. The views stay valid
    // until the next read.
    int read(SocketHandle socket);
    const Slot& slot(int i) const;

private:
    struct Buffers;
    std::unique_ptr<Buffers> buffers_;
};

} // namespace os
} // namespace nimbrel
