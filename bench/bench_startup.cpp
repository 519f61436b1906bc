// Start-up and memory of the real program: `nimbrel` started in the virtual LAN's tool namespace
// (offscreen), with simulated devices in LAN 1 that answer its first periodic search.
//
// The window is taken as shown when its socket is bound to UDP 12340: main() binds it from the
// window's first show event, after every widget is built, and before the event loop starts. The
// list counts as filled when the socket's queue is empty and the program has stopped using CPU.
//
// Run by bench/run with nimbrel-devsim in LAN 1; prints rows of the shared table.

#include "arguments.h"
#include "figures.h"
#include "process_watch.h"
#include "vlan_env.h"

#include "net/protocol.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

using namespace nimbrel;
using namespace nimbrel::bench;

namespace {

constexpr int kBindTimeoutMs = 20000;
constexpr int kIdleAfterShownMs = 2000;
// The program searches 10 s after start; the simulator notes when it answered.
constexpr int kSearchTimeoutMs = 20000;
constexpr int kSettleTimeoutMs = 20000;
constexpr int kSettleStepMs = 100;
constexpr int kSettledSteps = 5;

bool logHas(const std::string& path, const std::string& text)
{
    std::ifstream log(path);
    for (std::string line; std::getline(log, line);)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

// Waits in steps of stepMs, at most timeoutMs, while the program runs; returns done().
template <typename Done> bool waitFor(pid_t pid, Done done, int timeoutMs, int stepMs)
{
    for (int waited = 0; waited < timeoutMs && isRunning(pid); waited += stepMs) {
        if (done())
            return true;
        sleepMs(stepMs);
    }
    return done();
}

// Quiet: nothing waiting in the socket and no CPU used for a while.
bool waitUntilSettled(pid_t pid)
{
    long long lastTicks = -1;
    int quietSteps = 0;
    return waitFor(
        pid,
        [&] {
            const auto socket = udpSocketState(DiscoveryPort);
            const long long ticks = cpuTicks(pid);
            const bool quiet = socket && socket->receiveQueueBytes == 0 && ticks == lastTicks;
            quietSteps = quiet ? quietSteps + 1 : 0;
            lastTicks = ticks;
            return quietSteps >= kSettledSteps;
        },
        kSettleTimeoutMs, kSettleStepMs);
}

std::string megabytes(long kb)
{
    return withUnit(static_cast<double>(kb) / 1024.0, 1, "MiB");
}

int measure(pid_t pid, double startMs, const std::string& label, const std::string& devsimLog)
{
    if (!waitFor(
            pid, [] { return udpSocketState(DiscoveryPort).has_value(); }, kBindTimeoutMs, 1))
        throw std::runtime_error("the program never bound port 12340");
    const double shownMs = realtimeMs();
    printRow(label, "process start to window shown (port 12340 bound)",
             withUnit(shownMs - startMs, 0, "ms"));

    sleepMs(kIdleAfterShownMs);
    printRow(label, "resident memory, idle (VmRSS)", megabytes(statusKb(pid, "VmRSS")));

    if (!waitFor(
            pid, [&] { return logHas(devsimLog, "answered search"); }, kSearchTimeoutMs, 10))
        throw std::runtime_error("the program's first search never reached the simulator");
    const bool settled = waitUntilSettled(pid);
    const auto socket = udpSocketState(DiscoveryPort);
    printRow(label, "resident memory, devices listed (VmRSS / peak VmHWM)",
             megabytes(statusKb(pid, "VmRSS")) + " / " + megabytes(statusKb(pid, "VmHWM")) +
                 (settled ? "" : " (still busy)"));
    printRow(label, "answers dropped by the program's socket",
             socket ? grouped(static_cast<long long>(socket->drops)) : "socket gone", "0");
    return 0;
}

int run(const Arguments& arguments)
{
    requireToolNamespace();
    const std::string program = arguments.text("nimbrel");
    const long long devices = arguments.number("devices", 1000);
    const std::string label = "start-up and memory, " + grouped(devices) + " devices";
    if (udpSocketState(DiscoveryPort))
        throw std::runtime_error("port 12340 is already bound in the tool namespace");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const double startMs = realtimeMs();
    const pid_t pid = startProcess(program, {});
    try {
        const int status = measure(pid, startMs, label, arguments.text("devsim-log"));
        endProcess(pid);
        return status;
    } catch (...) {
        endProcess(pid);
        throw;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    return runBenchmark("bench_startup", argc, argv, run);
}
