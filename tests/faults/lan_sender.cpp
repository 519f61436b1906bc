#include "lan_sender.h"

#include "namespace_tools.h"

#include <arpa/inet.h>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::testing {

namespace {

// A socket stays in the namespace it was made in: the thread steps into the LAN to make it.
int socketIn(const QString& name)
{
    const int self = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target =
        ::open(qPrintable(QStringLiteral("/var/run/netns/") + name), O_RDONLY | O_CLOEXEC);
    if (self < 0 || target < 0 || ::setns(target, CLONE_NEWNET) != 0) {
        ::close(self);
        ::close(target);
        throw std::runtime_error("cannot enter namespace " + name.toStdString());
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool back = ::setns(self, CLONE_NEWNET) == 0;
    ::close(self);
    ::close(target);
    if (!back)
        throw std::runtime_error("cannot return to the tool namespace");
    if (fd < 0)
        throw std::runtime_error("cannot open a socket in " + name.toStdString());
    return fd;
}

} // namespace

LanSender::LanSender(int lan)
    : socket_(socketIn(lanNamespace(lan))),
      tool_(ip_to_int(vlanVariable(qPrintable(QStringLiteral("NIMBREL_LAN%1_TOOL_ADDR").arg(lan)))))
{}

LanSender::~LanSender()
{
    ::close(socket_);
}

bool LanSender::send(const std::string& bytes, AddressValue from) const
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(12340);
    to.sin_addr.s_addr = htonl(tool_);
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // The source address rides in IP_PKTINFO, so no socket per device is needed.
    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(from);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    return ::sendmsg(socket_, &message, 0) == static_cast<ssize_t>(bytes.size());
}

} // namespace nimbrel::testing
