// Wi-Fi roll-out: "Configure Wi-Fi on several devices..." in the real window (program defaults:
// 200 ms between the six messages, 3 s for a settings reply, 5 s for a verdict) on every device
// of LAN 1, where nimbrel-devsim answers each settings request and verdict at once. The time
// from Start to the last result, per device, and the longest stall of the window's thread.
//
// Run by bench/run with nimbrel-devsim (--count N from NIMBREL_LAN1_FIRST_DEVICE) in LAN 1.

#include "arguments.h"
#include "figures.h"
#include "packet_probe.h"
#include "vlan_env.h"
#include "window_watch.h"

#include "app/message_dialog.h"
#include "app/rollout_dialog.h"
#include "app/tform1.h"
#include "app/wifi_rollout.h"
#include "net/protocol.h"
#include "window_widgets.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <algorithm>

using namespace nimbrel;
using namespace nimbrel::bench;
using nimbrel::testing::child;

namespace {

// When each device's turn began and ended, wall clock.
struct Turns {
    std::vector<double> startMs;
    std::vector<double> endMs;
    int saved = 0;
};

void watchTurns(const WifiRollout& rollout, Turns& turns)
{
    QObject::connect(&rollout, &WifiRollout::deviceStarted, &rollout,
                     [&turns](int) { turns.startMs.push_back(realtimeMs()); });
    QObject::connect(&rollout, &WifiRollout::deviceFinished, &rollout,
                     [&turns](int, const RolloutResult& result) {
                         turns.endMs.push_back(realtimeMs());
                         turns.saved += result.outcome == RolloutOutcome::Saved ? 1 : 0;
                     });
}

WifiRolloutDialog* openFilledDialog(TForm1& form)
{
    form.configureWifiOnSeveral();
    auto* dialog = form.findChild<WifiRolloutDialog*>(QStringLiteral("RolloutDialog"));
    if (dialog == nullptr)
        throw std::runtime_error("the roll-out dialog did not open");
    child<QLineEdit>(*dialog, "e_rollout_ssid")->setText(QStringLiteral("Customer-Net"));
    child<QLineEdit>(*dialog, "e_rollout_pass")->setText(QStringLiteral("cust0mer-key"));
    child<QLineEdit>(*dialog, "e_rollout_admin_pass")->setText(QStringLiteral("1234"));
    return dialog;
}

// The pauses inside each device's write, as LAN 1's interface received the messages: the gap
// between two write messages in a row (a settings request or a search starts the next write).
std::vector<double> pausesOnTheWire(const PacketProbe& probe)
{
    std::vector<double> gaps;
    bool previousWasWrite = false;
    double previousMs = 0;
    for (const CapturedDatagram& datagram : probe.captured()) {
        const bool write = datagram.payload.find(kSearchWord) == std::string::npos &&
                           datagram.payload != kSettingsRequest;
        if (write && previousWasWrite)
            gaps.push_back(datagram.timeMs - previousMs);
        previousWasWrite = write;
        previousMs = datagram.timeMs;
    }
    return gaps;
}

void printPauses(const std::string& label, std::vector<double> gaps)
{
    if (gaps.empty())
        return;
    const auto [shortest, longest] = std::minmax_element(gaps.begin(), gaps.end());
    const auto under =
        std::count_if(gaps.begin(), gaps.end(), [](double gap) { return gap < 200; });
    printRow(label, "pause between a write's messages on the wire: min / median / max",
             withUnit(*shortest, 1, "ms") + " / " + withUnit(median(gaps), 1, "ms") + " / " +
                 withUnit(*longest, 1, "ms"),
             "200 ms, as Send paces them");
    printRow(label, "pauses shorter than 200 ms",
             grouped(under) + " of " + grouped(static_cast<long long>(gaps.size())), "0");
}

void printFigures(const std::string& label, int devices, const Turns& turns, double totalMs,
                  int estimateMs, double stallMs)
{
    std::vector<double> perDevice;
    for (std::size_t i = 0; i < turns.endMs.size() && i < turns.startMs.size(); ++i)
        perDevice.push_back(turns.endMs[i] - turns.startMs[i]);
    printRow(label, "devices saved", std::to_string(turns.saved) + " of " + std::to_string(devices),
             "all of them");
    printRow(label, "Start to last result", withUnit(totalMs / 1000, 1, "s"));
    printRow(label, "per device (total / devices)", withUnit(totalMs / devices, 0, "ms"),
             "at least 1,000 ms: five pauses of 200 ms");
    if (!perDevice.empty()) {
        const auto [shortest, longest] = std::minmax_element(perDevice.begin(), perDevice.end());
        printRow(label, "one device's turn: min / median / max",
                 withUnit(*shortest, 0, "ms") + " / " + withUnit(median(perDevice), 0, "ms") +
                     " / " + withUnit(*longest, 0, "ms"));
    }
    printRow(label, "time left shown at Start / taken",
             withUnit(estimateMs / 1000.0, 1, "s") + " / " + withUnit(totalMs / 1000, 1, "s"));
    printRow(label, "longest stall of the window's thread", withUnit(stallMs, 1, "ms"),
             "under 50 ms");
}

int run(int devices)
{
    requireToolNamespace();
    setMessageDialogHook(
        [](const QString&, DialogKind, DialogButtons) { return DialogAnswer::Ok; });
    DeviceRegistry servers;
    TForm1::Options options; // the program's endpoint, pause and waits
    options.refreshIntervalMs = 24 * 3600 * 1000;
    TForm1 form(servers, options);
    form.show();
    if (form.startupFailed())
        throw std::runtime_error("the window could not bind port 12340");
    form.button_refreshClick();
    if (!runUntil([&] { return servers.count() == devices; }, 10000))
        throw std::runtime_error("only " + std::to_string(servers.count()) + " of " +
                                 std::to_string(devices) + " devices answered the search");

    WifiRolloutDialog* dialog = openFilledDialog(form);
    Turns turns;
    watchTurns(form.rollout(), turns);
    PacketProbe probe(vlanVariable("NIMBREL_LAN1_IFACE_LAN"), DiscoveryPort,
                      vlanVariable("NIMBREL_LAN1_NS"));
    Heartbeat heartbeat;
    heartbeat.start();
    const double startMs = realtimeMs();
    QTest::mouseClick(child<QPushButton>(*dialog, "b_rollout_start"), Qt::LeftButton);
    const int estimateMs = form.rollout().millisecondsLeft();
    // Bounded: twice what every device's longest wait (3 s + 1 s + 5 s) would take.
    runUntil([&] { return !form.rollout().isRunning(); }, devices * 9000 * 2);
    const double totalMs = (turns.endMs.empty() ? realtimeMs() : turns.endMs.back()) - startMs;
    heartbeat.stop();
    probe.stop();

    printFigures("Wi-Fi roll-out, " + std::to_string(devices) + " devices", devices, turns, totalMs,
                 estimateMs, heartbeat.longestStallMs());
    printPauses("Wi-Fi roll-out, " + std::to_string(devices) + " devices", pausesOnTheWire(probe));
    form.close();
    // Figures are never judged here; a roll-out that did not run through means the run is broken.
    return static_cast<int>(turns.endMs.size()) == devices ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_rollout", argc, argv, [](const Arguments& arguments) {
        return run(static_cast<int>(arguments.number("devices", 50)));
    });
}
