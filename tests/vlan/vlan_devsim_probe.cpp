// The tool side of the devsim self-test in the virtual LAN: searches, asks for settings and writes
// settings as the tool does, from 0.0.0.0:12340, and checks every answer's sender address.
// Refuses to run anywhere but in the tool namespace: it broadcasts.
//
//   vlan_devsim_probe --devices N --first A [--older K] [--other-lan-device B]
//                     [--write-to D --password P --restart-ms MS]

#include "config/config_files.h"
#include "config/scramble.h"
#include "util/address.h"
#include "util/text.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace nimbrel;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint16_t device_port = 12340;
constexpr AddressValue broadcast = 0xFFFFFFFFu;

struct Options {
    long devices = 0;
    AddressValue first = 0;
    long older = 0;
    AddressValue other_lan_device = 0;
    AddressValue write_to = 0;
    std::string password;
    long restart_ms = 0;
};

struct Datagram {
    AddressValue from = 0;
    std::uint16_t port = 0;
    std::string bytes;
};

int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) {
        ++failures;
    }
}

// True only inside the tool namespace of the virtual LAN (scripts/vlan names it in
// NIMBREL_TOOL_NS and ip netns keeps it under /run/netns).
bool in_tool_namespace()
{
    const char* name = std::getenv("NIMBREL_TOOL_NS");
    struct stat self {};
    struct stat tool {};
    return name && *name && std::strchr(name, '/') == nullptr &&
           stat("/proc/self/ns/net", &self) == 0 &&
           stat((std::string("/run/netns/") + name).c_str(), &tool) == 0 &&
           self.st_ino == tool.st_ino && self.st_dev == tool.st_dev;
}

std::optional<Options> parse_options(int argc, char** argv)
try {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--devices") {
            o.devices = std::stol(value);
        } else if (name == "--first") {
            o.first = ip_to_int(value);
        } else if (name == "--older") {
            o.older = std::stol(value);
        } else if (name == "--other-lan-device") {
            o.other_lan_device = ip_to_int(value);
        } else if (name == "--write-to") {
            o.write_to = ip_to_int(value);
        } else if (name == "--password") {
            o.password = value;
        } else if (name == "--restart-ms") {
            o.restart_ms = std::stol(value);
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0 || o.devices <= 0 || o.first == 0) {
        return std::nullopt;
    }
    return o;
} catch (const std::exception&) { // a number that std::stol cannot read
    return std::nullopt;
}

class Socket {
public:
    Socket()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        const int buffer = 32 * 1024 * 1024;
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        // A search of thousands of devices arrives in one burst; forcing needs root, which the
        // virtual LAN has anyway.
        if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0) {
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        }
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(device_port);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~Socket() { close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool bound() const { return bound_; }

    bool send(AddressValue to, const std::string& bytes)
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(to);
        sa.sin_port = htons(device_port);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa),
                      sizeof sa) == static_cast<ssize_t>(bytes.size());
    }

    // The next datagram from someone else, or nothing once deadline has passed. Our own
    // broadcasts come back to this socket and are dropped here, as the tool drops them.
    std::optional<Datagram> receive(Clock::time_point deadline)
    {
        for (;;) {
            auto d = receive_any(deadline);
            if (!d || !own_addresses_.contains(d->from)) {
                return d;
            }
        }
    }

    void add_own_address(AddressValue address) { own_addresses_.insert(address); }

private:
    std::optional<Datagram> receive_any(Clock::time_point deadline)
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return std::nullopt;
        }
        Datagram d;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const auto got = recvfrom(fd_, buffer_.data(), buffer_.size(), 0,
                                  reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) {
            return std::nullopt;
        }
        d.bytes.assign(buffer_.data(), static_cast<std::size_t>(got));
        d.from = ntohl(from.sin_addr.s_addr);
        d.port = ntohs(from.sin_port);
        return d;
    }

public:
    // Every datagram until deadline, stopping early once `enough` have arrived and `grace` has
    // passed without more.
    std::vector<Datagram> collect(Clock::time_point deadline, std::size_t enough,
                                  Clock::duration grace)
    {
        std::vector<Datagram> all;
        while (auto d = receive(all.size() >= enough ? std::min(deadline, Clock::now() + grace)
                                                     : deadline)) {
            all.push_back(std::move(*d));
            last_arrival_ = Clock::now();
            if (all.size() == 1) {
                first_arrival_ = last_arrival_;
            }
        }
        return all;
    }

    Clock::time_point first_arrival() const { return first_arrival_; }
    Clock::time_point last_arrival() const { return last_arrival_; }

private:
    int fd_ = -1;
    bool bound_ = false;
    std::vector<char> buffer_ = std::vector<char>(65536);
    Clock::time_point first_arrival_{};
    Clock::time_point last_arrival_{};
    std::set<AddressValue> own_addresses_;
};

