#pragma once
// A set of simulated devices that share one receiving point and answer datagrams as devices do.
// No sockets here: the caller feeds datagrams in and sends the replies out.

#include "devsim/device.h"
#include "devsim/file_message.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nimbrel::devsim {

using Clock = std::chrono::steady_clock;

struct Reply {
    AddressValue from = 0; // the answering device's own address
    AddressValue to = 0;
    std::uint16_t to_port = 0;
    std::string bytes;
};

struct Datagram {
    std::string_view bytes;
    AddressValue sender = 0;
    std::uint16_t sender_port = 0;
    AddressValue destination = 0; // the address the datagram was sent to, broadcast included
};

struct HandleResult {
    std::vector<Reply> replies;
    std::vector<std::string> events; // one human-readable line per thing that happened
};

struct SimulatorConfig {
    std::chrono::milliseconds restart_time{3000};
    // Where accepted files are stored, under <files_dir>/<device address>/; none keeps them in
    // memory only.
    std::optional<std::filesystem::path> files_dir;
};

// Writes beyond this many messages without a closing marker are refused, so a flood of
// messages cannot grow a device's memory without bound.
inline constexpr std::size_t max_messages_per_write = 16;

class Simulator {
public:
    // Addresses must be unique; later duplicates are unreachable.
    Simulator(std::vector<DeviceInfo> devices, SimulatorConfig config);

    HandleResult handle(const Datagram& datagram, Clock::time_point now);

    std::size_t device_count() const { return devices_.size(); }
    const DeviceInfo* device(AddressValue address) const;
    // The files of the device's accepted writes, by path on the device.
    const std::map<std::string, std::string>* files(AddressValue address) const;

    // When the earliest restart ends, if any device is restarting.
    std::optional<Clock::time_point> next_restart_end() const;
    // Ends the restarts that are over by now; one event per device back on line.
    std::vector<std::string> finish_restarts(Clock::time_point now);

private:
    struct PendingWrite {
        std::vector<FileMessage> files;
        bool refused = false;
    };
    struct SimDevice {
        DeviceInfo info;
        std::string address_text;
        std::string announcement;
        PendingWrite pending;
        std::optional<Clock::time_point> restart_end;
        std::map<std::string, std::string> files;
    };

    SimDevice* find(AddressValue address);
    static bool is_silent(const SimDevice& device, Clock::time_point now);
    void answer_search(const Datagram& datagram, Clock::time_point now, HandleResult& result);
    void answer_get_network(const Datagram& datagram, Clock::time_point now, HandleResult& result);
    bool take_file_message(const Datagram& datagram, Clock::time_point now, HandleResult& result);
    void finish_write(SimDevice& device, const Datagram& datagram, Clock::time_point now,
                      HandleResult& result);
    bool accept_write(SimDevice& device, std::string& error);

    std::vector<SimDevice> devices_;
    std::unordered_map<AddressValue, std::size_t> index_;
    SimulatorConfig config_;
};

} // namespace nimbrel::devsim
