#pragma once
// The LAN namespaces of the virtual LAN (scripts/vlan) as a test in the tool namespace reaches
// them: their names, their device addresses, and UDP sockets opened inside them. A socket stays
// in the namespace it was made in, so the calling thread steps into the LAN to make it and back.

#include "util/address.h"

#include <QString>

#include <optional>
#include <string>

namespace nimbrel::testing {

QString lanNamespace(int lan);
// A device address of a LAN: 10.(100+lan).0.0 plus the offset.
std::string lanDevice(int lan, int offset);

// A UDP socket inside a LAN namespace that sends to the tool's side of the link, port 12340,
// from any device address of that LAN (the LAN holds its whole device range as local
// addresses): one socket plays thousands of devices. Sends block while the socket's buffer is
// full, so a flood is never dropped on the sending side.
class LanSender {
public:
    explicit LanSender(int lan);
    ~LanSender();
    LanSender(const LanSender&) = delete;
    LanSender& operator=(const LanSender&) = delete;

    // False when the kernel refused the datagram.
    bool send(const std::string& bytes, AddressValue from) const;
    bool send(const std::string& bytes, const std::string& from) const
    {
        return send(bytes, ip_to_int(from));
    }

private:
    int socket_ = -1;
    AddressValue tool_ = 0;
};

// A UDP socket bound to 0.0.0.0:12340 inside a LAN namespace: it sees what reaches that LAN.
class LanListener {
public:
    explicit LanListener(int lan);
    ~LanListener();
    LanListener(const LanListener&) = delete;
    LanListener& operator=(const LanListener&) = delete;

    struct Datagram {
        std::string bytes;
        std::string sender;
        int senderPort = 0;
    };
    // The next datagram within the timeout; the event loop turns meanwhile.
    std::optional<Datagram> receive(int timeoutMs);

private:
    int socket_ = -1;
};

} // namespace nimbrel::testing
