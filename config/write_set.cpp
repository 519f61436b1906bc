#include "config/write_set.h"

#include "config/config_files.h"

namespace nimbrel {

namespace {

std::string yes_no(bool on)
{
    return on ? "Yes" : "No";
}

std::string encryption_word(int index)
{
    return index == 0 ? "OPEN" : index == 1 ? "WEP" : "WPA";
}

} // namespace

std::array<std::string, kWriteMessageCount> build_write_messages(const WriteSettings& s)
{
    // The full set goes out whatever the mode: the device decides which files it uses.
    return {
        build_config_net(s.target, yes_no(s.access_point), s.ssid, s.password,
                         encryption_word(s.encryption_index), yes_no(s.wifi_dhcp), s.wifi_ip,
                         s.wifi_mask, s.wifi_gateway),
        build_config_eth(s.target, yes_no(s.ethernet_dhcp), s.ethernet_ip, s.ethernet_mask,
                         s.ethernet_gateway),
        build_wpa_supplicant_conf(s.target, s.access_point ? "2" : "1", s.ssid, s.password),
        build_hostapd_conf(s.target, s.encryption_index, s.ssid, s.password),
        build_udhcpd_conf(s.target, s.wifi_mask, s.wifi_ip),
        build_update_marker(s.target),
    };
}

} // namespace nimbrel
