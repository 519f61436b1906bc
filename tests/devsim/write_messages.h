#pragma once
// The six scrambled messages of one write, made as the tool makes them.

#include "config/config_files.h"
#include "config/scramble.h"

#include <string>
#include <vector>

namespace nimbrel::devsim::testing {

struct WriteValues {
    std::string ap = "No";
    std::string ssid = "Lab";
    std::string pass = "pa55word";
    std::string enc = "WPA";
    std::string dhcp = "No";
    std::string ip = "192.168.7.20";
    std::string mask = "255.255.255.0";
    std::string gw = "192.168.7.1";
    std::string eth_dhcp = "Yes";
    std::string eth_ip = "10.101.3.3";
    std::string eth_mask = "255.255.0.0";
    std::string eth_gw = "10.101.255.254";
};

// Plain messages in the order the tool sends them, the marker last.
inline std::vector<std::string> plain_write(const std::string& target, const WriteValues& v)
{
    return {build_config_net(target, v.ap, v.ssid, v.pass, v.enc, v.dhcp, v.ip, v.mask, v.gw),
            build_config_eth(target, v.eth_dhcp, v.eth_ip, v.eth_mask, v.eth_gw),
            build_wpa_supplicant_conf(target, "1", v.ssid, v.pass),
            build_hostapd_conf(target, 2, v.ssid, v.pass),
            build_udhcpd_conf(target, v.mask, v.gw),
            build_update_marker(target)};
}

inline std::vector<std::string> scrambled(const std::vector<std::string>& plain,
                                          const std::string& key)
{
    std::vector<std::string> out;
    for (const auto& message : plain) {
        out.push_back(scramble_text(message, key));
    }
    return out;
}

// What follows the three head lines: the file's content.
inline std::string content_of(const std::string& plain)
{
    std::string::size_type pos = 0;
    for (int line = 0; line < 3; ++line) {
        pos = plain.find('\n', pos) + 1;
    }
    return plain.substr(pos);
}

inline std::string path_of(const std::string& plain)
{
    const auto start = plain.find('\n', plain.find('\n') + 1) + 1;
    return plain.substr(start, plain.find('\n', start) - start);
}

} // namespace nimbrel::devsim::testing
