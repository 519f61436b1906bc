#include "devsim/settings_files.h"

#include <algorithm>

namespace nimbrel::devsim {

namespace {

struct TagTarget {
    std::string_view tag;
    std::string DeviceSettings::*field;
    bool lower_case;
};

std::string clean_value(std::string_view value, bool lower_case)
{
    std::string result;
    for (const char c : value) {
        if (c == ';' || c == '\r') {
            continue;
        }
        result += (lower_case && c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    result.resize(std::min(result.size(), max_text_length));
    return result;
}

template <std::size_t N>
void apply_tags(DeviceSettings& settings, std::string_view content, const TagTarget (&targets)[N])
{
    while (!content.empty()) {
        const auto end = content.find('\n');
        const auto line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        for (const auto& target : targets) {
            if (line.starts_with(target.tag) && line.substr(target.tag.size()).starts_with(' ')) {
                settings.*target.field =
                    clean_value(line.substr(target.tag.size() + 1), target.lower_case);
                break;
            }
        }
    }
}

} // namespace

void apply_config_net(DeviceSettings& settings, std::string_view content)
{
    static const TagTarget targets[] = {
        {"[AP]", &DeviceSettings::w_ap, true},      {"[SSID]", &DeviceSettings::w_ssid, false},
        {"[PASS]", &DeviceSettings::w_pass, false}, {"[ENC]", &DeviceSettings::w_enc, true},
        {"[DHCP]", &DeviceSettings::w_dhcp, true},  {"[IP]", &DeviceSettings::w_ip, false},
        {"[MASK]", &DeviceSettings::w_mask, false}, {"[GW]", &DeviceSettings::w_gw, false}};
    apply_tags(settings, content, targets);
}

void apply_config_eth(DeviceSettings& settings, std::string_view content)
{
    static const TagTarget targets[] = {{"[DHCP]", &DeviceSettings::eth_dhcp, true},
                                        {"[IP]", &DeviceSettings::eth_ip, false},
                                        {"[MASK]", &DeviceSettings::eth_mask, false},
                                        {"[GW]", &DeviceSettings::eth_gw, false}};
    apply_tags(settings, content, targets);
}

} // namespace nimbrel::devsim
