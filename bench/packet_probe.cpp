#include "packet_probe.h"

#include "vlan_env.h"

#include <arpa/inet.h>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::bench {

namespace {

// Enough for any burst measured here; past it the probe stops recording rather than grow.
constexpr std::size_t kMaxCaptured = 1'000'000;
constexpr int kCaptureBuffer = 64 * 1024 * 1024;

int openCaptureSocket(const std::string& netns)
{
    const int type = SOCK_DGRAM | SOCK_CLOEXEC; // cooked: the IP header comes first
    const int protocol = htons(ETH_P_IP);
    return netns.empty() ? ::socket(AF_PACKET, type, protocol)
                         : socketInNamespace(netns, AF_PACKET, type, protocol);
}

void bindToInterface(int fd, const std::string& interfaceName)
{
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName.c_str(), IFNAMSIZ - 1);
    // Asked through the socket, so the name is looked up in the socket's own namespace.
    if (::ioctl(fd, SIOCGIFINDEX, &request) != 0)
        throw std::runtime_error("no interface " + interfaceName);
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_IP);
    local.sll_ifindex = request.ifr_ifindex;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        throw std::runtime_error("cannot capture on " + interfaceName);
}

} // namespace

PacketProbe::PacketProbe(const std::string& interfaceName, std::uint16_t port,
                         const std::string& netns)
    : fd_(openCaptureSocket(netns)), port_(port)
{
    if (fd_ < 0)
        throw std::runtime_error("cannot open a packet socket (needs CAP_NET_RAW)");
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kCaptureBuffer, sizeof kCaptureBuffer);
    ::setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    try {
        bindToInterface(fd_, interfaceName);
    } catch (...) {
        ::close(fd_);
        throw;
    }
    captureDrops(); // the counter restarts from here
    thread_ = std::thread([this] { run(); });
}

PacketProbe::~PacketProbe()
{
    stop();
    ::close(fd_);
}

void PacketProbe::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::vector<CapturedDatagram> PacketProbe::captured() const
{
    std::lock_guard lock(mutex_);
    return captured_;
}

unsigned PacketProbe::captureDrops()
{
    tpacket_stats stats{};
    socklen_t length = sizeof stats;
    // Reading the statistics resets them, so they are summed here.
    if (::getsockopt(fd_, SOL_PACKET, PACKET_STATISTICS, &stats, &length) == 0)
        drops_ += stats.tp_drops;
    return drops_;
}

void PacketProbe::run()
{
    while (!stopping_) {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) > 0)
            readAvailable();
    }
    readAvailable();
}

void PacketProbe::readAvailable()
{
    char packet[65536];
    char control[CMSG_SPACE(sizeof(timespec))];
    for (;;) {
        sockaddr_ll from{};
        iovec part{packet, sizeof packet};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = ::recvmsg(fd_, &message, MSG_DONTWAIT);
        if (size < 0)
            return;
        if (from.sll_pkttype == PACKET_OUTGOING || size < static_cast<ssize_t>(sizeof(iphdr)))
            continue;
        iphdr ip{};
        std::memcpy(&ip, packet, sizeof ip);
        const std::size_t headerLength = ip.ihl * 4u;
        if (ip.protocol != IPPROTO_UDP ||
            static_cast<std::size_t>(size) < headerLength + sizeof(udphdr))
            continue;
        udphdr udp{};
        std::memcpy(&udp, packet + headerLength, sizeof udp);
        if (ntohs(udp.dest) != port_)
            continue;
        CapturedDatagram datagram;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                datagram.timeMs = static_cast<double>(stamp.tv_sec) * 1e3 +
                                  static_cast<double>(stamp.tv_nsec) / 1e6;
            }
        }
        datagram.source = ntohl(ip.saddr);
        datagram.sourcePort = ntohs(udp.source);
        const std::size_t payloadAt = headerLength + sizeof(udphdr);
        datagram.payload.assign(packet + payloadAt, static_cast<std::size_t>(size) - payloadAt);
        std::lock_guard lock(mutex_);
        if (captured_.size() < kMaxCaptured)
            captured_.push_back(std::move(datagram));
    }
}

} // namespace nimbrel::bench
