#include "devices/settings_validation.h"

#include "util/address.h"
#include "util/address_checks.h"
#include "util/text.h"

#include <algorithm>
#include <array>

namespace nimbrel {

namespace {

using Message = std::optional<std::string>;

struct AddressSet {
    const std::string& ip;
    const std::string& mask;
    const std::string& gateway;
};

struct AddressMessages {
    const char* ip;
    const char* mask;
    const char* gateway;
};

Message check_addresses(const AddressSet& set, const AddressMessages& messages)
{
    if (!is_valid_host_address(set.ip))
        return messages.ip;
    if (!is_valid_netmask(set.mask))
        return messages.mask;
    if (!is_valid_gateway(set.gateway))
        return messages.gateway;
    return std::nullopt;
}

bool is_wep_key_length(std::size_t length)
{
    constexpr std::array<std::size_t, 4> wep_lengths = {5, 10, 13, 26};
    return std::find(wep_lengths.begin(), wep_lengths.end(), length) != wep_lengths.end();
}

Message check_quorix(const WebServer& r, const std::string& wifi_mask,
                     const std::string& ethernet_mask)
{
    if (r.eth_dhcp == "yes" && r.w_ap == "yes")
        return "If the Wifi is configured as an Access Point, Ethernet can't be configured with "
               "DHCP";
    if (r.eth_ip.empty() && r.eth_mask.empty() && r.eth_gw.empty())
        return std::nullopt;

    // With both sides on DHCP the real addresses are unknown; the device's own defaults stand in.
    const bool both_dhcp = r.w_ap != "yes" && r.w_dhcp == "yes" && r.eth_dhcp == "yes";
    const std::string wifi_ip = both_dhcp ? "192.168.0.6" : r.w_ip;
    const std::string ethernet_ip = both_dhcp ? "192.168.1.6" : r.eth_ip;

    if (r.eth_dhcp == "no") {
        if (Message m =
                check_addresses({r.eth_ip, r.eth_mask, r.eth_gw},
                                {"Invalid IP address (Ethernet)", "Invalid Netmask (Ethernet)",
                                 "Invalid Gateway address (Ethernet)"}))
            return m;
    }
    if (r.w_dhcp == "no" && r.w_ap == "no") {
        if (Message m = check_addresses({r.w_ip, r.w_mask, r.w_gw},
                                        {"Invalid IP address (Wifi)", "Invalid Netmask (Wifi)",
                                         "Invalid Gateway address (Wifi)"}))
            return m;
    }
    if (same_subnet(wifi_ip, ethernet_ip, wifi_mask) ||
        same_subnet(wifi_ip, ethernet_ip, ethernet_mask))
        return "Wifi and Ethernet can't be in the same subnet";
    return std::nullopt;
}

Message check_wifi_only(const WebServer& r)
{
    if (r.w_ssid.empty())
        return "SSID must contain at least 1 characer";
    if (r.w_dhcp != "yes")
        return check_addresses({r.w_ip, r.w_mask, r.w_gw}, {"Invalid IP address", "Invalid Netmask",
                                                            "Invalid Gateway address"});
    return std::nullopt;
}

// Characters, not bytes: every UTF-8 sequence has one lead byte.
std::size_t utf8_length(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

std::optional<std::string> wifi_password_fault(const std::string& encryption,
                                               const std::string& password)
{
    if (contains(encryption, "wep") && !is_wep_key_length(password.size()))
        return "WEP password must contain 5, 10, 13, 26 characters";
    // Tested after a WEP key that passed too: a text naming both ("wep/wpa") must meet both.
    if (contains(encryption, "wpa") && password.size() < 8)
        return "WPA admin password must contain at least 8 characters";
    return std::nullopt;
}

bool is_printable_ascii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::optional<std::string> send_input_fault(std::string_view admin_password,
                                            const std::vector<std::string>& setting_texts)
{
    if (utf8_length(admin_password) > 4)
        return "The password must contain at most 4 characters";
    if (!is_printable_ascii(admin_password))
        return "The password must contain only printable ASCII characters";
    for (const std::string& text : setting_texts)
        if (!is_printable_ascii(text))
            return "Network settings must contain only printable ASCII characters";
    return std::nullopt;
}

std::optional<std::string> validate_settings(const WebServer& record, const std::string& wifi_mask,
                                             const std::string& ethernet_mask)
{
    if (Message m = wifi_password_fault(record.w_enc, record.w_pass))
        return m;
    return is_quorix(record) ? check_quorix(record, wifi_mask, ethernet_mask)
                             : check_wifi_only(record);
}

} // namespace nimbrel
