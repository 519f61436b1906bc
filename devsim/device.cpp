#include "devsim/device.h"

#include <utility>

namespace nimbrel::devsim {

namespace {

template <typename Settings, typename Result>
Result* find_setting(Settings& s, std::string_view name)
{
    Result* const fields[] = {&s.w_ap,   &s.w_ssid, &s.w_enc,    &s.w_pass, &s.w_dhcp,   &s.w_ip,
                              &s.w_mask, &s.w_gw,   &s.eth_dhcp, &s.eth_ip, &s.eth_mask, &s.eth_gw};
    for (std::size_t i = 0; i < setting_names.size(); ++i) {
        if (setting_names[i] == name) {
            return fields[i];
        }
    }
    return nullptr;
}

void append_part(std::string& text, std::string_view part)
{
    text += part;
    text += ';';
}

void append_settings(std::string& text, const DeviceSettings& s)
{
    for (const auto name : setting_names) {
        append_part(text, *setting_by_name(s, name));
    }
}

std::string text_problem(const std::string& text)
{
    if (text.find(';') != std::string::npos) {
        return " contains ';'";
    }
    if (text.size() > max_text_length) {
        return " is longer than " + std::to_string(max_text_length) + " characters";
    }
    return {};
}

} // namespace

std::string* setting_by_name(DeviceSettings& settings, std::string_view name)
{
    return find_setting<DeviceSettings, std::string>(settings, name);
}

const std::string* setting_by_name(const DeviceSettings& settings, std::string_view name)
{
    return find_setting<const DeviceSettings, const std::string>(settings, name);
}

DeviceSettings default_settings(AddressValue address)
{
    DeviceSettings s;
    s.w_ap = "no";
    s.w_ssid = "Office";
    s.w_enc = "wpa";
    s.w_pass = "talvonex";
    s.w_dhcp = "yes";
    s.w_ip = "192.168.0.10";
    s.w_mask = "255.255.255.0";
    s.w_gw = "192.168.0.1";
    s.eth_dhcp = "no";
    s.eth_ip = int_to_ip(address);
    s.eth_mask = "255.255.0.0";
    s.eth_gw = int_to_ip((address & 0xFFFF0000u) | 0xFFFEu);
    return s;
}

std::string announcement_text(const DeviceInfo& device)
{
    std::string text = "im_QUORIX;";
    if (device.older_firmware) {
        append_part(text, device.identifier);
        return text;
    }
    for (const auto* part :
         {&device.model, &device.identifier, &device.firmware, &device.build, &device.user}) {
        append_part(text, *part);
    }
    append_settings(text, device.settings);
    return text;
}

std::string settings_reply_text(const DeviceSettings& settings)
{
    std::string text = "network_response;";
    append_settings(text, settings);
    return text;
}

std::string device_problem(const DeviceInfo& device)
{
    const auto address = int_to_ip(device.address);
    if (device.address == 0 || device.address >= 0xE0000000u) {
        return "address " + address + " is not a unicast address";
    }
    if (device.admin_password.size() > max_admin_password_length) {
        return "device " + address + ": admin password longer than 4 characters";
    }
    const std::pair<std::string_view, const std::string*> texts[] = {
        {"model", &device.model},
        {"identifier", &device.identifier},
        {"firmware", &device.firmware},
        {"build", &device.build},
        {"user", &device.user}};
    for (const auto& [name, text] : texts) {
        if (auto problem = text_problem(*text); !problem.empty()) {
            return "device " + address + ": " + std::string(name) + problem;
        }
    }
    for (const auto name : setting_names) {
        if (auto problem = text_problem(*setting_by_name(device.settings, name));
            !problem.empty()) {
            return "device " + address + ": setting " + std::string(name) + problem;
        }
    }
    return {};
}

bool parse_dotted_quad(std::string_view text, AddressValue& value)
{
    AddressValue result = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (text.empty() || text.front() != '.') {
                return false;
            }
            text.remove_prefix(1);
        }
        unsigned number = 0;
        std::size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 3) {
            number = number * 10 + static_cast<unsigned>(text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || number > 255) {
            return false;
        }
        text.remove_prefix(digits);
        result = (result << 8) | number;
    }
    if (!text.empty()) {
        return false;
    }
    value = result;
    return true;
}

} // namespace nimbrel::devsim
