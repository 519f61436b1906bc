// The test kit's sockets on Windows: Winsock 2, blocking sockets, select() for the waits.

// winsock2.h must come before windows.h, and both before the IP helper's headers.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include "udp_socket.h"

#include <mutex>
#include <stdexcept>
#include <vector>

namespace nimbrel::testing {

namespace {

// Not declared by every MinGW-w64 release: on a UDP socket, stops an ICMP "port unreachable"
// for an earlier send from failing the next receive with WSAECONNRESET, as POSIX never does.
constexpr DWORD kUdpConnectionReset = _WSAIOW(IOC_VENDOR, 12);

SOCKET native(UdpSocketHandle socket)
{
    return static_cast<SOCKET>(socket);
}

// Winsock needs starting once per process before the first socket; it stays up until exit.
void startWinsock()
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
    });
}

} // namespace

sockaddr_in loopbackAddress(const std::string& host, std::uint16_t port)
{
    startWinsock();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
        (ntohl(address.sin_addr.s_addr) >> 24) != 127)
        throw std::invalid_argument("tests stay on loopback: " + host);
    return address;
}

UdpSocketHandle boundUdpSocket(const std::string& address, std::uint16_t port, int flags)
{
    if (flags != 0)
        throw std::invalid_argument("Windows sockets take no type flags");
    startWinsock();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
        throw std::invalid_argument("not an IPv4 address: " + address);
    const SOCKET socket =
        WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET ||
        ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port));
    }
    BOOL report_reset = FALSE;
    DWORD returned = 0;
    WSAIoctl(socket, kUdpConnectionReset, &report_reset, sizeof report_reset, nullptr, 0, &returned,
             nullptr, nullptr);
    return static_cast<UdpSocketHandle>(socket);
}

void closeUdpSocket(UdpSocketHandle socket)
{
    closesocket(native(socket));
}

std::uint16_t boundPort(UdpSocketHandle socket)
{
    sockaddr_in local{};
    int length = sizeof local;
    ::getsockname(native(socket), reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

bool sendToLoopback(UdpSocketHandle socket, std::string_view bytes, const std::string& host,
                    std::uint16_t port)
{
    const sockaddr_in to = loopbackAddress(host, port);
    const int sent = ::sendto(native(socket), bytes.data(), static_cast<int>(bytes.size()), 0,
                              reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<int>(bytes.size());
}

std::optional<SocketDatagram> receiveWithin(UdpSocketHandle socket, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(socket), &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (::select(0, &readable, nullptr, nullptr, &timeout) <= 0)
        return std::nullopt;
    std::vector<char> buffer(70000);
    sockaddr_in from{};
    int length = sizeof from;
    const int n = ::recvfrom(native(socket), buffer.data(), static_cast<int>(buffer.size()), 0,
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
    ULONG size = 16 * 1024;
    std::vector<char> buffer(size);
    if (GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                             reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                             &size) != NO_ERROR)
        return 0;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next)
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            return static_cast<int>(adapter->IfIndex);
    return 0;
}

} // namespace nimbrel::testing
