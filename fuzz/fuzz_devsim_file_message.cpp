// The simulator's side of a write: parse_file_message on any bytes for a few device addresses,
// and the whole Simulator::handle on a fresh device set fed every record of the input.

#include "config/scramble.h"
#include "devsim/file_message.h"
#include "devsim/simulator.h"
#include "fuzz_support.h"
#include "util/text.h"

#include <array>

namespace {

using namespace nimbrel;
using namespace nimbrel::devsim;
using fuzzing::Record;

constexpr std::array<const char*, 3> kDevices = {"10.0.0.1", "10.0.0.2", "10.0.0.3"};
constexpr std::array<const char*, 4> kSenders = {"10.0.0.100", "10.0.0.1", "192.168.1.5",
                                                 "0.0.0.0"};
constexpr AddressValue kBroadcast = 0xFFFFFFFFu;
constexpr std::string_view kHeadWord = "\ncreate_file\n";

std::vector<DeviceInfo> fixed_devices()
{
    std::vector<DeviceInfo> devices(kDevices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        devices[i].address = ip_to_int(kDevices[i]);
        devices[i].identifier = "TVX-" + std::to_string(i + 1);
        devices[i].settings = default_settings(devices[i].address);
    }
    devices[0].admin_password = "1234";
    devices[1].model = "TVX-LITE"; // no password: messages travel unscrambled
    devices[2].admin_password = "ab";
    devices[2].older_firmware = true;
    return devices;
}

bool naive_same_key_stream(std::string_view a, std::string_view b, std::size_t length)
{
    const auto byte = [](std::string_view key, std::size_t i) {
        return key.empty() ? 0 : static_cast<unsigned char>(key[i % key.size()]);
    };
    for (std::size_t i = 0; i < length; ++i)
        if (byte(a, i) != byte(b, i))
            return false;
    return true;
}

void check_parse(std::string_view bytes, const std::string& address)
{
    const std::optional<FileMessage> message = parse_file_message(bytes, address);
    const std::optional<std::string> key = recover_key(bytes, address);
    if (!message)
        return;
    FUZZ_CHECK(key && *key == message->key);
    FUZZ_CHECK(message->key.size() <= max_key_length);
    FUZZ_CHECK(message->path.find('\n') == std::string::npos);
    // Scrambling what was read with the key found gives back exactly the bytes received.
    const std::string plain =
        address + std::string(kHeadWord) + message->path + "\n" + message->content;
    FUZZ_CHECK(scramble_text(plain, message->key) == bytes);
    for (const char* password : {"", "1234", "ab", "12341234"})
        FUZZ_CHECK(same_key_stream(message->key, password, bytes.size()) ==
                   naive_same_key_stream(message->key, password, bytes.size()));
    if (is_safe_device_path(message->path)) {
        FUZZ_CHECK(message->path.front() == '/');
        FUZZ_CHECK(message->path.find("..") == std::string::npos);
        FUZZ_CHECK(message->path.find('\0') == std::string::npos);
    }
}

void check_reply(const Simulator& simulator, const Datagram& datagram, const Reply& reply)
{
    FUZZ_CHECK(simulator.device(reply.from) != nullptr);
    FUZZ_CHECK(reply.to == datagram.sender && reply.to_port == datagram.sender_port);
    const std::size_t parts = split_string(reply.bytes, ';').size();
    if (reply.bytes.starts_with("im_QUORIX;"))
        FUZZ_CHECK(parts == (simulator.device(reply.from)->older_firmware ? 2U : 18U));
    else if (reply.bytes.starts_with("network_response;"))
        FUZZ_CHECK(parts == 13U);
    else
        FUZZ_CHECK(reply.bytes == "Success" || reply.bytes == "Error");
}

// Whatever was written, every device must stay one the tool can list and read.
void check_devices(const Simulator& simulator)
{
    for (const char* address : kDevices) {
        const DeviceInfo* device = simulator.device(ip_to_int(address));
        FUZZ_CHECK(device != nullptr);
        FUZZ_CHECK(device_problem(*device).empty());
        for (const auto& [path, content] : *simulator.files(device->address))
            FUZZ_CHECK(is_safe_device_path(path));
    }
}

// Control byte: bits 0-1 the destination (a device or the broadcast), bits 2-3 the sender,
// bits 4-7 how far the clock moves on first, in quarter seconds.
Datagram datagram_of(const Record& record)
{
    const unsigned destination = record.control & 3U;
    return Datagram{record.bytes, ip_to_int(kSenders[(record.control >> 2) & 3U]),
                    static_cast<std::uint16_t>(40000 + record.control),
                    destination < kDevices.size() ? ip_to_int(kDevices[destination]) : kBroadcast};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = fuzzing::as_text(data, size);
    for (const char* address : kDevices)
        check_parse(input, address);

    // A fresh simulator per input, so a finding replays from its input alone.
    Simulator simulator(fixed_devices(), SimulatorConfig{});
    Clock::time_point now{};
    for (const Record& record : fuzzing::split_records(input)) {
        now += std::chrono::milliseconds(250 * (record.control >> 4));
        const Datagram datagram = datagram_of(record);
        const std::string target = kDevices[(record.control & 3U) % kDevices.size()];
        check_parse(record.bytes, target);
        const HandleResult result = simulator.handle(datagram, now);
        FUZZ_CHECK(result.replies.size() <= kDevices.size());
        for (const Reply& reply : result.replies)
            check_reply(simulator, datagram, reply);
        check_devices(simulator);
    }
    return 0;
}
