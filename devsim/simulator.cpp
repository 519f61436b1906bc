#include "devsim/simulator.h"

#include "devsim/file_store.h"
#include "devsim/settings_files.h"

#include <algorithm>

namespace nimbrel::devsim {

namespace {

constexpr std::string_view search_word = "find_QUORIX";
constexpr std::string_view get_network_word = "get_network";

std::string endpoint_text(AddressValue address, std::uint16_t port)
{
    return int_to_ip(address) + ":" + std::to_string(port);
}

} // namespace

Simulator::Simulator(std::vector<DeviceInfo> devices, SimulatorConfig config)
    : config_(std::move(config))
{
    devices_.reserve(devices.size());
    for (auto& info : devices) {
        if (index_.contains(info.address)) {
            continue;
        }
        index_.emplace(info.address, devices_.size());
        SimDevice device;
        device.address_text = int_to_ip(info.address);
        device.announcement = announcement_text(info);
        device.info = std::move(info);
        devices_.push_back(std::move(device));
    }
}

HandleResult Simulator::handle(const Datagram& datagram, Clock::time_point now)
{
    HandleResult result;
    // Messages go first: an unscrambled one may carry the search word inside a file's content.
    if (take_file_message(datagram, now, result)) {
        return result;
    }
    if (datagram.bytes.find(search_word) != std::string_view::npos) {
        answer_search(datagram, now, result);
    } else if (datagram.bytes.find(get_network_word) != std::string_view::npos) {
        answer_get_network(datagram, now, result);
    }
    return result;
}

const DeviceInfo* Simulator::device(AddressValue address) const
{
    const auto it = index_.find(address);
    return it == index_.end() ? nullptr : &devices_[it->second].info;
}

const std::map<std::string, std::string>* Simulator::files(AddressValue address) const
{
    const auto it = index_.find(address);
    return it == index_.end() ? nullptr : &devices_[it->second].files;
}

std::optional<Clock::time_point> Simulator::next_restart_end() const
{
    std::optional<Clock::time_point> earliest;
    for (const auto& device : devices_) {
        if (device.restart_end && (!earliest || *device.restart_end < *earliest)) {
            earliest = device.restart_end;
        }
    }
    return earliest;
}

std::vector<std::string> Simulator::finish_restarts(Clock::time_point now)
{
    std::vector<std::string> events;
    for (auto& device : devices_) {
        if (device.restart_end && *device.restart_end <= now) {
            device.restart_end.reset();
            events.push_back("device " + device.address_text + " is back after restart");
        }
    }
    return events;
}

Simulator::SimDevice* Simulator::find(AddressValue address)
{
    const auto it = index_.find(address);
    return it == index_.end() ? nullptr : &devices_[it->second];
}

bool Simulator::is_silent(const SimDevice& device, Clock::time_point now)
{
    return device.restart_end && now < *device.restart_end;
}

void Simulator::answer_search(const Datagram& datagram, Clock::time_point now, HandleResult& result)
{
    // A search sent straight to one device's address reaches only that device.
    SimDevice* const addressed = find(datagram.destination);
    for (auto& device : devices_) {
        if ((addressed && &device != addressed) || is_silent(device, now)) {
            continue;
        }
        result.replies.push_back(
            {device.info.address, datagram.sender, datagram.sender_port, device.announcement});
    }
    result.events.push_back("answered search from " +
                            endpoint_text(datagram.sender, datagram.sender_port) + " with " +
                            std::to_string(result.replies.size()) + " announcements");
}

void Simulator::answer_get_network(const Datagram& datagram, Clock::time_point now,
                                   HandleResult& result)
{
    SimDevice* const device = find(datagram.destination);
    if (!device) {
        result.events.push_back("ignored get_network sent to " + int_to_ip(datagram.destination));
        return;
    }
    if (is_silent(*device, now)) {
        return;
    }
    if (!device->info.answers_get_network) {
        result.events.push_back("ignored get_network from " +
                                endpoint_text(datagram.sender, datagram.sender_port) + " for " +
                                device->address_text + " (set not to answer it)");
        return;
    }
    result.replies.push_back({device->info.address, datagram.sender, datagram.sender_port,
                              settings_reply_text(device->info.settings)});
    result.events.push_back("answered get_network from " +
                            endpoint_text(datagram.sender, datagram.sender_port) + " for " +
                            device->address_text);
}

bool Simulator::take_file_message(const Datagram& datagram, Clock::time_point now,
                                  HandleResult& result)
{
    for (auto& device : devices_) {
        auto message = parse_file_message(datagram.bytes, device.address_text);
        if (!message) {
            continue;
        }
        if (is_silent(device, now)) {
            result.events.push_back("ignored a message for " + device.address_text +
                                    " (restarting)");
            return true;
        }
        auto& pending = device.pending;
        if (!same_key_stream(message->key, device.info.admin_password, datagram.bytes.size()) ||
            !is_safe_device_path(message->path) || pending.files.size() >= max_messages_per_write) {
            pending.refused = true;
        }
        const bool is_marker = message->path == update_marker_path;
        result.events.push_back("message for " + device.address_text + ": " + message->path + " (" +
                                std::to_string(message->content.size()) + " bytes)");
        if (pending.files.size() < max_messages_per_write) {
            pending.files.push_back(std::move(*message));
        }
        if (is_marker) {
            finish_write(device, datagram, now, result);
        }
        return true;
    }
    return false;
}

void Simulator::finish_write(SimDevice& device, const Datagram& datagram, Clock::time_point now,
                             HandleResult& result)
{
    std::string error = "wrong password or refused message";
    const auto file_count = device.pending.files.size();
    const bool success = !device.pending.refused && accept_write(device, error);
    device.pending = {};
    if (success) {
        result.events.push_back(
            "wrote " + std::to_string(file_count) + " files for " + device.address_text +
            (config_.files_dir ? " under " + (*config_.files_dir / device.address_text).string()
                               : std::string(" (in memory)")));
    }
    result.replies.push_back({device.info.address, datagram.sender, datagram.sender_port,
                              success ? "Success" : "Error"});
    result.events.push_back(std::string("verdict ") + (success ? "Success" : "Error") + " for " +
                            device.address_text + " to " +
                            endpoint_text(datagram.sender, datagram.sender_port) +
                            (success ? "" : " (" + error + ")"));
    if (success && config_.restart_time.count() > 0) {
        device.restart_end = now + config_.restart_time;
        result.events.push_back("device " + device.address_text + " restarting for " +
                                std::to_string(config_.restart_time.count()) + " ms");
    }
}

bool Simulator::accept_write(SimDevice& device, std::string& error)
{
    const auto& files = device.pending.files;
    if (config_.files_dir &&
        !store_device_files(*config_.files_dir, device.address_text, files, error)) {
        return false;
    }
    for (const auto& file : files) {
        device.files[file.path] = file.content;
        if (file.path == config_net_path) {
            apply_config_net(device.info.settings, file.content);
        } else if (file.path == config_eth_path) {
            apply_config_eth(device.info.settings, file.content);
        }
    }
    device.announcement = announcement_text(device.info);
    return true;
}

} // namespace nimbrel::devsim
