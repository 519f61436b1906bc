#include "devices/web_server.h"

#include "util/text.h"

#include <algorithm>

namespace nimbrel {

namespace {

constexpr std::size_t kAnnouncementParts = 18;
constexpr std::size_t kNetworkResponseParts = 13;
constexpr std::size_t kFirstSettingsField = 6;

std::string lower_ascii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

bool is_flag_field(std::size_t field)
{
    return field == 6 || field == 8 || field == 10 || field == 14;
}

// The device's own view of its settings, kept apart from the edits made on top of them.
void remember_read_settings(WebServer& record)
{
    for (std::size_t k = 0; k < record.read_settings.size(); ++k)
        record.read_settings[k] = record.*kWebServerFields[kFirstSettingsField + k];
}

} // namespace

bool is_quorix(const WebServer& record)
{
    return contains(record.model, "QUORIX");
}

bool parse_announcement(WebServer& record, const std::string& text)
{
    const std::vector<std::string> parts = split_string(text, ';');
    if (parts.size() != kAnnouncementParts)
        return false;
    // Part 0 is the word that made this an announcement; field 0 is the sender, not text.
    for (std::size_t k = 1; k < kAnnouncementParts; ++k)
        record.*kWebServerFields[k] = is_flag_field(k) ? lower_ascii(parts[k]) : parts[k];
    remember_read_settings(record);
    return true;
}

bool parse_network_response(WebServer& record, const std::string& text)
{
    const std::vector<std::string> parts = split_string(text, ';');
    if (parts.size() != kNetworkResponseParts)
        return false;
    for (std::size_t k = 1; k < kNetworkResponseParts; ++k)
        record.*kWebServerFields[kFirstSettingsField + k - 1] = parts[k];
    remember_read_settings(record);
    return true;
}

bool announced_identifier(const std::string& text, std::string_view& identifier)
{
    if (std::count(text.begin(), text.end(), ';') != kAnnouncementParts)
        return false;
    const std::size_t afterModel = text.find(';', text.find(';') + 1) + 1;
    const std::size_t end = text.find(';', afterModel);
    identifier = std::string_view(text).substr(afterModel, end - afterModel);
    return true;
}

} // namespace nimbrel
