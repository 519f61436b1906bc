#include "udp_socket.h"

// sockaddr_in, which loopbackAddress() returns.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

#include <stdexcept>

namespace nimbrel::testing {

namespace {

bool canBind(const std::string& host, std::uint16_t port)
{
    try {
        closeUdpSocket(loopbackUdpSocket(host, port));
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace

UdpSocketHandle loopbackUdpSocket(const std::string& address, std::uint16_t port, int flags)
{
    loopbackAddress(address, port); // throws for any other address
    return boundUdpSocket(address, port, flags);
}

std::uint16_t freeLoopbackPort()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const UdpSocketHandle probe = loopbackUdpSocket("127.0.0.1");
        const std::uint16_t port = boundPort(probe);
        closeUdpSocket(probe);
        bool free = port != 12340;
        for (const char* host : {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"})
            free = free && canBind(host, port);
        if (free)
            return port;
    }
    throw std::runtime_error("no free loopback port");
}

std::string seenSenderOf(const std::string& address)
{
    const UdpSocketHandle from = loopbackUdpSocket(address);
    const UdpSocketHandle to = loopbackUdpSocket("127.0.0.1");
    sendToLoopback(from, "sender probe", "127.0.0.1", boundPort(to));
    const auto datagram = receiveWithin(to, 2000);
    closeUdpSocket(from);
    closeUdpSocket(to);
    if (!datagram)
        throw std::runtime_error("the sender probe from " + address + " did not arrive");
    return datagram->sender;
}

} // namespace nimbrel::testing
