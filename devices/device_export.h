#pragma once
// What leaves the tool about the listed devices: one line of details for the clipboard, the
// list as a CSV file, and the test that decides whether a device matches the list's filter.

#include "devices/device_registry.h"

#include <string>
#include <string_view>

namespace nimbrel {

// Address, model, identifier, firmware, build and user, tab-separated, as 8-bit text.
std::string device_details_line(const WebServer& record);

// Every listed device in list order under a header row, in UTF-8. The settings are those the
// device last gave; its Wi-Fi password is never written.
std::string devices_csv(const DeviceRegistry& servers);

// True when the address, model, identifier or firmware contains needle, ignoring the case of
// ASCII letters; an empty needle matches every device.
bool device_matches(const WebServer& record, std::string_view needle);

} // namespace nimbrel
