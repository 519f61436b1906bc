#include "socket_watch.h"

#include <fstream>
#include <sstream>
#include <string>

namespace nimbrel::testing {

std::optional<SocketState> udpSocketState(std::uint16_t port)
{
    std::ifstream table("/proc/thread-self/net/udp");
    std::string line;
    std::getline(table, line); // the header
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
        SocketState socket;
        socket.queuedBytes = std::stoull(queues.substr(queues.find(':') + 1), nullptr, 16);
        socket.drops = std::stoull(last);
        return socket;
    }
    return std::nullopt;
}

} // namespace nimbrel::testing
