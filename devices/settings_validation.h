#pragma once
// The check a device's settings must pass before they are written to it.

#include "devices/web_server.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// Applies the rules in their fixed order to the record and answers the message of the first
// one that fails, or nothing when the settings may be sent. The subnet rule takes its masks from
// the panel's two mask edits, passed here, not from the record. Changes nothing.
std::optional<std::string> validate_settings(const WebServer& record, const std::string& wifi_mask,
                                             const std::string& ethernet_mask);

// The password rules of the encryption word (as stored: "wep", "wpa", ...), or nothing.
std::optional<std::string> wifi_password_fault(const std::string& encryption,
                                               const std::string& password);

// Space to '~' only: the only characters a device's configuration files carry unchanged (a byte
// above 127 goes out as '?', a line feed adds a line). The text is UTF-8, as typed.
bool is_printable_ascii(std::string_view text);

// The checks "Send" makes of what was typed before the settings check, in this order: the admin
// password's length (at most 4 characters), then that it and every setting text are printable
// ASCII. Texts are UTF-8 as typed. The first fault's message, or nothing.
std::optional<std::string> send_input_fault(std::string_view admin_password,
                                            const std::vector<std::string>& setting_texts);

} // namespace nimbrel
