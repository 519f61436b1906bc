#pragma once
// The virtual LAN as a benchmark sees it from inside the tool namespace: its variables, sockets in
// the other namespaces, and the kernel's view of a UDP socket.

#include "virtual_lan.h"

#include <cstdint>
#include <optional>
#include <string>

namespace nimbrel::bench {

// The variables, the tool-namespace guard and the socket table come from the test kit.
using testing::requireToolNamespace;
using testing::udpSocketState;
using testing::UdpSocketState;
using testing::vlanVariable;

// A socket made inside another network namespace (a name under /var/run/netns); it stays there.
int socketInNamespace(const std::string& netns, int domain, int type, int protocol);

// This process's own file descriptor of the UDP socket bound to the port, or -1.
int ownSocketBoundTo(std::uint16_t port);

} // namespace nimbrel::bench
