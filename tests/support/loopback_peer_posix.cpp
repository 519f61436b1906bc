#include "loopback_peer.h"

#include "udp_socket.h"

#include <QTest>

#include <arpa/inet.h>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::testing {

LoopbackPeer::LoopbackPeer(const std::string& address, std::uint16_t port)
    : address_(address), socket_(loopbackUdpSocket(address, port, SOCK_NONBLOCK))
{
    const int on = 1;
    ::setsockopt(socket_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
}

LoopbackPeer::~LoopbackPeer()
{
    ::close(socket_);
}

std::optional<Received> LoopbackPeer::receive(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        sockaddr_in from{};
        iovec part{buffer, sizeof buffer};
        char control[CMSG_SPACE(sizeof(timespec))];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(socket_, &message, 0);
        if (n >= 0) {
            char sender[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
            std::chrono::nanoseconds at{0};
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
                    timespec stamp{};
                    std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                    at = std::chrono::seconds(stamp.tv_sec) +
                         std::chrono::nanoseconds(stamp.tv_nsec);
                }
            }
            return Received{std::string(buffer, static_cast<std::size_t>(n)), sender, at};
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        QTest::qWait(1);
    }
}

} // namespace nimbrel::testing
