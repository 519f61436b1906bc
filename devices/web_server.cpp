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
    return true;
}

bool parse_network_response(WebServer& record, const std::string& text)
{
    const std::vector<std::string> parts = split_string(text, ';');
    if (parts.size() != kNetworkResponseParts)
        return false;
    for (std::size_t k = 1; k < kNetworkResponseParts; ++k)
        record.*kWebServerFields[kFirstSettingsField + k - 1] = parts[k];
    return true;
}

} // namespace nimbrel
