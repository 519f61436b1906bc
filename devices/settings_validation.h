#pragma once
// The check a device's settings must pass before they are written to it.

#include "devices/web_server.h"

#include <optional>
#include <string>

namespace nimbrel {

// Applies the rules in their fixed order to the record and answers the message of the first
// one that fails, or nothing when the settings may be sent. The subnet rule takes its masks from
// the panel's two mask edits, passed here, not from the record. Changes nothing.
std::optional<std::string> validate_settings(const WebServer& record, const std::string& wifi_mask,
                                             const std::string& ethernet_mask);

} // namespace nimbrel
