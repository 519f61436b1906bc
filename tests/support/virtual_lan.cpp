#include "virtual_lan.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace nimbrel::testing {

std::string vlanVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string("not inside the virtual LAN: ") + name + " unset");
    return value;
}

bool insideToolNamespace()
{
    const char* variable = std::getenv("NIMBREL_TOOL_NS");
    const std::string tool = variable == nullptr ? std::string() : std::string(variable);
    struct stat self {};
    struct stat wanted {};
    return !tool.empty() && ::stat("/proc/self/ns/net", &self) == 0 &&
           ::stat(("/var/run/netns/" + tool).c_str(), &wanted) == 0 &&
           self.st_dev == wanted.st_dev && self.st_ino == wanted.st_ino;
}

bool requireToolNamespace()
{
    if (!insideToolNamespace())
        throw std::runtime_error("not inside the virtual LAN's tool namespace: refusing to bind "
                                 "port 12340 or broadcast here");
    return true;
}

std::optional<UdpSocketState> udpSocketState(std::uint16_t port)
{
    // thread-self: a thread that entered another namespace reads that namespace's table.
    std::ifstream table("/proc/thread-self/net/udp");
    std::string line;
    std::getline(table, line); // the column names
    while (std::getline(table, line)) {
        // sl local_address rem_address st tx_queue:rx_queue tr:when retrnsmt uid timeout inode
        // ref pointer drops
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, word, last;
        fields >> slot >> local >> remote >> state >> queues;
        const auto colon = local.find(':');
        if (colon == std::string::npos || std::stoul(local.substr(colon + 1), nullptr, 16) != port)
            continue;
        while (fields >> word)
            last = word;
        UdpSocketState socket;
        socket.receiveQueueBytes = std::stoull(queues.substr(queues.find(':') + 1), nullptr, 16);
        socket.drops = std::stoull(last);
        return socket;
    }
    return std::nullopt;
}

} // namespace nimbrel::testing
