// The endpoint's socket calls on Windows: Winsock 2 with WSARecvMsg/WSASendMsg for IP_PKTINFO,
// GetAdaptersAddresses for the interfaces, and event objects for the waits. Winsock has no batched
// receive, so a batch is a loop of WSARecvMsg until the socket is empty.

// winsock2.h must come before windows.h, which Qt's headers include, and both before the IP
// helper's headers.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include "net/socket_layer.h"

#include <QWinEventNotifier>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace nimbrel::os {

namespace {

// Not declared by every MinGW-w64 release: on a UDP socket, stops an ICMP "port unreachable"
// for an earlier send from failing the next receive with WSAECONNRESET.
constexpr DWORD kUdpConnectionReset = _WSAIOW(IOC_VENDOR, 12);

SOCKET native(SocketHandle socket)
{
    return static_cast<SOCKET>(socket);
}

// The system's text for a Winsock error, without the line end Windows puts after it.
std::string errorText(int error)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        text = "Winsock error " + std::to_string(error);
    return text;
}

[[noreturn]] void throwError(int error)
{
    throw NetworkError(errorText(error));
}

// Winsock needs starting once per process before the first socket; it stays up until exit.
void startWinsock()
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0)
            throwError(error);
    });
}

// WSARecvMsg is reached through a function pointer each socket provider hands out.
LPFN_WSARECVMSG recvMsgFunction(SOCKET socket)
{
    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG function = nullptr;
    DWORD returned = 0;
    if (WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
                 sizeof function, &returned, nullptr, nullptr) != 0)
        return nullptr;
    return function;
}

// The adapter's name as the user sees it ("Wi-Fi", "Ethernet 2"), in the system's 8-bit code page;
// AdapterName is a GUID.
std::string narrowName(const wchar_t* name)
{
    if (name == nullptr)
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size - 1));
    return narrow;
}

int arrivalInterface(WSAMSG& message)
{
    for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c != nullptr;
         c = WSA_CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            IN_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            return static_cast<int>(info.ipi_ifindex);
        }
    }
    return 0;
}

// Each socket keeps the event its reads signal, so a wait needs no setting up.
struct SocketEvents {
    std::mutex mutex;
    std::vector<std::pair<SOCKET, WSAEVENT>> events;

    void add(SOCKET socket, WSAEVENT event)
    {
        const std::lock_guard lock(mutex);
        events.emplace_back(socket, event);
    }
    WSAEVENT find(SOCKET socket)
    {
        const std::lock_guard lock(mutex);
        for (const auto& [s, e] : events)
            if (s == socket)
                return e;
        return WSA_INVALID_EVENT;
    }
    WSAEVENT remove(SOCKET socket)
    {
        const std::lock_guard lock(mutex);
        for (auto it = events.begin(); it != events.end(); ++it) {
            if (it->first == socket) {
                const WSAEVENT event = it->second;
                events.erase(it);
                return event;
            }
        }
        return WSA_INVALID_EVENT;
    }
};

SocketEvents& socketEvents()
{
    static SocketEvents events;
    return events;
}

} // namespace

SocketHandle openBoundSocket(std::uint32_t address, std::uint16_t port, int wanted_receive_buffer)
{
    startWinsock();
    const SOCKET socket = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        throwError(WSAGetLastError());

    // Without exclusive use Windows lets a later socket that asks for reuse take over the port.
    const BOOL on = TRUE;
    const auto option = [](const BOOL& value) { return reinterpret_cast<const char*>(&value); };
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, option(on), sizeof on);
    setsockopt(socket, SOL_SOCKET, SO_BROADCAST, option(on), sizeof on);
    setsockopt(socket, IPPROTO_IP, IP_PKTINFO, option(on), sizeof on);
    const int size = wanted_receive_buffer;
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    BOOL report_reset = FALSE;
    DWORD returned = 0;
    WSAIoctl(socket, kUdpConnectionReset, &report_reset, sizeof report_reset, nullptr, 0, &returned,
             nullptr, nullptr);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(address);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = WSAGetLastError();
        closesocket(socket);
        if (error == WSAEADDRINUSE)
            throw NetworkError("Could not bind socket. Address and port are already in use.");
        throw NetworkError("Could not bind socket. " + errorText(error));
    }

    // The event also makes the socket non-blocking, which the batched reads rely on.
    const WSAEVENT readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT || WSAEventSelect(socket, readable, FD_READ) != 0) {
        const int error = WSAGetLastError();
        if (readable != WSA_INVALID_EVENT)
            WSACloseEvent(readable);
        closesocket(socket);
        throwError(error);
    }
    socketEvents().add(socket, readable);
    return static_cast<SocketHandle>(socket);
}

void closeSocket(SocketHandle socket)
{
    closesocket(native(socket));
    if (const WSAEVENT event = socketEvents().remove(native(socket)); event != WSA_INVALID_EVENT)
        WSACloseEvent(event);
}

int receiveBufferSize(SocketHandle socket)
{
    int size = 0;
    int length = sizeof size;
    if (getsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size),
                   &length) != 0)
        return 0;
    return size;
}

