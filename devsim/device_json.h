#pragma once
// Devices described in a JSON file:
// {"restart_ms":3000,"devices":[{"address":"10.1.0.5","model":"QUORIX","identifier":"TVX-1",
//  "firmware":"2.4.1","build":"1187","user":"admin","admin_password":"1234",
//  "older_firmware":false,"answers_get_network":true,"settings":{"w_ap":"no","w_ssid":"Office",...}}]}
// Only "address" is required; unknown keys are errors so that typos do not pass silently.

#include "devsim/device.h"

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

namespace nimbrel::devsim {

struct DeviceFile {
    std::vector<DeviceInfo> devices;
    std::optional<int> restart_ms;
};

// Reads the file's text; returns nothing and sets error on bad JSON, a wrong type, an unknown
// key or a missing or malformed address.
std::optional<DeviceFile> parse_device_file(const QByteArray& json, std::string& error);

} // namespace nimbrel::devsim
