#include "udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::testing {

namespace {

bool canBind(const std::string& host, std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopbackAddress(host, port);
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

sockaddr_in loopbackAddress(const std::string& host, std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
        (ntohl(address.sin_addr.s_addr) >> 24) != 127)
        throw std::invalid_argument("tests stay on loopback: " + host);
    return address;
}

int loopbackUdpSocket(const std::string& address, std::uint16_t port, int flags)
{
    loopbackAddress(address, port); // throws for any other address
    return boundUdpSocket(address, port, flags);
}

int boundUdpSocket(const std::string& address, std::uint16_t port, int flags)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
        throw std::invalid_argument("not an IPv4 address: " + address);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | flags, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
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

std::uint16_t freeLoopbackPort()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int probe = loopbackUdpSocket("127.0.0.1");
        const std::uint16_t port = boundPort(probe);
        ::close(probe);
        bool free = port != 12340;
        for (const char* host : {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"})
            free = free && canBind(host, port);
        if (free)
            return port;
    }
    throw std::runtime_error("no free loopback port");
}

} // namespace nimbrel::testing
