#pragma once
// The virtual LAN (scripts/vlan) as a test or a benchmark sees it from inside: whether this
// process runs in its tool namespace, and the kernel's view of a UDP socket there. Plain C++.

#include <cstdint>
#include <optional>
#include <string>

namespace nimbrel::testing {

// A NIMBREL_* variable of scripts/vlan; throws when it is not set (not inside the virtual LAN).
std::string vlanVariable(const char* name);

// Whether this process runs in the virtual LAN's tool namespace. What binds port 12340 or
// broadcasts must never run in the machine's own namespace: requireToolNamespace() throws
// outside it (and answers true, so that it can guard a member's initialisation).
bool insideToolNamespace();
bool requireToolNamespace();

struct UdpSocketState {
    std::uint64_t receiveQueueBytes = 0; // received, not yet read (buffer bytes, not payload)
    std::uint64_t drops = 0;             // datagrams the kernel dropped for this socket
};

// The socket bound to the port in the calling thread's namespace, or nothing when none is.
std::optional<UdpSocketState> udpSocketState(std::uint16_t port);

} // namespace nimbrel::testing
