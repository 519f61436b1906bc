// Discovery burst: the real window with the program's own endpoint (0.0.0.0:12340, searches to
// 255.255.255.255) in the virtual LAN's tool namespace, and N simulated devices in LAN 1 that all
// answer its one search at once.
//
// The end of the burst is the arrival of the last answer at the tool namespace's interface,
// taken from the kernel's own timestamp on a packet capture there: it is independent of the
// window's socket (which may be slow to read, or drop), unlike the simulator's "sent" line, which
// only says when the sender's loop ended. The list counts as complete when its model has the row.
//
// Run by bench/run; prints rows of the shared table.

#include "arguments.h"
#include "figures.h"
#include "loopback_flood.h"
#include "packet_probe.h"
#include "vlan_env.h"
#include "window_watch.h"

#include "app/device_list_model.h"
#include "app/tform1.h"
#include "window_widgets.h"

#include <QApplication>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace nimbrel;
using namespace nimbrel::bench;
using nimbrel::testing::child;

namespace {

constexpr int kHeartbeatMs = 2;
// The burst is over when nothing new arrived or was listed for this long.
constexpr int kQuietMs = 2000;
constexpr int kMaxRunMs = 60000;
// After the list is complete: the held repaint of the list also runs in the window's thread.
constexpr int kRepaintTailMs = 300;

struct Burst {
    double searchMs = 0;
    int answersHandedOver = 0; // the window also hears its own search, which is not counted
    double lastHandedOverMs = 0;
};

// The simulator's own figure from its "sent N replies in X ms" line, or empty.
std::string simulatorSendTime(const std::string& logPath)
{
    std::ifstream log(logPath);
    for (std::string line; std::getline(log, line);) {
        unsigned replies = 0;
        double ms = 0;
        if (std::sscanf(line.c_str(), "sent %u replies in %lf ms", &replies, &ms) == 2)
            return grouped(replies) + " in " + withUnit(ms, 1, "ms");
    }
    return "no \"sent\" line";
}

// Lowers the window socket's buffer to what an unprivileged program gets under a stock kernel
// limit (net.core.rmem_max); the kernel doubles the figure as it does for the program itself.
void capReceiveBuffer(int bytes)
{
    const int fd = ownSocketBoundTo(DiscoveryPort);
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0)
        throw std::runtime_error("cannot cap the window's receive buffer");
}

// Goes on as an ordinary user: the window's endpoint then gets what a desktop user's program gets
// (SO_RCVBUFFORCE refused, SO_RCVBUF capped by the system). The packet capture, opened before,
// keeps the privilege it was opened with.
void becomeUser(const std::string& name)
{
    const passwd* user = ::getpwnam(name.c_str());
    if (user == nullptr)
        throw std::runtime_error("no user " + name);
    if (::setgroups(0, nullptr) != 0 || ::setgid(user->pw_gid) != 0 ||
        ::setuid(user->pw_uid) != 0 || ::geteuid() == 0)
        throw std::runtime_error("cannot become user " + name);
    // A change of user makes /proc/self root's; the benchmark still reads its own descriptors.
    ::prctl(PR_SET_DUMPABLE, 1);
}

std::vector<CapturedDatagram> answersAfter(const PacketProbe& probe, double fromMs)
{
    std::vector<CapturedDatagram> answers;
    for (CapturedDatagram& datagram : probe.captured())
        if (datagram.sourcePort == DiscoveryPort && datagram.timeMs >= fromMs)
            answers.push_back(std::move(datagram));
    return answers;
}

// The same burst into a bare recvmmsg loop on port 12340 with the same user and buffer, instead of
// the window: the most any program could keep of it on this machine, a ceiling for the window.
int runBareLoop(int devices, const std::string& label, int receiveBuffer)
{
    const int fd = loopbackSocket("0.0.0.0", DiscoveryPort);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in everyone{};
    everyone.sin_family = AF_INET;
    everyone.sin_port = htons(DiscoveryPort);
    everyone.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (::sendto(fd, kSearchWord, std::strlen(kSearchWord), 0,
                 reinterpret_cast<const sockaddr*>(&everyone), sizeof everyone) < 0)
        throw std::runtime_error("the bare loop cannot broadcast its search");
    const std::atomic<bool> searched{true};
    const Reception received = receiveBatchesUntilQuiet(fd, searched, kQuietMs, kMaxRunMs);
    const auto socket = udpSocketState(DiscoveryPort);
    ::close(fd);
    // The loop also hears its own search.
    printRow(label, "bare recvmmsg loop instead of the window: answers received",
             grouped(received.count - 1) + " of " + grouped(devices), "all of them");
    printRow(label, "bare recvmmsg loop: dropped by its socket (/proc/net/udp drops)",
             socket ? grouped(static_cast<long long>(socket->drops)) : "socket not found", "0");
    return received.count > 0 ? 0 : 1;
}

