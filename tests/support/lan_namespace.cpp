#include "lan_namespace.h"

#include "virtual_lan.h"

#include <QTest>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::testing {

namespace {

constexpr std::uint16_t kDiscoveryPort = 12340;

// A UDP socket made inside the named namespace; flags are added to the socket type
// (SOCK_NONBLOCK). thread-self: the calling thread, not the process, steps in and back.
int udpSocketIn(const QString& name, int flags)
{
    const int self = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target =
        ::open(qPrintable(QStringLiteral("/var/run/netns/") + name), O_RDONLY | O_CLOEXEC);
    if (self < 0 || target < 0 || ::setns(target, CLONE_NEWNET) != 0) {
        ::close(self);
        ::close(target);
        throw std::runtime_error("cannot enter namespace " + name.toStdString());
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | flags, 0);
    const bool back = ::setns(self, CLONE_NEWNET) == 0;
    ::close(self);
    ::close(target);
    if (!back)
        throw std::runtime_error("cannot return to the tool namespace");
    if (fd < 0)
        throw std::runtime_error("cannot open a socket in " + name.toStdString());
    return fd;
}

} // namespace

QString lanNamespace(int lan)
{
    return QString::fromStdString(
        vlanVariable(qPrintable(QStringLiteral("NIMBREL_LAN%1_NS").arg(lan))));
}

std::string lanDevice(int lan, int offset)
{
    return "10." + std::to_string(100 + lan) + "." + std::to_string(offset / 256) + "." +
           std::to_string(offset % 256);
}

LanSender::LanSender(int lan)
    : socket_(udpSocketIn(lanNamespace(lan), 0)),
      tool_(ip_to_int(vlanVariable(qPrintable(QStringLiteral("NIMBREL_LAN%1_TOOL_ADDR").arg(lan)))))
{}

LanSender::~LanSender()
{
    ::close(socket_);
}

bool LanSender::send(const std::string& bytes, AddressValue from) const
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscoveryPort);
    to.sin_addr.s_addr = htonl(tool_);
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // The source address rides in IP_PKTINFO, so no socket per device is needed.
    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(from);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    return ::sendmsg(socket_, &message, 0) == static_cast<ssize_t>(bytes.size());
}

// Non-blocking: receive() polls it while the event loop turns.
LanListener::LanListener(int lan) : socket_(udpSocketIn(lanNamespace(lan), SOCK_NONBLOCK))
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kDiscoveryPort);
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(socket_);
        throw std::runtime_error("cannot bind the LAN listener");
    }
}

LanListener::~LanListener()
{
    ::close(socket_);
}

std::optional<LanListener::Datagram> LanListener::receive(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n >= 0) {
            char sender[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
            return Datagram{std::string(buffer, static_cast<std::size_t>(n)), sender,
                            ntohs(from.sin_port)};
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        QTest::qWait(2);
    }
}

} // namespace nimbrel::testing
