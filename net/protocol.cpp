#include "net/protocol.h"

#include "util/text.h"

namespace nimbrel {

std::string to_wire(const std::string& text)
{
    std::string bytes = text;
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '?';
    return bytes;
}

DatagramKind classify_datagram(const std::string& text, const std::string& sender,
                               bool verdict_busy, const std::string& write_target)
{
    if (contains(text, kAnnouncementWord))
        return DatagramKind::Announcement;
    if (contains(text, kSettingsReplyWord))
        return DatagramKind::SettingsReply;
    const bool from_written_device =
        !verdict_busy && !write_target.empty() && sender == write_target;
    if (from_written_device && contains(text, kErrorVerdict))
        return DatagramKind::ErrorVerdict;
    if (from_written_device && contains(text, kSuccessVerdict))
        return DatagramKind::SuccessVerdict;
    return DatagramKind::Ignored;
}

} // namespace nimbrel
