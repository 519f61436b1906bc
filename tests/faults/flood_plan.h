#pragma once
// The datagrams of the flood test: noise, announcements from thousands of addresses, malformed
// announcements, settings replies of every part count, verdict texts from the wrong addresses,
// empty datagrams and datagrams at and over the size limit, in a fixed pseudo-random order.
// The plan also says what the list must show afterwards, worked out from what it generated.

#include "flood.h"

#include <map>
#include <string>
#include <vector>

namespace nimbrel::testing {

struct ExpectedRow {
    AddressValue address = 0;
    std::string caption;
    std::string identifier;
};

struct FloodPlan {
    // Before "Clear list"; it ends with an announcement from earlyMarker.
    FloodPhase early;
    // After it; it ends with an announcement from lastMarker.
    FloodPhase main;
    AddressValue earlyMarker = 0;
    AddressValue lastMarker = 0;
    // Every address announced in the main phase within the size limit, in address order, with
    // what its row shows: the first such announcement from it wins.
    std::vector<ExpectedRow> listed;
    // Addresses that announced only early, or only over the size limit: never listed at the end.
    std::vector<AddressValue> neverListed;
    std::map<std::string, int> kinds; // datagrams of each kind, for the record
};

// total datagrams in all, a tenth of them early. No datagram with a verdict word comes from
// writeTarget, the device the window last wrote to.
FloodPlan makeFloodPlan(int lan, int total, AddressValue writeTarget);

// A valid 18-part announcement as the plan sends it for a device address.
std::string floodAnnouncement(int lan, AddressValue address);

} // namespace nimbrel::testing
