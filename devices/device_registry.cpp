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
    if (find_index(sender) >= 0)
        return false;

    auto record = std::make_unique<WebServer>();
    record->ip = sender;
    record->address = ip_to_int(sender);
    record->interface_index = interface_index;
    parse_announcement(*record, text);

    // Before the first record the new address sorts below by the wrapped difference. That
    // relation is not a total order across far-apart networks, so this stays a linear scan.
    std::size_t position = 0;
    while (position < addresses_.size() && ip_distance(record->address, addresses_[position]) >= 0)
        ++position;
    const auto offset = static_cast<std::ptrdiff_t>(position);
    addresses_.insert(addresses_.begin() + offset, record->address);
    records_.insert(records_.begin() + offset, std::move(record));
    return true;
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
