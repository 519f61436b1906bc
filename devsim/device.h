#pragma once
// One simulated Talvonex device and the texts it answers with.

#include "util/address.h"

#include <array>
#include <string>
#include <string_view>

namespace nimbrel::devsim {

// The twelve network settings, in the order announcements and settings replies carry them.
struct DeviceSettings {
    std::string w_ap;
    std::string w_ssid;
    std::string w_enc;
    std::string w_pass;
    std::string w_dhcp;
    std::string w_ip;
    std::string w_mask;
    std::string w_gw;
    std::string eth_dhcp;
    std::string eth_ip;
    std::string eth_mask;
    std::string eth_gw;

    bool operator==(const DeviceSettings&) const = default;
};

inline constexpr std::array<std::string_view, 12> setting_names{
    "w_ap",   "w_ssid", "w_enc",    "w_pass", "w_dhcp",   "w_ip",
    "w_mask", "w_gw",   "eth_dhcp", "eth_ip", "eth_mask", "eth_gw"};

// The setting called name, or nullptr for a name not in setting_names.
std::string* setting_by_name(DeviceSettings& settings, std::string_view name);
const std::string* setting_by_name(const DeviceSettings& settings, std::string_view name);

// The settings of a fresh device at address: Wi-Fi client by DHCP, Ethernet on its own address
// with the gateway the virtual LAN uses (x.y.255.254).
DeviceSettings default_settings(AddressValue address);

struct DeviceInfo {
    AddressValue address = 0;
    std::string model = "QUORIX";
    std::string identifier;
    std::string firmware = "2.4.1";
    std::string build = "1187";
    std::string user = "admin";
    DeviceSettings settings;
    std::string admin_password = "1234"; // 0 to 4 characters; empty: messages are unscrambled
    bool older_firmware = false;
    // False: the device hears "get_network" and never answers it, as one busy or half broken
    // does; it still answers searches and takes writes.
    bool answers_get_network = true;
};

inline constexpr std::size_t max_admin_password_length = 4;
// Keeps every announcement well below the 8192 bytes the tool reads of a datagram.
inline constexpr std::size_t max_text_length = 255;

// "im_QUORIX;" and the 17 fields, each ended by ';'; older firmware gives only the identifier.
std::string announcement_text(const DeviceInfo& device);

// "network_response;" and the 12 settings, each ended by ';'.
std::string settings_reply_text(const DeviceSettings& settings);

// What makes a device unusable, or the empty text: an address that is not a unicast dotted
// quad, a password over max_admin_password_length, ';' in a text (it would split a reply) or a
// text over max_text_length.
std::string device_problem(const DeviceInfo& device);

// Strict dotted quad: four decimal octets below 256, nothing else. Unlike ip_to_int, which reads
// sloppy text as 0, this tells a bad address apart so configuration errors can be reported.
bool parse_dotted_quad(std::string_view text, AddressValue& value);

} // namespace nimbrel::devsim
