#include "net/udp_endpoint.h"

#include "util/address.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel {

namespace {

constexpr int kPollTimeoutMs = 1000;
// Hundreds of devices answer a search in one burst while the window may be busy; the queue
// must hold them all. The kernel caps the request at what it allows.
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

UdpEndpoint::UdpEndpoint(EndpointConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config))
{}

UdpEndpoint::~UdpEndpoint()
{
    stop();
}

void UdpEndpoint::setHandler(Handler handler)
{
    handler_ = std::move(handler);
}

void UdpEndpoint::activate()
{
    if (isActive())
        return;
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
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ++session_;
    }
    handled_.notify_all();
    if (receiver_.joinable())
        receiver_.join();
    ::close(socket_);
    socket_ = -1;
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
    while (!stopping_) {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, kPollTimeoutMs) <= 0)
            continue;
        Datagram datagram;
        if (receiveOne(datagram))
            handOver(std::move(datagram));
    }
}

bool UdpEndpoint::receiveOne(Datagram& datagram)
{
    char buffer[kMaxDatagramSize];
    char control[CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from{};
    iovec part{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;

    const ssize_t received = ::recvmsg(socket_, &message, MSG_DONTWAIT);
    // A datagram longer than the buffer would arrive cut; it is dropped whole instead.
    if (received < 0 || (message.msg_flags & MSG_TRUNC) || from.sin_family != AF_INET)
        return false;

    char sender[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
    datagram.bytes.assign(buffer, static_cast<std::size_t>(received));
    datagram.sender = sender;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            datagram.interface_index = info.ipi_ifindex;
        }
    }
    return true;
}

void UdpEndpoint::handOver(Datagram datagram)
{
    std::unique_lock lock(mutex_);
    if (stopping_)
        return;
    pending_ = true;
    QMetaObject::invokeMethod(
        this, [this, session = session_, d = std::move(datagram)] { deliver(d, session); },
        Qt::QueuedConnection);
    // Woken by the handler's return, or by stop(): a shutdown never waits for a hand-over that
    // the owner's thread can no longer run.
    handled_.wait(lock, [this] { return !pending_ || stopping_; });
}

void UdpEndpoint::deliver(const Datagram& datagram, std::uint64_t session)
{
    {
        // Left over from before a stop(): after a restart it must neither run nor end a hand-over.
        std::lock_guard lock(mutex_);
        if (session != session_)
            return;
    }
    if (!stopping_ && handler_) {
        try {
            handler_(datagram);
        } catch (...) {
            // Errors while a datagram is handled are dropped; receiving goes on.
        }
    }
    {
        std::lock_guard lock(mutex_);
        pending_ = false;
    }
    handled_.notify_all();
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
