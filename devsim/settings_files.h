#pragma once
// A device takes its new settings from the two files of its own format.

#include "devsim/device.h"

#include <string_view>

namespace nimbrel::devsim {

inline constexpr std::string_view config_net_path = "/Talvonex/CONFIG_NET.TXT";
inline constexpr std::string_view config_eth_path = "/Talvonex/CONFIG_ETH.TXT";
inline constexpr std::string_view update_marker_path = "/Talvonex/actualizado";

// Applies the "[TAG] value" lines of CONFIG_NET.TXT to the Wi-Fi settings. Switch and
// encryption words are lower-cased as the device reports them ("Yes" -> "yes", "WPA" -> "wpa").
// Unknown or malformed lines are skipped; ';' is dropped so replies keep their part count, and
// values are cut to max_text_length.
void apply_config_net(DeviceSettings& settings, std::string_view content);

// The same for CONFIG_ETH.TXT and the Ethernet settings.
void apply_config_eth(DeviceSettings& settings, std::string_view content);

} // namespace nimbrel::devsim
