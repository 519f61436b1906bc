// Datagram handling rate: noise and repeated announcements from devices already listed, sent as
// fast as one thread can to the window's endpoint (receiving thread, hand-over, dispatcher,
// TForm1) and, in the same run, to a bare blocking recvfrom loop on another port: the ceiling of
// this machine. Everything is on loopback addresses in the tool namespace.
//
// A rate is the datagrams taken per second from the flood's start to the last one taken. The
// sender runs meanwhile and shares the two cores with the receiver, as it would with any program
// that floods the window; what a receiver cannot keep up with overflows its socket's queue.

#include "arguments.h"
#include "figures.h"
#include "loopback_flood.h"
#include "vlan_env.h"
#include "window_watch.h"

#include "app/tform1.h"
#include "window_widgets.h"

#include <QApplication>

#include <cmath>
#include <cstdio>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace nimbrel;
using namespace nimbrel::bench;
using nimbrel::testing::child;

namespace {

constexpr int kDevices = 64;
constexpr int kFloodMaxMs = 10000;
constexpr int kQuietMs = 300;
constexpr int kReceiveMaxMs = 30000;
// What the endpoint asks for, so the bare loop gets the same queue.
constexpr int kReceiveBuffer = 16 * 1024 * 1024;

const std::string kAnnouncement = "im_QUORIX;QUORIX;TVX;2.4.1;1187;admin;no;Office;wpa;secret123;"
                                  "yes;10.0.0.9;255.0.0.0;10.0.0.1;yes;;;;";
const std::string kNoise = "a datagram of no interest: no search word, no answer word, 64 bytes";

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

// The flood on a thread of its own, from construction; done turns true once all is sent.
struct FloodThread {
    FloodThread(const Devices& devices, std::uint16_t port, long long count)
        : startMs(realtimeMs()), thread([this, &devices, port, count] {
              sent = flood(devices.sockets, {kNoise, kAnnouncement}, port, count, kFloodMaxMs);
              done = true;
          })
    {}
    ~FloodThread() { thread.join(); }
    const double startMs;
    std::atomic<bool> done{false};
    long long sent = 0;
    std::thread thread;
};

struct Rate {
    long long sent = 0;
    long long taken = 0;
    double ms = 0;
    double inHandlerMs = 0; // the window only: time spent inside serverUDPRead
    double perSecond() const { return ms > 0 ? static_cast<double>(taken) * 1000.0 / ms : 0; }
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
    for (int fd : devices.sockets)
        flood({fd}, {kAnnouncement}, port, 1, kFloodMaxMs);
    if (!runEventsUntil([&] { return servers.count() == kDevices; }, 5000))
        throw std::runtime_error("the devices were not listed");

    Rate rate;
    double lastMs = 0;
    child<UdpEndpoint>(form, "server")->setHandler([&](const Datagram& datagram) {
        const double start = realtimeMs();
        form.serverUDPRead(datagram);
        lastMs = realtimeMs();
        rate.inHandlerMs += lastMs - start;
        ++rate.taken;
    });
    FloodThread sender(devices, port, count);
    runEventsUntil([&] { return sender.done && realtimeMs() - lastMs > kQuietMs; }, kReceiveMaxMs);
    rate.ms = lastMs - sender.startMs;
    rate.sent = sender.sent;
    form.close();
    return rate;
}

Rate measureBareLoop(const Devices& devices, long long count)
{
    const int fd = loopbackSocket("127.0.0.1");
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer);
    Rate rate;
    {
        FloodThread sender(devices, boundPort(fd), count);
        const Reception received = receiveUntilQuiet(fd, sender.done, kQuietMs, kReceiveMaxMs);
        rate.taken = received.count;
        rate.ms = received.lastMs - sender.startMs;
    } // the sender has finished here
    ::close(fd);
    return rate;
}

std::string summary(const Rate& rate, long long sent)
{
    return grouped(std::llround(rate.perSecond())) + " /s (" + grouped(rate.taken) + " of " +
           grouped(sent) + " taken)";
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
             summary(window, window.sent));
    printRow(label, "bare recvfrom loop (ceiling), same flood", summary(bare, count));
    printRow(label, "window rate / ceiling",
             bare.perSecond() > 0 ? fixed(window.perSecond() / bare.perSecond(), 2) : "n/a");
    if (window.taken > 0)
        printRow(
            label, "window, per datagram: all / inside the dispatcher (serverUDPRead)",
            withUnit(window.ms * 1000 / static_cast<double>(window.taken), 1, "us") + " / " +
                withUnit(window.inHandlerMs * 1000 / static_cast<double>(window.taken), 1, "us"));
    // Nothing taken at all means the run itself is broken; the figures are never judged.
    return window.taken > 0 && bare.taken > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_datagram_rate", argc, argv, run);
}