int run(const Arguments& arguments)
{
    requireToolNamespace();
    const int devices = static_cast<int>(arguments.number("devices", 254));
    // A variant (e.g. a smaller receive buffer) is named after the size.
    const std::string variant = arguments.text("variant", "");
    const std::string label =
        "discovery, " + grouped(devices) + " devices" + (variant.empty() ? "" : ", " + variant);
    const std::string interfaceName = vlanVariable("NIMBREL_LAN1_IFACE_TOOL");

    const std::string user = arguments.text("as-user", "");
    // Also beside the bare loop: the capture costs CPU time while a burst arrives, and the loop
    // is to be measured as the window is.
    PacketProbe probe(interfaceName, DiscoveryPort, {});
    if (!user.empty())
        becomeUser(user);
    if (arguments.number("bare", 0) != 0)
        return runBareLoop(devices, label, static_cast<int>(arguments.number("rcvbuf-cap", 0)));

    DeviceRegistry servers;
    TForm1::Options options; // the program's endpoint: 0.0.0.0, 12340, 255.255.255.255
    options.refreshIntervalMs = 24 * 3600 * 1000;
    TForm1 form(servers, options);
    form.show();
    if (form.startupFailed())
        throw std::runtime_error("the window could not bind port 12340");
    const int grantedByEndpoint = child<UdpEndpoint>(form, "server")->receiveBufferSize();
    if (const long long cap = arguments.number("rcvbuf-cap", 0); cap > 0)
        capReceiveBuffer(static_cast<int>(cap));

    Burst burst;
    // The window's own dispatcher, counted on the way in.
    child<UdpEndpoint>(form, "server")->setHandler([&form, &burst](const Datagram& datagram) {
        if (datagram.bytes != kSearchWord)
            ++burst.answersHandedOver;
        burst.lastHandedOverMs = realtimeMs();
        form.serverUDPRead(datagram);
    });
    ListGrowth list(form.listModel());
    Heartbeat heartbeat(kHeartbeatMs);
    runFor(100); // the window settles before the clock starts

    heartbeat.start();
    burst.searchMs = realtimeMs();
    form.button_refreshClick();
    runUntil(
        [&] {
            const double last =
                std::max({burst.searchMs, list.lastGrowthMs(), burst.lastHandedOverMs});
            return list.rows() >= devices || realtimeMs() - last > kQuietMs;
        },
        kMaxRunMs);
    runFor(kRepaintTailMs);
    heartbeat.stop();
    probe.stop();

    const std::vector<CapturedDatagram> answers = answersAfter(probe, burst.searchMs);
    double lastArrival = burst.searchMs;
    for (const CapturedDatagram& answer : answers)
        lastArrival = std::max(lastArrival, answer.timeMs);
    const auto socket = udpSocketState(DiscoveryPort);

    printRow(label, "devices listed", grouped(list.rows()) + " of " + grouped(devices),
             "all of them");
    printRow(label, "search to last device listed",
             withUnit(list.lastGrowthMs() - burst.searchMs, 0, "ms"));
    printRow(label, "search to last answer arrived (kernel timestamp)",
             withUnit(lastArrival - burst.searchMs, 0, "ms"));
    printRow(label, "last answer arrived to last device listed",
             withUnit(list.lastGrowthMs() - lastArrival, 0, "ms"), "within 300 ms");
    printRow(label, "longest stall of the window's thread",
             withUnit(heartbeat.longestGapMs(), 1, "ms"), "under 50 ms");
    printRow(label, "answers: sent by the simulator",
             simulatorSendTime(arguments.text("devsim-log", "")));
    printRow(label, "answers: arrived at the tool's interface / handed to the window",
             grouped(static_cast<long long>(answers.size())) + " / " +
                 grouped(burst.answersHandedOver) + " (capture lost " +
                 std::to_string(probe.captureDrops()) + ")");
    printRow(label, "answers: dropped by the window's socket (/proc/net/udp drops)",
             socket ? grouped(static_cast<long long>(socket->drops)) : "socket not found", "0");
    const EndpointCounters queue = child<UdpEndpoint>(form, "server")->counters();
    printRow(label, "endpoint's queue: dropped by size / by bound; peak",
             grouped(static_cast<long long>(queue.dropped_by_size)) + " / " +
                 grouped(static_cast<long long>(queue.dropped_by_bound)) + "; " +
                 grouped(static_cast<long long>(queue.peak_queued_bytes)) + " bytes of " +
                 grouped(static_cast<long long>(kDefaultQueueBound)),
             "0 / 0");
    printRow(label, "receive buffer granted (SO_RCVBUF)",
             grouped(child<UdpEndpoint>(form, "server")->receiveBufferSize()) + " bytes" +
                 (user.empty() ? std::string()
                               : " (uid " + std::to_string(::getuid()) + "; the endpoint got " +
                                     grouped(grantedByEndpoint) + ")"));
    form.close();
    // Figures are never judged here; no answer captured at all means the run itself is broken.
    return answers.empty() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_discovery", argc, argv, run);
}
