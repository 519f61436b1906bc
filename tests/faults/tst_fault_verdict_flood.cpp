// A flood from one LAN of the virtual LAN while a verdict box is open in the real window: the box
// holds every datagram until it is closed, and the endpoint's queue stops at its bound however
// much arrives, so memory stays bounded. Runs inside the tool namespace; nothing here touches the
// host's network.

#include "app/tform1.h"
#include "dialog_recorder.h"
#include "event_loop.h"
#include "fault_window.h"
#include "flood.h"
#include "lan_namespace.h"
#include "virtual_lan.h"

#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <random>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

constexpr int kLan = 1;
constexpr int kTargetOffset = 10;
constexpr double kMemoryLimitMiB = 200;
const std::string kSuccess = "Success";

std::string announcement(const std::string& identifier)
{
    return "im_QUORIX;QUORIX;" + identifier +
           ";2.4.1;1187;admin;no;Office;wpa;secret123;yes;;;;yes;;;;";
}

std::string identifierOf(int offset)
{
    return "ID-" + std::to_string(offset);
}

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// The window with one device written to: its verdict opens the box. While the box is open,
// whileOpen runs, as the box's own event loop would run anything.
class VerdictFixture {
public:
    VerdictFixture()
        : dialogs([this](const ShownDialog&) {
              if (whileOpen)
                  whileOpen();
          })
    {
        // Every datagram the window handles, in the order it handles them.
        child<UdpEndpoint>(w.form, "server")->setHandler([this](const Datagram& datagram) {
            handled.push_back(datagram.bytes);
            w.form.serverUDPRead(datagram);
        });
    }

    // Lists the target, selects it and presses Send, so that its verdict is acted on.
    bool writeToTarget()
    {
        if (!device.send(announcement("TVX-BEFORE"), target) ||
            !runUntil([this] { return w.lists(target); }, 10000))
            return false;
        w.clickRow(0);
        QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
        return w.form.writeTarget() == target && dialogs.shown.isEmpty();
    }

    // Every datagram read from the socket so far has been dealt with: handled or dropped.
    bool queueEmpty() const
    {
        const EndpointCounters c = child<UdpEndpoint>(w.form, "server")->counters();
        return c.handled + c.dropped_by_size + c.dropped_by_bound == c.received;
    }

    const PlatformNotesFilter quiet;
    // No periodic search: the window hears its own, which would count among the flood.
    FaultWindow w{24 * 3600 * 1000};
    std::function<void()> whileOpen;
    DialogRecorder dialogs;
    const LanSender device{kLan};
    const std::string target = lanDevice(kLan, kTargetOffset);
    std::vector<std::string> handled;
};

} // namespace

class FaultVerdictFloodTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(insideToolNamespace(), "run me through ctest (scripts/vlan)"); }
    void verdictBoxOpen_everyDatagramHeldUntilClosedThenHandledInOrder();
    void verdictBoxOpen_floodOfLargestDatagrams_queueStopsAtItsBoundMemoryUnder200MiB();
};

