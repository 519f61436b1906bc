#pragma once
// Strict validity tests for addresses a user is about to write to a device. They are stricter
// than ip_to_int, which reads "1..3.4" or "10.0.0.1 trailing" without complaint: a device given
// such text would restart unreachable.

#include <string>

namespace nimbrel {

// Four decimal numbers 0 to 255 joined by dots and nothing else. Leading zeros are refused:
// many C libraries read "010" as octal, so the device could take another address than shown.
bool is_dotted_quad(const std::string& text);

// A dotted quad usable as a device's own address: not 0.0.0.0 and not 255.255.255.255.
bool is_valid_host_address(const std::string& text);

// A gateway is any dotted quad.
bool is_valid_gateway(const std::string& text);

// A dotted quad whose one bits are contiguous from the top, and not all zero.
bool is_valid_netmask(const std::string& text);

} // namespace nimbrel
