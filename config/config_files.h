#pragma once
// The six file-writing messages a device understands. Each message is a run of lines ended by a
// single line feed: the target device's address, "create_file", the file's path on the device,
// then the file's content exactly as the file is to hold it. Values are inserted as given.

#include <string>

namespace nimbrel {

std::string build_config_net(const std::string& target, const std::string& ap,
                             const std::string& ssid, const std::string& pass,
                             const std::string& enc, const std::string& dhcp, const std::string& ip,
                             const std::string& mask, const std::string& gw);

std::string build_config_eth(const std::string& target, const std::string& dhcp,
                             const std::string& ip, const std::string& mask, const std::string& gw);

std::string build_wpa_supplicant_conf(const std::string& target, const std::string& ap_scan,
                                      const std::string& ssid, const std::string& psk);

// encryption_index: 0 open, 1 WEP, 2 WPA. Any other index yields the target line alone.
std::string build_hostapd_conf(const std::string& target, int encryption_index,
                               const std::string& ssid, const std::string& key);

std::string build_udhcpd_conf(const std::string& target, const std::string& mask,
                              const std::string& router);

// The empty marker file that closes every write.
std::string build_update_marker(const std::string& target);

} // namespace nimbrel
