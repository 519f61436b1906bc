#include "loopback_flood.h"

#include "figures.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::bench {

int loopbackSocket(const std::string& address, std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (fd < 0 || ::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port));
    }
    return fd;
}

std::uint16_t boundPort(int fd)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

long long flood(const std::vector<int>& senders, const std::vector<std::string>& texts,
                std::uint16_t port, long long count, int maxMs)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const double deadline = realtimeMs() + maxMs;
    long long sent = 0;
    for (long long i = 0; i < count; ++i) {
        // The clock is read once in a while: reading it for every datagram would slow the flood.
        if (i % 1024 == 0 && realtimeMs() > deadline)
            break;
        const std::string& text = texts[static_cast<std::size_t>(i) % texts.size()];
        const int fd = senders[static_cast<std::size_t>(i) % senders.size()];
        if (::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) >= 0)
            ++sent;
    }
    return sent;
}

Reception drainSocket(int fd, long long expected, int quietMs)
{
    const timeval wake{quietMs / 1000, (quietMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    Reception reception;
    reception.firstMs = realtimeMs();
    char buffer[65536];
    while (reception.count < expected) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        if (::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) <
            0)
            break; // quiet for quietMs: what is missing was never queued
        ++reception.count;
        reception.lastMs = realtimeMs();
    }
    return reception;
}

} // namespace nimbrel::bench
