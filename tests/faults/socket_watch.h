#pragma once
// The state of the window's UDP socket as the kernel reports it in /proc/net/udp of the
// namespace the calling thread is in.

#include <cstdint>
#include <optional>

namespace nimbrel::testing {

struct SocketState {
    std::uint64_t queuedBytes = 0; // received, not yet read (buffer bytes, not payload)
    std::uint64_t drops = 0;       // datagrams the kernel dropped for this socket
};

// The socket bound to the port, or nothing when none is.
std::optional<SocketState> udpSocketState(std::uint16_t port);

} // namespace nimbrel::testing