// While "Parameters saved successfully..." is open, 1,000 datagrams arrive: new devices, noise,
// the written device announcing itself anew and a second verdict. None is handled while the box
// is open; after it closes the written device is removed first, then everything is handled in
// arrival order, so the device's new announcement lists it again.
void FaultVerdictFloodTest::verdictBoxOpen_everyDatagramHeldUntilClosedThenHandledInOrder()
{
    VerdictFixture f;
    QVERIFY(f.writeToTarget());

    FloodPhase phase;
    std::vector<int> offsets;
    for (int offset = 100; offset < 600; ++offset)
        offsets.push_back(offset);
    std::shuffle(offsets.begin(), offsets.end(), std::mt19937(11));
    const AddressValue first = ip_to_int(lanDevice(kLan, 0));
    for (const int offset : offsets) {
        phase.push_back(
            {announcement(identifierOf(offset)), first + static_cast<unsigned>(offset)});
        phase.push_back({"noise " + std::to_string(offset), first + static_cast<unsigned>(offset)});
        if (offset == offsets[250]) {
            phase.push_back({announcement("TVX-AFTER"), ip_to_int(f.target)});
            phase.push_back({kSuccess, ip_to_int(f.target)});
        }
    }

    int listedInBox = -1;
    std::size_t handledInBox = 0;
    bool allArrivedInBox = false;
    bool busyInBox = false;
    std::uint64_t receivedBeforeFlood = 0;
    std::size_t handledAtClose = 0;
    f.whileOpen = [&] {
        busyInBox = f.w.form.verdictBusy();
        const std::size_t handledAtOpen = f.handled.size();
        receivedBeforeFlood = child<UdpEndpoint>(f.w.form, "server")->counters().received;
        Flood flood(kLan, {phase});
        allArrivedInBox = runUntil(
            [&] {
                return flood.finished() &&
                       child<UdpEndpoint>(f.w.form, "server")->counters().received ==
                           receivedBeforeFlood + std::uint64_t(flood.sent());
            },
            60000);
        // The box stays open a little longer: a datagram wrongly handled would show now.
        runUntil([] { return false; }, 100);
        handledAtClose = f.handled.size();
        handledInBox = handledAtClose - handledAtOpen;
        listedInBox = f.w.servers.count();
    };
    QVERIFY(f.device.send(kSuccess, f.target));
    QVERIFY(runUntil([&] { return !f.dialogs.shown.isEmpty(); }, 10000));
    QVERIFY(runUntil([&] { return f.queueEmpty(); }, 30000));

    QVERIFY2(allArrivedInBox, "the flood did not reach the window while the box was open");
    QVERIFY(busyInBox);
    QCOMPARE(handledInBox, std::size_t(0));
    QCOMPARE(listedInBox, 1);

    // In arrival order, every one of them.
    std::vector<std::string> expected;
    for (const FloodDatagram& datagram : phase)
        expected.push_back(datagram.bytes);
    const std::vector<std::string> afterBox(
        f.handled.begin() + static_cast<std::ptrdiff_t>(handledAtClose), f.handled.end());
    QCOMPARE(afterBox, expected);
    const EndpointCounters counters = child<UdpEndpoint>(f.w.form, "server")->counters();
    QCOMPARE(counters.dropped_by_bound, std::uint64_t(0));
    const auto socket = udpSocketState(12340);
    QVERIFY(socket.has_value());
    QCOMPARE(socket->drops, std::uint64_t(0));

    // One box only: the second verdict came after the first was done with.
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text,
             QStringLiteral("Parameters saved successfully. Wait until device restarts."));
    QVERIFY(!f.w.form.verdictBusy());
    QCOMPARE(f.w.form.writeTarget(), std::string());
    QCOMPARE(f.w.servers.count(), 1 + static_cast<int>(offsets.size()));
    const WebServer* target = f.w.servers.find(f.target);
    QVERIFY2(target != nullptr, "the written device's new announcement was handled before the "
                                "box closed and its record was removed after it");
    QCOMPARE(target->identifier, std::string("TVX-AFTER"));
    for (const int offset : offsets) {
        const WebServer* device = f.w.servers.find(lanDevice(kLan, offset));
        QVERIFY(device != nullptr);
        QCOMPARE(device->identifier, identifierOf(offset));
    }
}

