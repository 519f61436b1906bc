#include "devices/panel_state.h"

#include "util/text.h"

namespace nimbrel {

int encryption_index(const std::string& word)
{
    if (contains(word, "open"))
        return kEncryptionOpen;
    return contains(word, "wep") ? kEncryptionWep : kEncryptionWpa;
}

std::string encryption_word(int index)
{
    return index == kEncryptionOpen ? "open" : index == kEncryptionWep ? "wep" : "wpa";
}

PanelState panel_state(const WebServer& r)
{
    PanelState s;
    s.access_point = contains(r.w_ap, "yes");
    s.ssid = r.w_ssid;
    s.encryption = encryption_index(r.w_enc);
    s.password = r.w_pass;
    s.wifi_dhcp = contains(r.w_dhcp, "yes");
    s.wifi = {r.w_ip, r.w_mask, r.w_gw};
    s.ethernet_dhcp = contains(r.eth_dhcp, "yes");
    s.ethernet = {r.eth_ip, r.eth_mask, r.eth_gw};

    const bool quorix = is_quorix(r);
    if (s.access_point) {
        s.forced_encryption = kEncryptionWpa;
        // On the QUORIX model the DHCP switch, captioned "Change subnet", picks the second one.
        const std::string gateway = s.wifi_dhcp && quorix ? "192.168.1.1" : "192.168.0.1";
        s.forced_wifi = AddressTexts{gateway, "255.255.255.0", gateway};
    }
    s.encryption_enabled = !s.access_point;
    s.wifi_addresses_enabled = !s.wifi_dhcp && !s.access_point;
    s.ethernet_addresses_enabled = !s.ethernet_dhcp;
    s.wifi_dhcp_visible = !s.access_point || quorix;
    s.wifi_dhcp_caption = s.access_point && quorix ? "Change subnet" : "Enable DHCP";
    s.ethernet_tab_enabled = quorix;
    s.wifi_only = !quorix;
    return s;
}

} // namespace nimbrel
