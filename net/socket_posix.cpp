// The endpoint's socket calls on Linux: recvmmsg for batches, IP_PKTINFO on sendmsg/recvmsg,
// getifaddrs, poll and eventfd.

#include "net/socket_layer.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nimbrel::os {

namespace {

// The receiving thread's time slice: the shortest Linux grants.
constexpr std::uint64_t kReceiverSliceNs = 100'000;

[[noreturn]] void throwErrno(int error)
{
    throw NetworkError(std::strerror(error));
}

int descriptor(SocketHandle socket)
{
    return static_cast<int>(socket);
}

void enlargeReceiveBuffer(int fd, int wanted)
{
    int size = wanted;
    // SO_RCVBUFFORCE goes past the system limit when we are privileged; otherwise take the limit.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

int arrivalInterface(msghdr& message)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            return info.ipi_ifindex;
        }
    }
    return 0;
}

// A thread with a short time slice preempts a busy one as soon as it wakes (Linux 6.12 and later,
// no privilege needed): the receiving thread then reads a burst while it arrives instead of
// waiting for the window's thread, or another program, to use up its slice. Older kernels refuse
// or ignore it, and the thread keeps the normal slice.
void askForShortSlice()
{
    // The kernel's struct sched_attr (its first version, 48 bytes); glibc does not declare it.
    struct {
        std::uint32_t size;
        std::uint32_t sched_policy;
        std::uint64_t sched_flags;
        std::int32_t sched_nice;
        std::uint32_t sched_priority;
        std::uint64_t sched_runtime;
        std::uint64_t sched_deadline;
        std::uint64_t sched_period;
    } attributes{};
    attributes.size = sizeof attributes;
    attributes.sched_policy = SCHED_OTHER;
    attributes.sched_runtime = kReceiverSliceNs;
    ::syscall(SYS_sched_setattr, 0, &attributes, 0u);
}

} // namespace

SocketHandle openBoundSocket(std::uint32_t address, std::uint16_t port, int wanted_receive_buffer)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throwErrno(errno);

    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    enlargeReceiveBuffer(fd, wanted_receive_buffer);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE)
            throw NetworkError("Could not bind socket. Address and port are already in use.");
        throw NetworkError(std::string("Could not bind socket. ") + std::strerror(error));
    }
    return fd;
}

void closeSocket(SocketHandle socket)
{
    ::close(descriptor(socket));
}

int receiveBufferSize(SocketHandle socket)
{
    int size = 0;
    socklen_t length = sizeof size;
    if (getsockopt(descriptor(socket), SOL_SOCKET, SO_RCVBUF, &size, &length) != 0)
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
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;

    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (interface_index > 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = interface_index;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    if (::sendmsg(descriptor(socket), &message, 0) < 0)
        throwErrno(errno);
}

std::uint32_t parseHost(const std::string& host)
{
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1)
        throw NetworkError("Invalid address " + host);
    return ntohl(address.s_addr);
}

std::vector<BroadcastInterface> broadcastInterfaces()
{
    std::vector<BroadcastInterface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(flags & IFF_UP) || !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK))
            continue;
        const unsigned index = if_nametoindex(entry->ifa_name);
        if (index == 0)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        interfaces.push_back({static_cast<int>(index), entry->ifa_name, text});
    }
    freeifaddrs(list);
    return interfaces;
}

struct Signal::Native {
    int fd = -1;
};

Signal::Signal() : native_(std::make_unique<Native>())
{
    native_->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Signal::~Signal()
{
    if (native_->fd >= 0)
        ::close(native_->fd);
}

bool Signal::isValid() const
{
    return native_->fd >= 0;
}

void Signal::raise()
{
    const std::uint64_t one = 1;
    // Only fails when the counter is about to overflow, and then a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(native_->fd, &one, sizeof one);
}

void Signal::clear()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(native_->fd, &count, sizeof count);
}

std::unique_ptr<QObject> Signal::watch(QObject* context, std::function<void()> on_raised)
{
    auto notifier = std::make_unique<QSocketNotifier>(native_->fd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, context,
                     [on_raised = std::move(on_raised)] { on_raised(); });
    return notifier;
}

WaitResult waitForDatagram(SocketHandle socket, const Signal& stop, int timeout_ms)
{
    pollfd waiting[] = {{descriptor(socket), POLLIN, 0}, {stop.native().fd, POLLIN, 0}};
    if (::poll(waiting, 2, timeout_ms) <= 0)
        return WaitResult::TimedOut;
    if (waiting[1].revents & POLLIN)
        return WaitResult::Stopped;
    return WaitResult::Readable;
}

void prepareReceivingThread(const char* name)
{
    pthread_setname_np(pthread_self(), name);
    askForShortSlice();
}

// One recvmmsg() call's worth of datagrams.
struct DatagramReader::Buffers {
    Buffers()
    {
        for (int i = 0; i < kBatchSize; ++i)
            parts[i] = {data[i], sizeof data[i]};
    }

    // The kernel shortens the address and control lengths it fills in; each call starts afresh.
    void prepare()
    {
        for (int i = 0; i < kBatchSize; ++i) {
            msghdr& message = headers[i].msg_hdr;
            message = msghdr{};
            message.msg_name = &from[i];
            message.msg_namelen = sizeof from[i];
            message.msg_iov = &parts[i];
            message.msg_iovlen = 1;
            message.msg_control = control[i];
            message.msg_controllen = sizeof control[i];
            headers[i].msg_len = 0;
        }
    }

    char data[kBatchSize][kMaxDatagramSize];
    alignas(cmsghdr) char control[kBatchSize][CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from[kBatchSize];
    char sender[kBatchSize][INET_ADDRSTRLEN];
    iovec parts[kBatchSize];
    mmsghdr headers[kBatchSize];
    Slot slots[kBatchSize];
};

// Half a megabyte: on the heap, not on the receiving thread's stack.
DatagramReader::DatagramReader() : buffers_(std::make_unique<Buffers>()) {}

DatagramReader::~DatagramReader() = default;

int DatagramReader::read(SocketHandle socket)
{
    Buffers& b = *buffers_;
    int count = 0;
    do {
        b.prepare();
        count = ::recvmmsg(descriptor(socket), b.headers, kBatchSize, MSG_DONTWAIT, nullptr);
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    for (int i = 0; i < count; ++i) {
        msghdr& message = b.headers[i].msg_hdr;
        Slot& slot = b.slots[i];
        slot = Slot{};
        // A datagram longer than the buffer arrives cut; it is reported as too long instead.
        if (message.msg_flags & MSG_TRUNC) {
            slot.outcome = Outcome::TooLong;
            continue;
        }
        if (b.from[i].sin_family != AF_INET)
            continue;
        inet_ntop(AF_INET, &b.from[i].sin_addr, b.sender[i], sizeof b.sender[i]);
        slot = {Outcome::Received, std::string_view(b.data[i], b.headers[i].msg_len),
                std::string_view(b.sender[i]), arrivalInterface(message)};
    }
    return count;
}

const DatagramReader::Slot& DatagramReader::slot(int i) const
{
    return buffers_->slots[i];
}

} // namespace nimbrel::os