void sendDatagram(SocketHandle socket, std::string_view bytes, std::uint32_t address,
                  std::uint16_t port, int interface_index)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    WSABUF part{static_cast<ULONG>(bytes.size()), const_cast<char*>(bytes.data())};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&to);
    message.namelen = sizeof to;
    message.lpBuffers = &part;
    message.dwBufferCount = 1;

    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    if (interface_index > 0) {
        message.Control = {sizeof control, control};
        WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
        IN_PKTINFO info{};
        info.ipi_ifindex = static_cast<ULONG>(interface_index);
        std::memcpy(WSA_CMSG_DATA(c), &info, sizeof info);
    }
    DWORD sent = 0;
    if (WSASendMsg(native(socket), &message, 0, &sent, nullptr, nullptr) != 0)
        throwError(WSAGetLastError());
}

std::uint32_t parseHost(const std::string& host)
{
    startWinsock(); // the address conversions are Winsock's too
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1)
        throw NetworkError("Invalid address " + host);
    return ntohl(address.s_addr);
}

std::vector<BroadcastInterface> broadcastInterfaces()
{
    startWinsock();
    std::vector<BroadcastInterface> interfaces;
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list can grow between the call that sizes it and the call that fills it.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR)
        return interfaces;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        // Windows has no broadcast flag: loopback and tunnels are the adapters that cannot.
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            adapter->IfType == IF_TYPE_TUNNEL)
            continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
            interfaces.push_back(
                {static_cast<int>(adapter->IfIndex), narrowName(adapter->FriendlyName), text});
        }
    }
    return interfaces;
}

struct Signal::Native {
    HANDLE event = nullptr;
};

// Manual reset: raised stays raised until cleared, like the POSIX event counter.
Signal::Signal() : native_(std::make_unique<Native>())
{
    native_->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Signal::~Signal()
{
    if (native_->event != nullptr)
        CloseHandle(native_->event);
}

bool Signal::isValid() const
{
    return native_->event != nullptr;
}

void Signal::raise()
{
    SetEvent(native_->event);
}

void Signal::clear()
{
    ResetEvent(native_->event);
}

std::unique_ptr<QObject> Signal::watch(QObject* context, std::function<void()> on_raised)
{
    auto notifier = std::make_unique<QWinEventNotifier>(native_->event);
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, context,
                     [on_raised = std::move(on_raised)] { on_raised(); });
    return notifier;
}

WaitResult waitForDatagram(SocketHandle socket, const Signal& stop, int timeout_ms)
{
    const WSAEVENT readable = socketEvents().find(native(socket));
    const WSAEVENT events[] = {readable, stop.native().event};
    const DWORD woken =
        WSAWaitForMultipleEvents(2, events, FALSE, static_cast<DWORD>(timeout_ms), FALSE);
    if (woken == WSA_WAIT_EVENT_0 + 1)
        return WaitResult::Stopped;
    if (woken != WSA_WAIT_EVENT_0)
        return WaitResult::TimedOut;
    // Cleared before the reads: a datagram that comes during them signals it again.
    WSAResetEvent(readable);
    return WaitResult::Readable;
}

void prepareReceivingThread(const char* name)
{
    // SetThreadDescription exists from Windows 10 1607 on; older systems and Wine may lack it.
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (describe == nullptr)
        return;
    std::wstring wide(name, name + std::strlen(name));
    describe(GetCurrentThread(), wide.c_str());
}

struct DatagramReader::Buffers {
    char data[kBatchSize][kMaxDatagramSize];
    alignas(WSACMSGHDR) char control[kBatchSize][WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
    sockaddr_in from[kBatchSize];
    char sender[kBatchSize][INET_ADDRSTRLEN];
    Slot slots[kBatchSize];
    SOCKET socket = INVALID_SOCKET;
    LPFN_WSARECVMSG recvMsg = nullptr;
};

DatagramReader::DatagramReader() : buffers_(std::make_unique<Buffers>()) {}

DatagramReader::~DatagramReader() = default;

int DatagramReader::read(SocketHandle socket)
{
    Buffers& b = *buffers_;
    if (b.socket != native(socket)) {
        b.socket = native(socket);
        b.recvMsg = recvMsgFunction(b.socket);
    }
    if (b.recvMsg == nullptr)
        return -1;
    int count = 0;
    while (count < kBatchSize) {
        const int i = count;
        WSABUF part{sizeof b.data[i], b.data[i]};
        WSAMSG message{};
        message.name = reinterpret_cast<sockaddr*>(&b.from[i]);
        message.namelen = sizeof b.from[i];
        message.lpBuffers = &part;
        message.dwBufferCount = 1;
        message.Control = {sizeof b.control[i], b.control[i]};
        DWORD received = 0;
        Slot& slot = b.slots[i];
        slot = Slot{};
        if (b.recvMsg(b.socket, &message, &received, nullptr, nullptr) != 0) {
            const int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK)
                break;
            // Winsock reports a datagram longer than the buffer as an error, not as a flag.
            if (error == WSAEMSGSIZE) {
                slot.outcome = Outcome::TooLong;
                ++count;
                continue;
            }
            if (error == WSAEINTR)
                continue;
            return count > 0 ? count : -1;
        }
        ++count;
        if (b.from[i].sin_family != AF_INET)
            continue;
        inet_ntop(AF_INET, &b.from[i].sin_addr, b.sender[i], sizeof b.sender[i]);
        slot = {Outcome::Received, std::string_view(b.data[i], received),
                std::string_view(b.sender[i]), arrivalInterface(message)};
    }
    return count;
}

const DatagramReader::Slot& DatagramReader::slot(int i) const
{
    return buffers_->slots[i];
}

} // namespace nimbrel::os
