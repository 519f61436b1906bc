// Datagram handling rate: noise and repeated announcements from devices already listed, sent as
// fast as one thread can to the window's endpoint (receiving thread, hand-over, dispatcher,
// TForm1) and, in the same run, to a bare blocking recvfrom loop on another port: the ceiling of
// this machine. Everything is on loopback addresses in the tool namespace.
//
// The datagrams go out in rounds while the receiver is held (the window's thread is the one
// sending; the bare loop reads only after), so each round fills the socket's queue and the rate
// is how fast a full queue is drained, with no sender sharing the two cores meanwhile.

#include "arguments.h"
#include "figures.h"
#include "loopback_flood.h"
#include "vlan_env.h"
#include "window_watch.h"

#include "app/tform1.h"

#include <QApplication>

#include <cmath>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace nimbrel;
using namespace nimbrel::bench;

namespace {

constexpr int kDevices = 64;
// Small enough for the socket's queue to hold it whole.
constexpr long long kRound = 10000;
constexpr int kFloodMaxMs = 10000;
constexpr int kQuietMs = 500;
// What the endpoint asks for, so the bare loop gets the same queue.
constexpr int kReceiveBuffer = 16 * 1024 * 1024;

const std::string kAnnouncement = "im_QUORIX;QUORIX;TVX;2.4.1;1187;admin;no;Office;wpa;secret123;"
                                  "yes;10.0.0.9;255.0.0.0;10.0.0.1;yes;;;;";
const std::string kNoise = "a datagram of no interest: no search word, no answer word, 64 bytes";
const std::vector<std::string> kMix = {kNoise, kAnnouncement};

struct Devices {
    Devices()
    {
        for (int i = 0; i < kDevices; ++i)
            sockets.push_back(loopbackSocket("127.0.0." + std::to_string(2 + i)));
    }
    ~Devices()
    {
        for (int fd : sockets)
            ::close(fd);
    }
    std::vector<int> sockets;
};

struct Rate {
    long long sent = 0;
    long long received = 0;
    double drainingMs = 0;
    double inHandlerMs = 0; // the window only: time spent inside serverUDPRead

    void add(long long roundSent, const Reception& round)
    {
        sent += roundSent;
        received += round.count;
        if (round.count > 0)
            drainingMs += round.lastMs - round.firstMs;
    }
    double perSecond() const { return drainingMs > 0 ? received * 1000.0 / drainingMs : 0; }
};

std::uint16_t freeLoopbackPort()
{
    const int fd = loopbackSocket("127.0.0.1");
    const std::uint16_t port = boundPort(fd);
    ::close(fd);
    return port;
}

Rate measureWindow(const Devices& devices, long long count)
{
    const std::uint16_t port = freeLoopbackPort();
    DeviceRegistry servers;
    TForm1::Options options;
    options.endpoint = {"127.0.0.1", port, "127.0.0.1"};
    options.refreshIntervalMs = 24 * 3600 * 1000;
    TForm1 form(servers, options);
    form.show();
    if (form.startupFailed())
        throw std::runtime_error("the window could not bind its loopback port");

    // Every device listed first: the flood then repeats known announcements.
    flood(devices.sockets, {kAnnouncement}, port, kDevices, kFloodMaxMs);
    if (!runEventsUntil([&] { return servers.count() == kDevices; }, 5000))
        throw std::runtime_error("the devices were not listed");

    Reception round;
    Rate rate;
    form.server->setHandler([&](const Datagram& datagram) {
        const double start = realtimeMs();
        form.serverUDPRead(datagram);
        ++round.count;
        round.lastMs = realtimeMs();
        rate.inHandlerMs += round.lastMs - start;
    });
    for (long long done = 0; done < count; done += kRound) {
        const long long sent =
            flood(devices.sockets, kMix, port, std::min(kRound, count - done), kFloodMaxMs);
        round = {0, realtimeMs(), 0};
        double quietSince = round.firstMs;
        long long seen = 0;
        runEventsUntil(
            [&] {
                if (round.count != seen)
                    seen = round.count, quietSince = realtimeMs();
                return round.count >= sent || realtimeMs() - quietSince > kQuietMs;
            },
            30000);
        rate.add(sent, round);
    }
    form.close();
    return rate;
}

Rate measureBareLoop(const Devices& devices, long long count)
{
    const int fd = loopbackSocket("127.0.0.1");
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer);
    Rate rate;
    for (long long done = 0; done < count; done += kRound) {
        const long long sent = flood(devices.sockets, kMix, boundPort(fd),
                                     std::min(kRound, count - done), kFloodMaxMs);
        rate.add(sent, drainSocket(fd, sent, kQuietMs));
    }
    ::close(fd);
    return rate;
}

std::string summary(const Rate& rate)
{
    return grouped(std::llround(rate.perSecond())) + " /s (" + grouped(rate.received) + " of " +
           grouped(rate.sent) + ")";
}

int run(const Arguments& arguments)
{
    requireToolNamespace();
    const long long count = arguments.number("count", 200000);
    const std::string label = "datagram rate, " + grouped(count) + " datagrams";
    const Devices devices;
    const Rate window = measureWindow(devices, count);
    const Rate bare = measureBareLoop(devices, count);

    printRow(label, "window (endpoint + dispatcher + TForm1), half noise, half announcements",
             summary(window));
    printRow(label, "bare recvfrom loop (ceiling), same datagrams", summary(bare));
    printRow(label, "window rate / ceiling",
             bare.perSecond() > 0 ? fixed(window.perSecond() / bare.perSecond(), 2) : "n/a");
    if (window.received > 0)
        printRow(label, "window, per datagram: all / inside the dispatcher (serverUDPRead)",
                 withUnit(window.drainingMs * 1000 / window.received, 1, "us") + " / " +
                     withUnit(window.inHandlerMs * 1000 / window.received, 1, "us"));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    try {
        return run(Arguments(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_datagram_rate: %s\n", error.what());
        return 1;
    }
}
