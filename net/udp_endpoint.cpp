#include "net/udp_endpoint.h"

#include "util/address.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nimbrel {

namespace {

constexpr int kPollTimeoutMs = 1000;
// Datagrams read by one system call. 64 buffers of the protocol's largest datagram are 512 KiB;
// more would not make a burst any faster to read.
constexpr int kBatchSize = 64;
// How long the owner's thread handles queued datagrams before its other events (input, paint,
// timers) get their turn: short against a frame of 16 ms.
constexpr auto kHandlingSlice = std::chrono::milliseconds(5);
// The receiving thread's time slice: the shortest Linux grants.
constexpr std::uint64_t kReceiverSliceNs = 100'000;
// Datagrams the owner's thread takes from the queue under one lock.
constexpr std::size_t kTakeAtOnce = 64;
// The kernel's queue in front of the program's own: it holds what arrives while the receiving
// thread is off the CPU. The kernel caps the request at what it allows the program.
constexpr int kWantedReceiveBuffer = 16 * 1024 * 1024;

[[noreturn]] void throwErrno(int error)
{
    throw NetworkError(std::strerror(error));
}

std::uint32_t parseHost(const std::string& host)
{
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1)
        throw NetworkError("Invalid address " + host);
    return ntohl(address.s_addr);
}

bool isLimitedBroadcast(const std::string& host)
{
    return host == "255.255.255.255";
}

void enlargeReceiveBuffer(int fd)
{
    int size = kWantedReceiveBuffer;
    // SO_RCVBUFFORCE goes past the system limit when we are privileged; otherwise take the limit.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

void raiseEvent(int eventFd)
{
    const std::uint64_t one = 1;
    // Only fails when the counter is about to overflow, and then a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(eventFd, &one, sizeof one);
}

void clearEvent(int eventFd)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(eventFd, &count, sizeof count);
}

int arrivalInterface(msghdr& message)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            return info.ipi_ifindex;
        }
    }
    return 0;
}

// A thread with a short time slice preempts a busy one as soon as it wakes (Linux 6.12 and later,
// no privilege needed): the receiving thread then reads a burst while it arrives instead of
// waiting for the window's thread, or another program, to use up its slice. Older kernels refuse
// or ignore it, and the thread keeps the normal slice.
void askForShortSlice()
{
    // The kernel's struct sched_attr (its first version, 48 bytes); glibc does not declare it.
    struct {
        std::uint32_t size;
        std::uint32_t sched_policy;
        std::uint64_t sched_flags;
        std::int32_t sched_nice;
        std::uint32_t sched_priority;
        std::uint64_t sched_runtime;
        std::uint64_t sched_deadline;
        std::uint64_t sched_period;
    } attributes{};
    attributes.size = sizeof attributes;
    attributes.sched_policy = SCHED_OTHER;
    attributes.sched_runtime = kReceiverSliceNs;
    ::syscall(SYS_sched_setattr, 0, &attributes, 0u);
}

// Interfaces a broadcast can leave through: up, broadcast-capable, not loopback, with IPv4.
std::set<int> broadcastInterfaces()
{
    std::set<int> indexes;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return indexes;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(flags & IFF_UP) || !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK))
            continue;
        if (const unsigned index = if_nametoindex(entry->ifa_name); index != 0)
            indexes.insert(static_cast<int>(index));
    }
    freeifaddrs(list);
    return indexes;
}

} // namespace

// One recvmmsg() call's worth of datagrams, owned by the receiving thread.
struct UdpEndpoint::ReceiveBuffers {
    ReceiveBuffers()
    {
        for (int i = 0; i < kBatchSize; ++i)
            parts[i] = {data[i], sizeof data[i]};
    }

    // The kernel shortens the address and control lengths it fills in; each call starts afresh.
    void prepare()
    {
        for (int i = 0; i < kBatchSize; ++i) {
            msghdr& message = headers[i].msg_hdr;
            message = msghdr{};
            message.msg_name = &from[i];
            message.msg_namelen = sizeof from[i];
            message.msg_iov = &parts[i];
            message.msg_iovlen = 1;
            message.msg_control = control[i];
            message.msg_controllen = sizeof control[i];
            headers[i].msg_len = 0;
        }
    }

    char data[kBatchSize][kMaxDatagramSize];
    alignas(cmsghdr) char control[kBatchSize][CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from[kBatchSize];
    char sender[kBatchSize][INET_ADDRSTRLEN];
    iovec parts[kBatchSize];
    mmsghdr headers[kBatchSize];
};

UdpEndpoint::UdpEndpoint(EndpointConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)), queue_(config_.queue_bound_bytes),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      stop_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (wake_fd_ >= 0) {
        wake_ = std::make_unique<QSocketNotifier>(wake_fd_, QSocketNotifier::Read);
        connect(wake_.get(), &QSocketNotifier::activated, this, &UdpEndpoint::onWake);
    }
}

