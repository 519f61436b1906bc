#include "vlan_env.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace nimbrel::bench {

int socketInNamespace(const std::string& netns, int domain, int type, int protocol)
{
    const int self = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open(("/var/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
    if (self < 0 || target < 0 || ::setns(target, CLONE_NEWNET) != 0) {
        ::close(self);
        ::close(target);
        throw std::runtime_error("cannot enter namespace " + netns);
    }
    // setns moved this thread only; it goes back before anything else can run here.
    const int fd = ::socket(domain, type, protocol);
    const bool back = ::setns(self, CLONE_NEWNET) == 0;
    ::close(self);
    ::close(target);
    if (!back)
        throw std::runtime_error("cannot return from namespace " + netns);
    if (fd < 0)
        throw std::runtime_error("cannot open a socket in namespace " + netns);
    return fd;
}

int ownSocketBoundTo(std::uint16_t port)
{
    DIR* directory = ::opendir("/proc/self/fd");
    if (directory == nullptr)
        return -1;
    int found = -1;
    while (const dirent* entry = ::readdir(directory)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in local{};
        socklen_t length = sizeof local;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (fd <= 2 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
            local.sin_family != AF_INET || ntohs(local.sin_port) != port ||
            ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM)
            continue;
        found = fd;
        break;
    }
    ::closedir(directory);
    return found;
}

} // namespace nimbrel::bench
