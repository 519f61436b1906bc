#pragma once
// One device as the tool knows it: the facts of its announcement and its pending network
// settings, all kept as the 8-bit texts the protocol carries.

#include "util/address.h"

#include <array>
#include <string>
#include <string_view>

namespace nimbrel {

struct WebServer {
    std::string ip; // the sender address of its announcement: the registry's key
    std::string model;
    std::string identifier;
    std::string firmware;
    std::string build;
    std::string user;
    // Pending settings: first from the announcement, then from a settings reply and the panel.
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

    // Not carried by the protocol: ip_to_int(ip), so ordering never parses text again, and the
    // network interface the announcement arrived on (0 when unknown), so a write to the device
    // can leave through that interface only.
    AddressValue address = 0;
    int interface_index = 0;

    // Fields 6 to 17 as the device itself last gave them (announcement or settings reply), apart
    // from the edits pending in the fields above: what an exported list reports.
    std::array<std::string, 12> read_settings;
    // The identifier of another device heard from this same address, empty while none was.
    std::string other_identifier;
};

// The 18 protocol fields in their fixed order, for positional access.
inline constexpr std::array<std::string WebServer::*, 18> kWebServerFields = {
    &WebServer::ip,       &WebServer::model,  &WebServer::identifier, &WebServer::firmware,
    &WebServer::build,    &WebServer::user,   &WebServer::w_ap,       &WebServer::w_ssid,
    &WebServer::w_enc,    &WebServer::w_pass, &WebServer::w_dhcp,     &WebServer::w_ip,
    &WebServer::w_mask,   &WebServer::w_gw,   &WebServer::eth_dhcp,   &WebServer::eth_ip,
    &WebServer::eth_mask, &WebServer::eth_gw,
};

// The Ethernet-capable model: its model text contains "QUORIX".
bool is_quorix(const WebServer& record);

// Fills fields 1 to 17 from an announcement of exactly 18 ";"-ended parts, lower-casing the four
// yes/no and encryption words; any other part count leaves the record untouched. Returns
// whether the record was filled.
bool parse_announcement(WebServer& record, const std::string& text);

// The identifier an announcement of exactly 18 ";"-ended parts carries (part 2), without
// splitting it; false for any other part count.
bool announced_identifier(const std::string& text, std::string_view& identifier);

// Stores the twelve values of a settings reply of exactly 13 ";"-ended parts into fields 6 to
// 17 as received; any other part count leaves the record untouched.
bool parse_network_response(WebServer& record, const std::string& text);

} // namespace nimbrel
