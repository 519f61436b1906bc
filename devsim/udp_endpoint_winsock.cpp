// The simulator's socket on Windows: WSARecvMsg reports the address a datagram was sent to,
// WSASendMsg sets each reply's source address through IP_PKTINFO. Winsock has no batched send,
// so a batch is a loop of single sends.

// winsock2.h must come before windows.h, which Qt's headers include.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>
// clang-format on

#include "devsim/udp_endpoint.h"

#include <cstring>
#include <thread>

namespace nimbrel::devsim {

namespace {

constexpr int buffer_bytes = 8 * 1024 * 1024;

SOCKET native(std::intptr_t socket)
{
    return static_cast<SOCKET>(socket);
}

WSAEVENT event_of(std::intptr_t event)
{
    return reinterpret_cast<WSAEVENT>(event);
}

std::string error_text(const std::string& what)
{
    return what + ": Winsock error " + std::to_string(WSAGetLastError());
}

sockaddr_in socket_address(AddressValue address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

LPFN_WSARECVMSG recv_msg_function(SOCKET socket)
{
    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG function = nullptr;
    DWORD returned = 0;
    if (WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
                 sizeof function, &returned, nullptr, nullptr) != 0) {
        return nullptr;
    }
    return function;
}

bool set_flag(SOCKET socket, int level, int option)
{
    const BOOL on = TRUE;
    return setsockopt(socket, level, option, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

} // namespace

std::unique_ptr<UdpEndpoint> UdpEndpoint::open(AddressValue bind_address, std::uint16_t port,
                                               std::string& error, bool share_port)
{
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "WSAStartup failed";
        return nullptr;
    }
    const SOCKET socket = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        error = error_text("socket");
        return nullptr;
    }
    std::unique_ptr<UdpEndpoint> endpoint(new UdpEndpoint(static_cast<std::intptr_t>(socket)));
    if (!set_flag(socket, SOL_SOCKET, SO_BROADCAST) || !set_flag(socket, IPPROTO_IP, IP_PKTINFO)) {
        error = error_text("setsockopt");
        return nullptr;
    }
    // Without exclusive use Windows would let a second simulator take the port over.
    if (!set_flag(socket, SOL_SOCKET, share_port ? SO_REUSEADDR : SO_EXCLUSIVEADDRUSE)) {
        error = error_text("setsockopt");
        return nullptr;
    }
    for (const int option : {SO_RCVBUF, SO_SNDBUF}) {
        setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&buffer_bytes),
                   sizeof buffer_bytes);
    }
    const sockaddr_in sa = socket_address(bind_address, port);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = error_text("bind");
        return nullptr;
    }
    // The event also makes the socket non-blocking, which receive() relies on.
    const WSAEVENT readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT) {
        error = error_text("WSACreateEvent");
        return nullptr;
    }
    endpoint->readable_ = reinterpret_cast<std::intptr_t>(readable);
    if (WSAEventSelect(socket, readable, FD_READ) != 0) {
        error = error_text("WSAEventSelect");
        return nullptr;
    }
    return endpoint;
}

UdpEndpoint::~UdpEndpoint()
{
    closesocket(native(socket_));
    if (readable_ != -1) {
        WSACloseEvent(event_of(readable_));
    }
}

UdpEndpoint::Wake UdpEndpoint::wait(const StopSignals& stop, int timeout_ms,
                                    std::string& error) const
{
    const WSAEVENT events[] = {event_of(stop.handle()), event_of(readable_)};
    const DWORD timeout = timeout_ms < 0 ? WSA_INFINITE : static_cast<DWORD>(timeout_ms);
    const DWORD woken = WSAWaitForMultipleEvents(2, events, FALSE, timeout, FALSE);
    if (woken == WSA_WAIT_FAILED) {
        error = error_text("WSAWaitForMultipleEvents");
        return Wake::Failed;
    }
    if (woken == WSA_WAIT_EVENT_0) {
        return Wake::Stop;
    }
    if (woken == WSA_WAIT_EVENT_0 + 1) {
        // Cleared before the reads: a datagram that comes during them signals it again.
        WSAResetEvent(event_of(readable_));
        return Wake::Datagram;
    }
    return Wake::Timeout;
}

bool UdpEndpoint::receive(ReceivedDatagram& datagram)
{
    // The simulator has one socket; its provider hands out one function for the whole run.
    static const LPFN_WSARECVMSG recv_msg = recv_msg_function(native(socket_));
    if (recv_msg == nullptr) {
        return false;
    }
    sockaddr_in from{};
    WSABUF part{static_cast<ULONG>(buffer_.size()), buffer_.data()};
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
    WSAMSG msg{};
    msg.name = reinterpret_cast<sockaddr*>(&from);
    msg.namelen = sizeof from;
    msg.lpBuffers = &part;
    msg.dwBufferCount = 1;
    msg.Control = {sizeof control, control};
    DWORD size = 0;
    if (recv_msg(native(socket_), &msg, &size, nullptr, nullptr) != 0) {
        return false;
    }
    datagram.bytes.assign(buffer_.data(), size);
    datagram.sender = ntohl(from.sin_addr.s_addr);
    datagram.sender_port = ntohs(from.sin_port);
    datagram.destination = 0;
    for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&msg); c; c = WSA_CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            IN_PKTINFO info;
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            datagram.destination = ntohl(info.ipi_addr.s_addr);
        }
    }
    return true;
}

std::size_t UdpEndpoint::send(const std::vector<Reply>& replies, std::chrono::microseconds delay,
                              std::string& error)
{
    std::size_t failed = 0;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        if (i > 0 && delay.count() > 0) {
            std::this_thread::sleep_for(delay);
        }
        failed += send_batch(&replies[i], 1, error);
    }
    return failed;
}

std::size_t UdpEndpoint::send_batch(const Reply* replies, std::size_t count, std::string& error)
{
    std::size_t failed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Reply& reply = replies[i];
        sockaddr_in to = socket_address(reply.to, reply.to_port);
        WSABUF part{static_cast<ULONG>(reply.bytes.size()), const_cast<char*>(reply.bytes.data())};
        alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
        WSAMSG msg{};
        msg.name = reinterpret_cast<sockaddr*>(&to);
        msg.namelen = sizeof to;
        msg.lpBuffers = &part;
        msg.dwBufferCount = 1;
        msg.Control = {sizeof control, control};
        WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
        IN_PKTINFO info{};
        info.ipi_addr.s_addr = htonl(reply.from);
        std::memcpy(WSA_CMSG_DATA(c), &info, sizeof info);
        DWORD sent = 0;
        if (WSASendMsg(native(socket_), &msg, 0, &sent, nullptr, nullptr) != 0) {
            // Skip the message that failed so one bad source address cannot stall the rest.
            if (failed++ == 0 && error.empty()) {
                error = error_text("send from " + int_to_ip(reply.from));
            }
        }
    }
    return failed;
}

} // namespace nimbrel::devsim
