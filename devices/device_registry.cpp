#include "devices/device_registry.h"

namespace nimbrel {

int DeviceRegistry::find_index(const std::string& ip) const
{
    // Equal texts have equal values, so the cheap integer test only skips the string compare.
    const AddressValue value = ip_to_int(ip);
    for (int i = 0; i < count(); ++i) {
        const WebServer& record = at(i);
        if (record.address == value && record.ip == ip)
            return i;
    }
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

    WebServer record;
    record.ip = sender;
    record.address = ip_to_int(sender);
    record.interface_index = interface_index;
    parse_announcement(record, text);

    // Before the first record the new address sorts below by the wrapped difference. That
    // relation is not a total order across far-apart networks, so this stays a linear scan.
    auto position = records_.begin();
    while (position != records_.end() && ip_distance(record.address, position->address) >= 0)
        ++position;
    records_.insert(position, std::move(record));
    return true;
}

bool DeviceRegistry::remove(const std::string& ip)
{
    const int index = find_index(ip);
    if (index < 0)
        return false;
    records_.erase(records_.begin() + index);
    return true;
}

} // namespace nimbrel
