// Datagram handling rate: noise and repeated announcements from devices already listed, sent as
// fast as one thread can to the window's endpoint (receiving thread, queue, dispatcher, TForm1)
// and, in the same run, to a bare blocking recvfrom loop and a bare recvmmsg loop on other ports:
// the ceilings of this machine. Then a flood of datagrams of the protocol's largest size into the
// window, free and with its thread held, for memory and the drops by cause. Everything is on
// loopback addresses in the tool namespace.
//
// A rate is the datagrams taken per second from the flood's start to the last one taken. The
// sender runs meanwhile and shares the two cores with the receiver, as it would with any program
// that floods the window; what a receiver cannot keep up with overflows its socket's queue.

#include "arguments.h"
#include "figures.h"
#include "loopback_flood.h"
#include "process_watch.h"
#include "vlan_env.h"
#include "window_watch.h"

#include "app/tform1.h"
#include "window_widgets.h"

#include <QApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
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
constexpr int kHeartbeatMs = 2;
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
    FloodThread(const Devices& devices, std::uint16_t port, long long count,
                const std::vector<std::string>& texts)
        : startMs(realtimeMs()), thread([this, &devices, port, count, &texts] {
              sent = flood(devices.sockets, texts, port, count, kFloodMaxMs);
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
    double threadCpuMs = 0; // the window only: CPU time of the window's thread
    double longestStallMs = 0;
    double residentBeforeMiB = 0;
    double residentPeakMiB = 0;
    EndpointCounters queue;
    unsigned long kernelDrops = 0;
    double perSecond() const { return ms > 0 ? static_cast<double>(taken) * 1000.0 / ms : 0; }
};

std::uint16_t freeLoopbackPort()
{
    const int fd = loopbackSocket("127.0.0.1");
    const std::uint16_t port = boundPort(fd);
    ::close(fd);
    return port;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double residentMiB()
{
    return static_cast<double>(statusKb(::getpid(), "VmRSS")) / 1024.0;
}

// Reads this process's resident memory every 5 ms on a thread of its own; keeps the highest.
class MemoryWatch {
public:
    MemoryWatch()
        : thread_([this] {
              while (!stop_) {
                  peak_ = std::max(peak_.load(), residentMiB());
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          })
    {}
    ~MemoryWatch() { stop(); }
    double stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return std::max(peak_.load(), residentMiB());
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<double> peak_{0};
    std::thread thread_;
};

enum class Hold { No, InsideFirstHandler };

// The flood into the real window. With Hold::InsideFirstHandler the first datagram's handler turns
// a nested event loop until the flood is over, as a verdict box does: everything else waits in the
// endpoint's queue, which stops at its bound.
Rate measureWindow(const Devices& devices, const std::vector<std::string>& texts, long long count,
                   Hold hold)
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
    if (!runUntil([&] { return servers.count() == kDevices; }, 5000))
        throw std::runtime_error("the devices were not listed");

    Rate rate;
    double lastMs = 0;
    const FloodThread* running = nullptr;
    child<UdpEndpoint>(form, "server")->setHandler([&](const Datagram& datagram) {
        const double start = realtimeMs();
        form.serverUDPRead(datagram);
        lastMs = realtimeMs();
        rate.inHandlerMs += lastMs - start;
        if (++rate.taken == 1 && hold == Hold::InsideFirstHandler)
            runUntil([&] { return running != nullptr && running->done; }, kReceiveMaxMs);
    });
    const EndpointCounters before = child<UdpEndpoint>(form, "server")->counters();
    rate.residentBeforeMiB = residentMiB();
    MemoryWatch memory;
    Heartbeat heartbeat(kHeartbeatMs);
    heartbeat.start();
    const double cpuStart = threadCpuMs();
    {
        FloodThread sender(devices, port, count, texts);
        running = &sender;
        runUntil([&] { return sender.done && realtimeMs() - lastMs > kQuietMs; }, kReceiveMaxMs);
        rate.sent = sender.sent;
        rate.ms = lastMs - sender.startMs;
    }
    // The quiet tail at the end is idle time of the window's thread, not handling.
    rate.threadCpuMs = threadCpuMs() - cpuStart;
    heartbeat.stop();
    rate.longestStallMs = heartbeat.longestGapMs();
    rate.residentPeakMiB = memory.stop();
    rate.queue = child<UdpEndpoint>(form, "server")->counters();
    rate.queue.received -= before.received;
    rate.queue.handled -= before.handled;
    if (const auto socket = udpSocketState(port))
        rate.kernelDrops = socket->drops;
    form.close();
    return rate;
}

Rate measureBareLoop(const Devices& devices, const std::vector<std::string>& texts, long long count,
                     bool batched)
{
    const int fd = loopbackSocket("127.0.0.1");
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer);
    Rate rate;
    {
        FloodThread sender(devices, boundPort(fd), count, texts);
        const Reception received =
            batched ? receiveBatchesUntilQuiet(fd, sender.done, kQuietMs, kReceiveMaxMs)
                    : receiveUntilQuiet(fd, sender.done, kQuietMs, kReceiveMaxMs);
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

std::string ratio(const Rate& window, const Rate& ceiling)
{
    return ceiling.perSecond() > 0 ? fixed(window.perSecond() / ceiling.perSecond(), 2) : "n/a";
}

std::string drops(const Rate& rate)
{
    return grouped(static_cast<long long>(rate.kernelDrops)) + " / " +
           grouped(static_cast<long long>(rate.queue.dropped_by_size)) + " / " +
           grouped(static_cast<long long>(rate.queue.dropped_by_bound)) + " (queue peak " +
           grouped(static_cast<long long>(rate.queue.peak_queued_bytes)) + " bytes)";
}

void printMixedFlood(const Devices& devices, long long count)
{
    const std::string label = "datagram rate, " + grouped(count) + " datagrams";
    const std::vector<std::string> mix = {kNoise, kAnnouncement};
    const Rate window = measureWindow(devices, mix, count, Hold::No);
    const Rate bare = measureBareLoop(devices, mix, count, false);
    const Rate batched = measureBareLoop(devices, mix, count, true);

    printRow(label, "window (endpoint + dispatcher + TForm1), half noise, half announcements",
             summary(window, window.sent));
    printRow(label, "bare recvfrom loop (ceiling), same flood", summary(bare, count));
    printRow(label, "bare recvmmsg loop (second ceiling), same flood", summary(batched, count));
    printRow(label, "window rate / recvfrom ceiling / recvmmsg ceiling",
             ratio(window, bare) + " / " + ratio(window, batched), "at least 0.8");
    if (window.taken > 0) {
        const auto taken = static_cast<double>(window.taken);
        printRow(label,
                 "window's thread per datagram: CPU time / inside the dispatcher (serverUDPRead)",
                 withUnit(window.threadCpuMs * 1000 / taken, 2, "us") + " / " +
                     withUnit(window.inHandlerMs * 1000 / taken, 2, "us"),
                 "at most 2 us");
    }
    printRow(label, "longest stall of the window's thread",
             withUnit(window.longestStallMs, 1, "ms"), "under 16 ms");
    printRow(label, "window: dropped by the kernel / by size / by the queue's bound", drops(window),
             "0 / 0 / 0");
}

void printLargeFlood(const Devices& devices, long long count)
{
    const std::string label = "flood of " + grouped(count) + " datagrams of 8,192 bytes";
    const std::vector<std::string> large = {std::string(kMaxDatagramSize, 'x')};
    for (const Hold hold : {Hold::No, Hold::InsideFirstHandler}) {
        const Rate window = measureWindow(devices, large, count, hold);
        const std::string how = hold == Hold::No ? "window free"
                                                 : "window's thread held by the first handler "
                                                   "(as by a verdict box)";
        printRow(label, how + ": resident memory before / peak",
                 withUnit(window.residentBeforeMiB, 1, "MiB") + " / " +
                     withUnit(window.residentPeakMiB, 1, "MiB"),
                 "under 200 MiB");
        printRow(label, how + ": received / handled",
                 grouped(static_cast<long long>(window.queue.received)) + " / " +
                     grouped(static_cast<long long>(window.queue.handled)) + " of " +
                     grouped(window.sent) + " sent");
        printRow(label, how + ": dropped by the kernel / by size / by the queue's bound",
                 drops(window));
        printRow(label, how + ": longest stall of the window's thread",
                 withUnit(window.longestStallMs, 1, "ms"));
    }
}

int run(const Arguments& arguments)
{
    requireToolNamespace();
    const long long count = arguments.number("count", 200000);
    const long long large = arguments.number("large", 100000);
    const Devices devices;
    printMixedFlood(devices, count);
    printLargeFlood(devices, large);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_datagram_rate", argc, argv, run);
}
