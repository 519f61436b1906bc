#pragma once
// A UDP socket inside a LAN namespace of the virtual LAN that sends to the tool's side of the
// link, port 12340, from any device address of that LAN (the LAN holds its whole device range as
// local addresses): one socket plays thousands of devices.

#include "util/address.h"

#include <string>

namespace nimbrel::testing {

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

} // namespace nimbrel::testing
