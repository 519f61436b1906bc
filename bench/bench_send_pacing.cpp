// Send pacing: the six datagrams of one "Send" from the real window (program defaults, so the
// pause between messages is the program's own) as they arrive in LAN 1, stamped by the kernel on
// a packet capture at the LAN's interface. A simulated device there takes the write and answers
// with its verdict, which the window shows (a recorder stands in for the message box).
//
// Run by bench/run with nimbrel-devsim (one device at NIMBREL_LAN1_FIRST_DEVICE) in LAN 1.

#include "arguments.h"
#include "figures.h"
#include "packet_probe.h"
#include "vlan_env.h"
#include "window_watch.h"

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/message_dialog.h"
#include "app/tform1.h"
#include "window_widgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdio>

using namespace nimbrel;
using namespace nimbrel::bench;
using nimbrel::testing::child;

namespace {

const std::string kLabel = "send pacing, 6 messages";

struct Verdict {
    QString text;
    double shownMs = 0;
};

// The write's messages: what the tool sent into the LAN after the click, searches aside.
std::vector<CapturedDatagram> writeMessages(const PacketProbe& probe, double fromMs)
{
    std::vector<CapturedDatagram> messages;
    for (CapturedDatagram& datagram : probe.captured())
        if (datagram.timeMs >= fromMs && datagram.payload.find(kSearchWord) == std::string::npos)
            messages.push_back(std::move(datagram));
    return messages;
}

void printGaps(const std::vector<CapturedDatagram>& messages)
{
    std::vector<double> gaps;
    for (std::size_t i = 1; i < messages.size(); ++i)
        gaps.push_back(messages[i].timeMs - messages[i - 1].timeMs);
    const auto [shortest, longest] = std::minmax_element(gaps.begin(), gaps.end());
    printRow(kLabel, "gap between messages: min / median / max",
             withUnit(*shortest, 1, "ms") + " / " + withUnit(median(gaps), 1, "ms") + " / " +
                 withUnit(*longest, 1, "ms"));
    printRow(kLabel, "first to last message",
             withUnit(messages.back().timeMs - messages[0].timeMs, 1, "ms"), "at least 1,000 ms");
}

int run()
{
    requireToolNamespace();
    Verdict verdict;
    setMessageDialogHook([&verdict](const QString& text, DialogKind, DialogButtons) {
        verdict = {text, realtimeMs()};
        return DialogAnswer::Ok;
    });
    DeviceRegistry servers;
    TForm1::Options options; // the program's endpoint and pause
    options.refreshIntervalMs = 24 * 3600 * 1000;
    TForm1 form(servers, options);
    form.show();
    if (form.startupFailed())
        throw std::runtime_error("the window could not bind port 12340");
    PacketProbe probe(vlanVariable("NIMBREL_LAN1_IFACE_LAN"), DiscoveryPort,
                      vlanVariable("NIMBREL_LAN1_NS"));

    form.button_refreshClick();
    if (!runUntil([&] { return servers.count() > 0; }, 5000))
        throw std::runtime_error("the simulated device did not answer the search");
    const QRect row = child<DeviceListView>(form, "list")
                          ->visualRect(child<DeviceListView>(form, "list")->model()->index(0, 0));
    QTest::mouseClick(child<DeviceListView>(form, "list")->viewport(), Qt::LeftButton, {},
                      row.center() - QPoint(60, 0));
    child<QLineEdit>(form, "edit_admin_pass")->setText(QStringLiteral("1234"));

    const double clickMs = realtimeMs();
    QTest::mouseClick(child<QPushButton>(form, "b_save"), Qt::LeftButton);
    const double returnedMs = realtimeMs();
    runUntil([&] { return verdict.shownMs > 0; }, 5000);
    probe.stop();

    const std::vector<CapturedDatagram> messages = writeMessages(probe, clickMs);
    printRow(kLabel, "messages that reached the LAN", std::to_string(messages.size()) + " of 6",
             "6");
    if (messages.size() >= 2)
        printGaps(messages);
    printRow(kLabel, "window's thread held by the click (pauses block on purpose)",
             withUnit(returnedMs - clickMs, 0, "ms"));
    printRow(kLabel, "last message to verdict shown",
             verdict.shownMs > 0 && !messages.empty()
                 ? withUnit(verdict.shownMs - messages.back().timeMs, 1, "ms") + " (\"" +
                       verdict.text.left(24).toStdString() + "...\")"
                 : "no verdict");
    form.close();
    // Figures are never judged here; no message captured at all means the run itself is broken.
    return messages.empty() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_send_pacing", argc, argv, [](const Arguments&) { return run(); });
}