// The box holds the window's thread while 12,000 datagrams of 8,192 bytes (98 MB) arrive: the
// queue takes them up to its bound and drops the rest, exactly as many as the bound leaves no
// room for; resident memory stays under 200 MiB. After the box, what was kept is handled.
void FaultVerdictFloodTest::
    verdictBoxOpen_floodOfLargestDatagrams_queueStopsAtItsBoundMemoryUnder200MiB()
{
    constexpr int kSmall = 50;
    constexpr int kLarge = 12000;
    VerdictFixture f;
    QVERIFY(f.writeToTarget());

    const AddressValue first = ip_to_int(lanDevice(kLan, 0));
    FloodPhase phase;
    for (int i = 0; i < kSmall; ++i)
        phase.push_back({announcement(identifierOf(1000 + i)), first + 1000u + unsigned(i)});
    phase.push_back({std::string(kMaxDatagramSize, 'x'), first + 3000u, kLarge});
    // After the bound is reached: it may or may not fit in what room is left.
    phase.push_back({announcement(identifierOf(2000)), first + 2000u});

    // What the rule keeps: each in turn while the queued bytes, with it, stay within the bound.
    const std::size_t bound = kDefaultQueueBound;
    std::size_t queued = 0;
    std::vector<bool> kept;
    for (const FloodDatagram& datagram : phase) {
        const std::size_t cost = datagram.bytes.size() + kQueueBookkeepingBytes;
        for (int copy = 0; copy < datagram.repeat; ++copy) {
            kept.push_back(queued + cost <= bound);
            if (kept.back())
                queued += cost;
        }
    }
    const auto keptCount = static_cast<std::uint64_t>(std::count(kept.begin(), kept.end(), true));

    double peakMiB = 0;
    double atOpenMiB = 0;
    bool allArrivedInBox = false;
    EndpointCounters inBox;
    std::uint64_t receivedBeforeFlood = 0;
    f.whileOpen = [&] {
        receivedBeforeFlood = child<UdpEndpoint>(f.w.form, "server")->counters().received;
        atOpenMiB = residentMiB();
        Flood flood(kLan, {phase});
        allArrivedInBox = runUntil(
            [&] {
                peakMiB = std::max(peakMiB, residentMiB());
                return flood.finished() &&
                       child<UdpEndpoint>(f.w.form, "server")->counters().received ==
                           receivedBeforeFlood + std::uint64_t(flood.sent());
            },
            60000);
        peakMiB = std::max(peakMiB, residentMiB());
        inBox = child<UdpEndpoint>(f.w.form, "server")->counters();
    };
    QVERIFY(f.device.send(kSuccess, f.target));
    QVERIFY(runUntil([&] { return !f.dialogs.shown.isEmpty(); }, 10000));
    QVERIFY(runUntil([&] { return f.queueEmpty(); }, 30000));

    qInfo("resident memory while the box held %d datagrams of 8,192 bytes: %.1f MiB when it "
          "opened, at most %.1f MiB; queue peak %zu bytes of %zu; %llu dropped at the bound",
          kLarge, atOpenMiB, peakMiB, inBox.peak_queued_bytes, bound,
          static_cast<unsigned long long>(inBox.dropped_by_bound));
    QVERIFY2(allArrivedInBox, "the flood did not reach the window while the box was open");
    const auto socket = udpSocketState(12340);
    QVERIFY(socket.has_value());
    QVERIFY2(socket->drops == 0, "the kernel dropped datagrams: the counts below are void");
    QCOMPARE(inBox.received - receivedBeforeFlood, std::uint64_t(kept.size()));
    QCOMPARE(inBox.dropped_by_bound, std::uint64_t(kept.size()) - keptCount);
    QCOMPARE(inBox.queued_bytes, queued);
    QVERIFY(inBox.peak_queued_bytes <= bound);
    QVERIFY2(peakMiB < kMemoryLimitMiB, qPrintable(QStringLiteral("%1 MiB").arg(peakMiB)));

    QCOMPARE(child<UdpEndpoint>(f.w.form, "server")->counters().handled, inBox.handled + keptCount);
    for (int i = 0; i < kSmall; ++i)
        QVERIFY(f.w.lists(lanDevice(kLan, 1000 + i)));
    QCOMPARE(f.w.lists(lanDevice(kLan, 2000)), bool(kept.back()));

    // Room again once the queue is worked off.
    QVERIFY(f.device.send(announcement("LATE"), lanDevice(kLan, 2001)));
    QVERIFY(runUntil([&] { return f.w.lists(lanDevice(kLan, 2001)); }, 10000));
}

QTEST_MAIN(FaultVerdictFloodTest)
#include "tst_fault_verdict_flood.moc"
