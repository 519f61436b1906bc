#include "config/config_files.h"

#include "util/address.h"

#include <initializer_list>
#include <string_view>

namespace nimbrel {

namespace {

// The device parses line by line on a bare line feed; a carriage return would end up in values.
std::string lines(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (const auto part : parts) {
        out.append(part);
        out.push_back('\n');
    }
    return out;
}

std::string head(const std::string& target, std::string_view path)
{
    return lines({target, "create_file", path});
}

std::string quoted(const std::string& value)
{
    return '"' + value + '"';
}

// Hex-digit keys (40 or 104 bits) go bare; text keys must be quoted for hostapd to read them.
std::string wep_key_form(const std::string& key)
{
    if (key.size() == 10 || key.size() == 26) {
        return key;
    }
    return quoted(key);
}

std::string hostapd_open(const std::string& ssid)
{
    return lines({"interface=ra0", "channel=1", "ssid=" + ssid, "driver=nl80211"});
}

std::string hostapd_wep(const std::string& ssid, const std::string& key)
{
    return lines({"interface=ra0", "driver=nl80211", "ssid=" + ssid, "channel=1",
                  "wep_default_key=0", "wep_key0=" + wep_key_form(key)});
}

std::string hostapd_wpa(const std::string& ssid, const std::string& key)
{
    return lines({"interface=ra0", "driver=nl80211", "ssid=" + ssid, "channel=1", "hw_mode=g",
                  "wpa=1", "wpa_passphrase=" + key, "wpa_key_mgmt=WPA-PSK", "wpa_pairwise=TKIP",
                  "rsn_pairwise=CCMP"});
}

} // namespace

std::string build_config_net(const std::string& target, const std::string& ap,
                             const std::string& ssid, const std::string& pass,
                             const std::string& enc, const std::string& dhcp, const std::string& ip,
                             const std::string& mask, const std::string& gw)
{
    return head(target, "/Talvonex/CONFIG_NET.TXT") +
           lines({"[AP] " + ap, "[SSID] " + ssid, "[PASS] " + pass, "[ENC] " + enc,
                  "[DHCP] " + dhcp, "[IP] " + ip, "[MASK] " + mask, "[GW] " + gw});
}

std::string build_config_eth(const std::string& target, const std::string& dhcp,
                             const std::string& ip, const std::string& mask, const std::string& gw)
{
    return head(target, "/Talvonex/CONFIG_ETH.TXT") +
           lines({"[DHCP] " + dhcp, "[IP] " + ip, "[MASK] " + mask, "[GW] " + gw});
}

std::string build_wpa_supplicant_conf(const std::string& target, const std::string& ap_scan,
                                      const std::string& ssid, const std::string& psk)
{
    // The client always gets a WPA-PSK network, whatever encryption the access point uses.
    return head(target, "/etc/wpa_supplicant.conf") +
           lines({"ctrl_interface=/var/run/wpa_supplicant", "ap_scan=" + ap_scan, "", "network={",
                  "ssid=" + quoted(ssid), "scan_ssid=1", "proto=WPA RSN", "key_mgmt=WPA-PSK",
                  "pairwise=CCMP TKIP", "group=CCMP TKIP", "psk=" + quoted(psk), "}"});
}

std::string build_hostapd_conf(const std::string& target, int encryption_index,
                               const std::string& ssid, const std::string& key)
{
    switch (encryption_index) {
    case 0:
        return head(target, "/etc/hostapd.conf") + hostapd_open(ssid);
    case 1:
        return head(target, "/etc/hostapd.conf") + hostapd_wep(ssid, key);
    case 2:
        return head(target, "/etc/hostapd.conf") + hostapd_wpa(ssid, key);
    default:
        // No encryption selected: there is no file to describe, so only the target line goes out.
        return lines({target});
    }
}

std::string build_udhcpd_conf(const std::string& target, const std::string& mask,
                              const std::string& router)
{
    // Unsigned wrap is intended; the range is not clamped to the subnet.
    const AddressValue network = ip_to_int(router) & ip_to_int(mask);
    return head(target, "/etc/udhcpd.conf") +
           lines({"start " + int_to_ip(network + 10U), "end " + int_to_ip(network + 100U),
                  "interface ra0", "option subnet " + mask, "option router " + router});
}

std::string build_update_marker(const std::string& target)
{
    return head(target, "/Talvonex/actualizado");
}

} // namespace nimbrel
