#include "devices/device_registry.h"

namespace nimbrel {

int DeviceRegistry::find_index(const std::string& ip) const
{
    // Equal texts have equal values, so the cheap integer test only skips the string compare.
    const AddressValue value = ip_to_int(ip);
    for (std::size_t i = 0; i < addresses_.size(); ++i)
        if (addresses_[i] == value && records_[i]->ip == ip)
            return static_cast<int>(i);
    return -1;
}

WebServer* DeviceRegistry::find(const std::string& ip)
{
    const int index = find_index(ip);
    return index < 0 ? nullptr : &at(index);
}

bool DeviceRegistry::add_announcement(const std::string& sender, const std::string& text,
                                      int interface_index)
{
    int position = -1;
    return hear_announcement(sender, text, interface_index, position) == Heard::Added;
}

DeviceRegistry::Heard DeviceRegistry::hear_announcement(const std::string& sender,
                                                        const std::string& text,
                                                        int interface_index, int& position)
{
    position = find_index(sender);
    if (position >= 0) {
        // Devices repeat themselves on every search: this path only compares, it builds nothing.
        WebServer& record = at(position);
        std::string_view identifier;
        if (!announced_identifier(text, identifier) || identifier == record.identifier ||
            !record.other_identifier.empty())
            return Heard::Known;
        record.other_identifier = identifier;
        return Heard::Conflict;
    }

    auto record = std::make_unique<WebServer>();
    record->ip = sender;
    record->address = ip_to_int(sender);
    record->interface_index = interface_index;
    parse_announcement(*record, text);

    // Before the first record the new address sorts below by the wrapped difference. That
    // relation is not a total order across far-apart networks, so this stays a linear scan.
    std::size_t place = 0;
    while (place < addresses_.size() && ip_distance(record->address, addresses_[place]) >= 0)
        ++place;
    const auto offset = static_cast<std::ptrdiff_t>(place);
    addresses_.insert(addresses_.begin() + offset, record->address);
    records_.insert(records_.begin() + offset, std::move(record));
    position = static_cast<int>(offset);
    return Heard::Added;
}

bool DeviceRegistry::remove(const std::string& ip)
{
    const int index = find_index(ip);
    if (index < 0)
        return false;
    records_.erase(records_.begin() + index);
    addresses_.erase(addresses_.begin() + index);
    return true;
}

void DeviceRegistry::clear()
{
    records_.clear();
    addresses_.clear();
}

} // namespace nimbrel
