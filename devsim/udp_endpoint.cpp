#include "devsim/udp_endpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace nimbrel::devsim {

namespace {

constexpr int buffer_bytes = 8 * 1024 * 1024;
constexpr std::size_t batch_size = 256;

int descriptor(std::intptr_t socket)
{
    return static_cast<int>(socket);
}

// Forcing needs CAP_NET_ADMIN; without it the size is capped by net.core.*mem_max.
void enlarge_buffer(int fd, int force_option, int option)
{
    if (setsockopt(fd, SOL_SOCKET, force_option, &buffer_bytes, sizeof buffer_bytes) != 0) {
        setsockopt(fd, SOL_SOCKET, option, &buffer_bytes, sizeof buffer_bytes);
    }
}

sockaddr_in socket_address(AddressValue address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

std::string errno_text(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// One message with its own address and IP_PKTINFO control block, laid out for sendmmsg.
struct OutgoingMessage {
    sockaddr_in to{};
    iovec iov{};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))]{};

    void fill(const Reply& reply, mmsghdr& header)
    {
        to = socket_address(reply.to, reply.to_port);
        iov.iov_base = const_cast<char*>(reply.bytes.data());
        iov.iov_len = reply.bytes.size();
        header = {};
        header.msg_hdr.msg_name = &to;
        header.msg_hdr.msg_namelen = sizeof to;
        header.msg_hdr.msg_iov = &iov;
        header.msg_hdr.msg_iovlen = 1;
        header.msg_hdr.msg_control = control;
        header.msg_hdr.msg_controllen = sizeof control;
        cmsghdr* cmsg = CMSG_FIRSTHDR(&header.msg_hdr);
        cmsg->cmsg_level = IPPROTO_IP;
        cmsg->cmsg_type = IP_PKTINFO;
        cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = htonl(reply.from);
        std::memcpy(CMSG_DATA(cmsg), &info, sizeof info);
    }
};

} // namespace

std::unique_ptr<UdpEndpoint> UdpEndpoint::open(AddressValue bind_address, std::uint16_t port,
                                               std::string& error, bool share_port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno_text("socket");
        return nullptr;
    }
    std::unique_ptr<UdpEndpoint> endpoint(new UdpEndpoint(fd));
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        error = errno_text("setsockopt");
        return nullptr;
    }
    if (share_port && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        error = errno_text("setsockopt");
        return nullptr;
    }
    enlarge_buffer(fd, SO_RCVBUFFORCE, SO_RCVBUF);
    enlarge_buffer(fd, SO_SNDBUFFORCE, SO_SNDBUF);
    const sockaddr_in sa = socket_address(bind_address, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = errno_text("bind");
        return nullptr;
    }
    return endpoint;
}

UdpEndpoint::~UdpEndpoint()
{
    close(descriptor(socket_));
}

UdpEndpoint::Wake UdpEndpoint::wait(const StopSignals& stop, int timeout_ms,
                                    std::string& error) const
{
    pollfd fds[] = {{descriptor(socket_), POLLIN, 0}, {static_cast<int>(stop.handle()), POLLIN, 0}};
    if (poll(fds, 2, timeout_ms) < 0 && errno != EINTR) {
        error = errno_text("poll");
        return Wake::Failed;
    }
    if (fds[1].revents & POLLIN) {
        return Wake::Stop;
    }
    return (fds[0].revents & POLLIN) ? Wake::Datagram : Wake::Timeout;
}

bool UdpEndpoint::receive(ReceivedDatagram& datagram)
{
    sockaddr_in from{};
    iovec iov{buffer_.data(), buffer_.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t size = recvmsg(descriptor(socket_), &msg, MSG_DONTWAIT);
    if (size < 0) {
        return false;
    }
    datagram.bytes.assign(buffer_.data(), static_cast<std::size_t>(size));
    datagram.sender = ntohl(from.sin_addr.s_addr);
    datagram.sender_port = ntohs(from.sin_port);
    datagram.destination = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            datagram.destination = ntohl(info.ipi_addr.s_addr);
        }
    }
    return true;
}

std::size_t UdpEndpoint::send(const std::vector<Reply>& replies, std::chrono::microseconds delay,
                              std::string& error)
{
    std::size_t failed = 0;
    const std::size_t step = delay.count() > 0 ? 1 : batch_size;
    for (std::size_t start = 0; start < replies.size(); start += step) {
        if (start > 0 && delay.count() > 0) {
            std::this_thread::sleep_for(delay);
        }
        const auto count = std::min(step, replies.size() - start);
        failed += send_batch(replies.data() + start, count, error);
    }
    return failed;
}

std::size_t UdpEndpoint::send_batch(const Reply* replies, std::size_t count, std::string& error)
{
    std::vector<OutgoingMessage> messages(count);
    std::vector<mmsghdr> headers(count);
    for (std::size_t i = 0; i < count; ++i) {
        messages[i].fill(replies[i], headers[i]);
    }
    std::size_t failed = 0;
    std::size_t done = 0;
    while (done < count) {
        const int sent = sendmmsg(descriptor(socket_), headers.data() + done,
                                  static_cast<unsigned>(count - done), 0);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        // Skip the message that failed so one bad source address cannot stall the rest.
        if (failed++ == 0 && error.empty()) {
            error = errno_text(("send from " + int_to_ip(replies[done].from)).c_str());
        }
        ++done;
    }
    return failed;
}

} // namespace nimbrel::devsim
