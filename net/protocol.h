#pragma once
// The words and numbers of the device protocol, and how a text becomes a datagram.

#include <cstdint>
#include <string>

namespace nimbrel {

inline constexpr std::uint16_t DiscoveryPort = 12340;
inline constexpr std::size_t kMaxDatagramSize = 8192;

inline constexpr const char* kSearchWord = "find_QUORIX";
inline constexpr const char* kSettingsRequest = "get_network";
inline constexpr const char* kAnnouncementWord = "im_QUORIX";
inline constexpr const char* kSettingsReplyWord = "network_response";
inline constexpr const char* kErrorVerdict = "Error";
inline constexpr const char* kSuccessVerdict = "Success";

// The protocol is 7-bit: every byte from 0x80 up goes out as '?'.
std::string to_wire(const std::string& text);

enum class DatagramKind { Announcement, SettingsReply, ErrorVerdict, SuccessVerdict, Ignored };

// Sorts a received text. The tests run in a fixed order and the first match wins; the words
// are found anywhere in the text, case-sensitively. Verdicts count only from the device last
// written to, and not while a verdict is already being shown.
DatagramKind classify_datagram(const std::string& text, const std::string& sender,
                               bool verdict_busy, const std::string& write_target);

} // namespace nimbrel
