#include "udp_socket.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace nimbrel::testing {

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

void closeUdpSocket(int socket)
{
    ::close(socket);
}

std::uint16_t boundPort(int fd)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

bool sendToLoopback(int socket, std::string_view bytes, const std::string& host, std::uint16_t port)
{
    const sockaddr_in to = loopbackAddress(host, port);
    const ssize_t sent = ::sendto(socket, bytes.data(), bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(bytes.size());
}

std::optional<SocketDatagram> receiveWithin(int socket, int timeoutMs)
{
    pollfd waiting{socket, POLLIN, 0};
    if (::poll(&waiting, 1, timeoutMs) <= 0)
        return std::nullopt;
    std::vector<char> buffer(70000);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = ::recvfrom(socket, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0)
        return std::nullopt;
    char sender[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
    return SocketDatagram{std::string(buffer.data(), static_cast<std::size_t>(n)), sender,
                          ntohs(from.sin_port)};
}

int loopbackInterfaceIndex()
{
    return static_cast<int>(if_nametoindex("lo"));
}

} // namespace nimbrel::testing
