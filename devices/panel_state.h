#pragma once
// What the settings panel shows for a device, worked out from its record alone: the values it
// loads, the values the access-point and model rules then force over them, and which controls
// are enabled, visible and captioned how. The panel applies it in this order: the loaded values
// first, then the forced ones. The order matters, because every edit and the encryption choice
// store what they are given back into the record: loading a record into an access point stores
// its default addresses and "wpa", and a Wi-Fi-only model's Ethernet texts are emptied.

#include "devices/web_server.h"

#include <optional>
#include <string>

namespace nimbrel {

inline constexpr int kEncryptionOpen = 0;
inline constexpr int kEncryptionWep = 1;
inline constexpr int kEncryptionWpa = 2;

// Index of the encryption choice for a stored word: "open", else "wep", else WPA.
int encryption_index(const std::string& word);
// The word the encryption choice stores: "open", "wep", or "wpa" for any other index.
std::string encryption_word(int index);

struct AddressTexts {
    std::string ip;
    std::string mask;
    std::string gateway;
    bool operator==(const AddressTexts&) const = default;
};

struct PanelState {
    // Loaded from the record.
    bool access_point = false;
    std::string ssid;
    int encryption = kEncryptionOpen;
    std::string password;
    bool wifi_dhcp = false;
    AddressTexts wifi;
    bool ethernet_dhcp = false;
    AddressTexts ethernet;

    // Forced after loading: an access point uses WPA and serves a default subnet of its own.
    std::optional<int> forced_encryption;
    std::optional<AddressTexts> forced_wifi;
    // A Wi-Fi-only model: Ethernet DHCP shown off and the Ethernet texts emptied, the Ethernet
    // tab disabled and the Wi-Fi tab brought to the front.
    bool wifi_only = false;

    bool encryption_enabled = true;
    bool wifi_addresses_enabled = false;
    bool ethernet_addresses_enabled = false;
    // The Wi-Fi DHCP switch and its label: on a QUORIX access point they choose the subnet.
    bool wifi_dhcp_visible = true;
    std::string wifi_dhcp_caption;
    bool ethernet_tab_enabled = false;

    bool operator==(const PanelState&) const = default;
};

PanelState panel_state(const WebServer& record);

} // namespace nimbrel