void check_search(Socket& socket, const Options& o)
{
    const auto start = Clock::now();
    check(socket.send(broadcast, "find_QUORIX"), "search sent to 255.255.255.255:12340");
    const auto answers = socket.collect(start + 10s, std::size_t(o.devices), 300ms);
    const auto first = answers.empty() ? start : socket.first_arrival();
    const auto last = answers.empty() ? start : socket.last_arrival();
    std::set<AddressValue> senders;
    long full = 0;
    long short_ = 0;
    long bad = 0;
    for (const auto& a : answers) {
        const auto parts = split_string(a.bytes, ';');
        const bool from_device = a.from >= o.first && a.from < o.first + AddressValue(o.devices);
        if (!from_device || a.port != device_port || !senders.insert(a.from).second ||
            !contains(a.bytes, "im_QUORIX")) {
            ++bad;
        } else if (parts.size() == 18 && parts[15] == int_to_ip(a.from)) {
            ++full; // eth_ip is the device's own address: the reply came from the right one
        } else if (parts.size() < 18) {
            ++short_;
        } else {
            ++bad;
        }
    }
    check(full == o.devices - o.older && short_ == o.older && bad == 0,
          "search answered by " + std::to_string(full) + " full and " + std::to_string(short_) +
              " short announcements from the device addresses, " + std::to_string(bad) +
              " unexpected (want " + std::to_string(o.devices - o.older) + " and " +
              std::to_string(o.older) + ")");
    const auto ms = [start](Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(t - start).count();
    };
    std::printf("measured: %zu announcements; the first arrived %.1f ms, the last %.1f ms after "
                "the search was sent\n",
                answers.size(), ms(first), ms(last));
}

std::optional<Datagram> ask_settings(Socket& socket, AddressValue device, Clock::duration wait = 3s)
{
    if (!socket.send(device, "get_network")) {
        return std::nullopt;
    }
    auto answers = socket.collect(Clock::now() + wait, 1, 200ms);
    if (answers.size() != 1) {
        return std::nullopt;
    }
    return answers.front();
}

void check_get_network(Socket& socket, AddressValue device, const std::string& expect_eth_ip)
{
    const auto reply = ask_settings(socket, device);
    const auto parts = reply ? split_string(reply->bytes, ';') : std::vector<std::string>{};
    check(reply && reply->from == device && parts.size() == 13 && parts[0] == "network_response" &&
              parts[10] == expect_eth_ip,
          "get_network to " + int_to_ip(device) + " answered once, from that address, " +
              "with 13 parts (got " + (reply ? reply->bytes : std::string("nothing")) + ")");
}

void check_write(Socket& socket, const Options& o)
{
    const std::string target = int_to_ip(o.write_to);
    const std::vector<std::string> messages{
        build_config_net(target, "No", "VlanNet", "secret99", "WPA", "No", "192.168.9.9",
                         "255.255.255.0", "192.168.9.1"),
        build_config_eth(target, "No", target, "255.255.0.0", "10.101.255.254"),
        build_wpa_supplicant_conf(target, "1", "VlanNet", "secret99"),
        build_hostapd_conf(target, 2, "VlanNet", "secret99"),
        build_udhcpd_conf(target, "255.255.255.0", "192.168.9.1"),
        build_update_marker(target)};
    bool sent = true;
    for (const auto& message : messages) {
        sent = socket.send(broadcast, scramble_text(message, o.password)) && sent;
    }
    const auto answers = socket.collect(Clock::now() + 3s, 1, 200ms);
    check(sent && answers.size() == 1 && answers.front().from == o.write_to &&
              answers.front().bytes == "Success",
          "write to " + target + " answered once with Success from that address");
    std::this_thread::sleep_for(std::chrono::milliseconds(o.restart_ms + 100));
    const auto reply = ask_settings(socket, o.write_to);
    check(reply && contains(reply->bytes, ";VlanNet;wpa;secret99;no;192.168.9.9;"),
          "after the restart get_network reports the written settings (got " +
              (reply ? reply->bytes : std::string("nothing")) + ")");
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = parse_options(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s --devices N --first A [--older K] [--other-lan-device B] "
                     "[--write-to D --password P --restart-ms MS]\n",
                     argv[0]);
        return 2;
    }
    if (!in_tool_namespace()) {
        std::fprintf(stderr, "vlan_devsim_probe: refusing to broadcast outside the virtual LAN's "
                             "tool namespace; run it with ip netns exec \"$NIMBREL_TOOL_NS\"\n");
        return 2;
    }
    Socket socket;
    const char* lans = std::getenv("NIMBREL_LANS");
    for (int k = 1; lans && k <= std::atoi(lans); ++k) {
        const char* own = std::getenv(("NIMBREL_LAN" + std::to_string(k) + "_TOOL_ADDR").c_str());
        socket.add_own_address(ip_to_int(own ? own : ""));
    }
    check(socket.bound(), "bound 0.0.0.0:12340 in the tool namespace");
    if (!socket.bound()) {
        return 1;
    }
    check_search(socket, *options);
    const AddressValue middle = options->first + AddressValue(options->devices / 2);
    check_get_network(socket, middle, int_to_ip(middle));
    check(!ask_settings(socket, broadcast, 500ms), "broadcast get_network gets no answer");
    if (options->other_lan_device != 0) {
        check_get_network(socket, options->other_lan_device, int_to_ip(options->other_lan_device));
    }
    if (options->write_to != 0) {
        check_write(socket, *options);
    }
    std::printf("%d failed checks\n", failures);
    return failures == 0 ? 0 : 1;
}
