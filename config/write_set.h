#pragma once
// The six file-writing messages of one write to a device, in the order the device expects
// them: its own two files, the Wi-Fi client, access-point and DHCP-server files, and the marker
// that closes the set.

#include <array>
#include <string>

namespace nimbrel {

// What the settings panel shows at the moment of sending.
struct WriteSettings {
    std::string target; // the device's address
    bool access_point = false;
    std::string ssid;
    std::string password;
    int encryption_index = 0; // 0 open, 1 WEP, 2 WPA; any other value passes through
    bool wifi_dhcp = false;
    std::string wifi_ip;
    std::string wifi_mask;
    std::string wifi_gateway;
    bool ethernet_dhcp = false;
    std::string ethernet_ip;
    std::string ethernet_mask;
    std::string ethernet_gateway;
};

inline constexpr std::size_t kWriteMessageCount = 6;

std::array<std::string, kWriteMessageCount> build_write_messages(const WriteSettings& settings);

} // namespace nimbrel
