#pragma once
// The devices heard from since start-up, at most one per sender address, in the order of the
// wrapped address difference (plain ascending order within one network).

#include "devices/web_server.h"

#include <memory>
#include <string>
#include <vector>

namespace nimbrel {

class DeviceRegistry {
public:
    int count() const { return static_cast<int>(records_.size()); }
    bool contains_index(int index) const { return index >= 0 && index < count(); }
    const WebServer& at(int index) const { return *records_[static_cast<std::size_t>(index)]; }
    WebServer& at(int index) { return *records_[static_cast<std::size_t>(index)]; }

    // The first record whose ip equals the text exactly, or nullptr.
    WebServer* find(const std::string& ip);

    enum class Heard {
        Added,    // a new record
        Known,    // the address is listed and nothing about it changed
        Conflict, // the address is listed, and this is the first time another identifier
                  // answered from it: the record's other_identifier now names it
    };

    // As add_announcement, and also notes when a second device answers from a listed address.
    // The record itself stays as the first announcement made it. Sets position to the record's.
    Heard hear_announcement(const std::string& sender, const std::string& text, int interface_index,
                            int& position);

    // Lists the sender of an announcement unless its address is already listed: the first
    // announcement from an address wins. A device whose announcement doesn't parse is still
    // listed, with its address only. Returns whether a record was added.
    bool add_announcement(const std::string& sender, const std::string& text,
                          int interface_index = 0);

    // Removes the first record whose ip equals the text, keeping the others' order.
    bool remove(const std::string& ip);
    void clear();

private:
    int find_index(const std::string& ip) const;

    // Records stay where they are in memory as others come and go, so inserting among
    // thousands moves pointers, not records; the addresses sit apart so scans stay in cache.
    std::vector<std::unique_ptr<WebServer>> records_;
    std::vector<AddressValue> addresses_;
};

} // namespace nimbrel