UdpEndpoint::~UdpEndpoint()
{
    stop();
    // The notifier goes before its descriptor, so the event loop never watches a closed one.
    wake_.reset();
    for (const int fd : {wake_fd_, stop_fd_})
        if (fd >= 0)
            ::close(fd);
}

void UdpEndpoint::setHandler(Handler handler)
{
    handler_ = std::move(handler);
}

void UdpEndpoint::activate()
{
    if (isActive())
        return;
    if (wake_fd_ < 0 || stop_fd_ < 0)
        throw NetworkError("Could not create the endpoint's event descriptors");
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throwErrno(errno);

    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    enlargeReceiveBuffer(fd);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(config_.port);
    try {
        local.sin_addr.s_addr = htonl(parseHost(config_.bind_address));
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE)
            throw NetworkError("Could not bind socket. Address and port are already in use.");
        throw NetworkError(std::string("Could not bind socket. ") + std::strerror(error));
    }

    socket_ = fd;
    stopping_ = false;
    receiver_ = std::thread([this] { receiveLoop(); });
}

void UdpEndpoint::stop()
{
    if (!isActive())
        return;
    stopping_ = true;
    raiseEvent(stop_fd_);
    if (receiver_.joinable())
        receiver_.join();
    clearEvent(stop_fd_);
    ::close(socket_);
    socket_ = -1;
    // The receiving thread is gone: nothing more can be queued, and nothing queued may outlive
    // the session. A wake-up still pending finds the queue empty.
    queue_.clear();
    discarded_ += taken_.size();
    taken_.clear();
    clearEvent(wake_fd_);
}

int UdpEndpoint::receiveBufferSize() const
{
    int size = 0;
    socklen_t length = sizeof size;
    if (!isActive() || getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0)
        return 0;
    return size;
}

void UdpEndpoint::receiveLoop()
{
    pthread_setname_np(pthread_self(), "nimbrel-udp-rx");
    askForShortSlice();
    // Half a megabyte: on the heap, not on the thread's stack.
    const auto buffers = std::make_unique<ReceiveBuffers>();
    while (!stopping_) {
        pollfd waiting[] = {{socket_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
        // The timeout only bounds a wait whose stop signal went missing.
        if (::poll(waiting, 2, kPollTimeoutMs) <= 0 || (waiting[1].revents & POLLIN))
            continue;
        drainSocket(*buffers);
    }
}

void UdpEndpoint::drainSocket(ReceiveBuffers& buffers)
{
    DatagramView views[kBatchSize];
    while (!stopping_) {
        buffers.prepare();
        const int count = ::recvmmsg(socket_, buffers.headers, kBatchSize, MSG_DONTWAIT, nullptr);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK && queue_.push({}, 0, 1))
                wakeOwner();
            return;
        }
        std::size_t accepted = 0;
        std::uint64_t tooLong = 0;
        std::uint64_t failed = 0;
        for (int i = 0; i < count; ++i) {
            msghdr& message = buffers.headers[i].msg_hdr;
            // A datagram longer than the buffer arrives cut; it is dropped whole instead.
            if (message.msg_flags & MSG_TRUNC) {
                ++tooLong;
                continue;
            }
            if (buffers.from[i].sin_family != AF_INET) {
                ++failed;
                continue;
            }
            inet_ntop(AF_INET, &buffers.from[i].sin_addr, buffers.sender[i],
                      sizeof buffers.sender[i]);
            views[accepted++] = {std::string_view(buffers.data[i], buffers.headers[i].msg_len),
                                 std::string_view(buffers.sender[i]), arrivalInterface(message)};
        }
        if (queue_.push(std::span(views, accepted), tooLong, failed))
            wakeOwner();
        // A short batch emptied the socket; poll() tells when the next one comes.
        if (count < kBatchSize)
            return;
    }
}

void UdpEndpoint::wakeOwner()
{
    raiseEvent(wake_fd_);
}

void UdpEndpoint::onWake()
{
    clearEvent(wake_fd_);
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
    sendTo(to_wire(text), parseHost(host), port, 0);
}

int UdpEndpoint::broadcast(const std::string& text)
{
    const std::uint32_t destination = parseHost(config_.broadcast_address);
    const std::string bytes = to_wire(text);
    const std::set<int> interfaces =
        isLimitedBroadcast(config_.broadcast_address) ? broadcastInterfaces() : std::set<int>{};
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
    sendTo(to_wire(text), parseHost(config_.broadcast_address), config_.port, index);
}

void UdpEndpoint::sendTo(const std::string& bytes, std::uint32_t address, std::uint16_t port,
                         int interface_index)
{
    if (!isActive())
        throw NetworkError("Socket is not bound");
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;

    // Naming the interface in IP_PKTINFO makes a limited broadcast leave through it rather
    // than through whichever interface the default route happens to use.
    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (interface_index > 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = interface_index;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    if (::sendmsg(socket_, &message, 0) < 0)
        throwErrno(errno);
}

} // namespace nimbrel
