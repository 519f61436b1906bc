#include "devices/device_export.h"

#include "util/csv.h"

#include <algorithm>
#include <array>

namespace nimbrel {

namespace {

constexpr std::size_t kPasswordOfReadSettings = 3; // w_pass among fields 6 to 17

char fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool contains_folded(std::string_view text, std::string_view needle)
{
    const auto found = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                   [](char a, char b) { return fold(a) == fold(b); });
    return found != text.end();
}

} // namespace

std::string device_details_line(const WebServer& record)
{
    return record.ip + '\t' + record.model + '\t' + record.identifier + '\t' + record.firmware +
           '\t' + record.build + '\t' + record.user;
}

std::string devices_csv(const DeviceRegistry& servers)
{
    std::string csv = csv_line({"address", "model", "identifier", "firmware", "build", "user",
                                "access point", "SSID", "encryption", "Wi-Fi DHCP", "Wi-Fi address",
                                "Wi-Fi mask", "Wi-Fi gateway", "Ethernet DHCP", "Ethernet address",
                                "Ethernet mask", "Ethernet gateway"});
    for (int i = 0; i < servers.count(); ++i) {
        const WebServer& record = servers.at(i);
        std::vector<std::string> fields;
        for (const std::string* text : {&record.ip, &record.model, &record.identifier,
                                        &record.firmware, &record.build, &record.user})
            fields.push_back(latin1_to_utf8(*text));
        for (std::size_t k = 0; k < record.read_settings.size(); ++k)
            if (k != kPasswordOfReadSettings)
                fields.push_back(latin1_to_utf8(record.read_settings[k]));
        csv += csv_line(fields);
    }
    return csv;
}

bool device_matches(const WebServer& record, std::string_view needle)
{
    return needle.empty() || contains_folded(record.ip, needle) ||
           contains_folded(record.model, needle) || contains_folded(record.identifier, needle) ||
           contains_folded(record.firmware, needle);
}

} // namespace nimbrel
