#include "net/udp_endpoint.h"

#include "util/address.h"

#include <chrono>
#include <set>

namespace nimbrel {

namespace {

constexpr int kPollTimeoutMs = 1000;
constexpr int kBatchSize = os::DatagramReader::kBatchSize;
// How long the owner's thread handles queued datagrams before its other events (input, paint,
// timers) get their turn: short against a frame of 16 ms.
constexpr auto kHandlingSlice = std::chrono::milliseconds(5);
// Datagrams the owner's thread takes from the queue under one lock.
constexpr std::size_t kTakeAtOnce = 64;
// The kernel's queue in front of the program's own: it holds what arrives while the receiving
// thread is off the CPU. The kernel caps the request at what it allows the program.
constexpr int kWantedReceiveBuffer = 16 * 1024 * 1024;

bool isLimitedBroadcast(const std::string& host)
{
    return host == "255.255.255.255";
}

// Interfaces a broadcast can leave through, each once.
std::set<int> broadcastInterfaceIndexes()
{
    std::set<int> indexes;
    for (const os::BroadcastInterface& entry : os::broadcastInterfaces())
        indexes.insert(entry.index);
    return indexes;
}

} // namespace

UdpEndpoint::UdpEndpoint(EndpointConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)), queue_(config_.queue_bound_bytes)
{
    if (wake_signal_.isValid())
        wake_ = wake_signal_.watch(this, [this] { onWake(); });
}

UdpEndpoint::~UdpEndpoint()
{
    stop();
    // The watcher goes before its signal, so the event loop never watches a closed one.
    wake_.reset();
}

void UdpEndpoint::setHandler(Handler handler)
{
    handler_ = std::move(handler);
}

void UdpEndpoint::activate()
{
    if (isActive())
        return;
    if (!wake_signal_.isValid() || !stop_signal_.isValid())
        throw NetworkError("Could not create the endpoint's event descriptors");
    const std::uint32_t address = os::parseHost(config_.bind_address);
    socket_ = os::openBoundSocket(address, config_.port, kWantedReceiveBuffer);
    stopping_ = false;
    receiver_ = std::thread([this] { receiveLoop(); });
}

void UdpEndpoint::stop()
{
    if (!isActive())
        return;
    stopping_ = true;
    stop_signal_.raise();
    if (receiver_.joinable())
        receiver_.join();
    stop_signal_.clear();
    os::closeSocket(socket_);
    socket_ = os::kNoSocket;
    // The receiving thread is gone: nothing more can be queued, and nothing queued may outlive
    // the session. A wake-up still pending finds the queue empty.
    queue_.clear();
    discarded_ += taken_.size();
    taken_.clear();
    wake_signal_.clear();
}

int UdpEndpoint::receiveBufferSize() const
{
    return isActive() ? os::receiveBufferSize(socket_) : 0;
}

void UdpEndpoint::receiveLoop()
{
    os::prepareReceivingThread("nimbrel-udp-rx");
    os::DatagramReader reader;
    while (!stopping_) {
        // The timeout only bounds a wait whose stop signal went missing.
        if (os::waitForDatagram(socket_, stop_signal_, kPollTimeoutMs) != os::WaitResult::Readable)
            continue;
        drainSocket(reader);
    }
}

void UdpEndpoint::drainSocket(os::DatagramReader& reader)
{
    DatagramView views[kBatchSize];
    while (!stopping_) {
        const int count = reader.read(socket_);
        if (count < 0 && queue_.push({}, 0, 1))
            wakeOwner();
        if (count <= 0)
            return;
        std::size_t accepted = 0;
        std::uint64_t tooLong = 0;
        std::uint64_t failed = 0;
        for (int i = 0; i < count; ++i) {
            const os::DatagramReader::Slot& slot = reader.slot(i);
            // A datagram longer than the buffer is dropped whole, not handed on cut.
            if (slot.outcome == os::DatagramReader::Outcome::TooLong) {
                ++tooLong;
                continue;
            }
            if (slot.outcome == os::DatagramReader::Outcome::Failed) {
                ++failed;
                continue;
            }
            views[accepted++] = {slot.bytes, slot.sender, slot.interface_index};
        }
        if (queue_.push(std::span(views, accepted), tooLong, failed))
            wakeOwner();
        // A short batch emptied the socket; the wait tells when the next one comes.
        if (count < kBatchSize)
            return;
    }
}

void UdpEndpoint::wakeOwner()
{
    wake_signal_.raise();
}

void UdpEndpoint::onWake()
{
    wake_signal_.clear();
    handleQueued();
}

void UdpEndpoint::handleQueued()
{
    // Woken inside a nested event loop that a handler turns (a message box): the datagrams wait
    // until that handler has returned, and the loop below, still running, takes them then.
    if (handling_)
        return;
    handling_ = true;
    const auto until = std::chrono::steady_clock::now() + kHandlingSlice;
    bool more = false;
    while (!taken_.empty() || queue_.takeInto(taken_, kTakeAtOnce) > 0) {
        // Off the list before the handler runs: a stop() inside it clears what is left.
        const Datagram datagram = std::move(taken_.front());
        taken_.pop_front();
        ++handled_;
        if (handler_) {
            try {
                handler_(datagram);
            } catch (...) {
                // Errors while a datagram is handled are dropped; the next one is handled.
            }
        }
        // A long queue is worked through in slices, with the window's other events between.
        if (std::chrono::steady_clock::now() >= until) {
            more = !taken_.empty() || queue_.keepAwake();
            break;
        }
    }
    handling_ = false;
    if (more)
        wakeOwner();
}

EndpointCounters UdpEndpoint::counters() const
{
    EndpointCounters counters;
    static_cast<QueueCounters&>(counters) = queue_.counters();
    counters.handled = handled_;
    counters.discarded_at_stop += discarded_;
    return counters;
}

void UdpEndpoint::send(const std::string& text, const std::string& host, std::uint16_t port)
{
    sendTo(to_wire(text), os::parseHost(host), port, 0);
}

int UdpEndpoint::broadcast(const std::string& text)
{
    const std::uint32_t destination = os::parseHost(config_.broadcast_address);
    const std::string bytes = to_wire(text);
    const std::set<int> interfaces = isLimitedBroadcast(config_.broadcast_address)
                                         ? broadcastInterfaceIndexes()
                                         : std::set<int>{};
    if (interfaces.empty()) {
        sendTo(bytes, destination, config_.port, 0);
        return 1;
    }
    int sent = 0;
    std::string lastError;
    for (int index : interfaces) {
        try {
            sendTo(bytes, destination, config_.port, index);
            ++sent;
        } catch (const NetworkError& error) {
            lastError = error.what();
        }
    }
    if (sent == 0)
        throw NetworkError(lastError);
    return sent;
}

void UdpEndpoint::broadcastVia(const std::string& text, int interface_index)
{
    const int index = isLimitedBroadcast(config_.broadcast_address) ? interface_index : 0;
    sendTo(to_wire(text), os::parseHost(config_.broadcast_address), config_.port, index);
}

void UdpEndpoint::sendTo(const std::string& bytes, std::uint32_t address, std::uint16_t port,
                         int interface_index)
{
    if (!isActive())
        throw NetworkError("Socket is not bound");
    os::sendDatagram(socket_, bytes, address, port, interface_index);
}

} // namespace nimbrel
