#pragma once
// The virtual LAN as a benchmark sees it from inside the tool namespace: its variables, sockets in
// the other namespaces, and the kernel's view of a UDP socket.

#include <cstdint>
#include <optional>
#include <string>

namespace nimbrel::bench {

// A NIMBREL_* variable of scripts/vlan; throws when it is missing.
std::string vlanVariable(const std::string& name);

// Throws unless this process runs in the virtual LAN's tool namespace: a benchmark that
// broadcasts or uses port 12340 must never run in the machine's own namespace.
void requireToolNamespace();

// A socket made inside another network namespace (a name under /var/run/netns); it stays there.
int socketInNamespace(const std::string& netns, int domain, int type, int protocol);

struct UdpSocketState {
    unsigned long receiveQueueBytes = 0;
    unsigned long drops = 0;
};

// The line of /proc/net/udp (this namespace) for the socket bound to the port, if there is one.
std::optional<UdpSocketState> udpSocketState(std::uint16_t port);

// This process's own file descriptor of the UDP socket bound to the port, or -1.
int ownSocketBoundTo(std::uint16_t port);

} // namespace nimbrel::bench
