// The real window under a flood of 100,000 datagrams from one LAN of the virtual LAN while a
// user clicks through it. Runs inside the tool namespace; nothing here touches the host's network.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/tform1.h"
#include "dialog_recorder.h"
#include "event_loop.h"
#include "fault_window.h"
#include "flood_plan.h"
#include "lan_namespace.h"
#include "stall_watch.h"
#include "virtual_lan.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <map>
#include <random>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

constexpr int kLan = 1;
constexpr int kDatagrams = 100000;
// Beyond this the window's thread did not stall, it hung.
constexpr double kHangMs = 2000;

// Someone using the window while the flood goes on: every few milliseconds one more thing a
// user does, in turn.
class User : public QObject {
public:
    explicit User(FaultWindow& window) : window_(window), form_(window.form)
    {
        connect(&timer_, &QTimer::timeout, this, &User::act);
    }
    void start() { timer_.start(15); }
    void stop() { timer_.stop(); }
    const std::map<QString, int>& done() const { return done_; }

private:
    void act()
    {
        switch (step_++ % 7) {
        case 0:
            withVisibleRow([this](int row) {
                window_.clickRow(row);
                note("click a row");
            });
            break;
        case 1:
            type(child<QLineEdit>(form_, "e_w_ssid")->isVisible()
                     ? child<QLineEdit>(form_, "e_w_ssid")
                     : child<QLineEdit>(form_, "e_eth_ip"),
                 QStringLiteral("1"));
            break;
        case 2:
            withVisibleRow([this](int row) {
                window_.openPopover(row);
                note(child<InfoPopover>(form_, "MultiView1")->isVisible() ? "open the pop-over"
                                                                          : "miss the pop-over");
            });
            break;
        case 3:
            if (child<InfoPopover>(form_, "MultiView1")->isVisible()) {
                child<InfoPopover>(form_, "MultiView1")->close();
                note("close the pop-over");
            }
            break;
        case 4:
            QTest::keyClick(child<DeviceListView>(form_, "list"), Qt::Key_Down);
            note("arrow down in the list");
            break;
        case 5: {
            QScrollBar* bar = child<DeviceListView>(form_, "list")->verticalScrollBar();
            bar->setValue(std::uniform_int_distribution(0, std::max(0, bar->maximum()))(random_));
            note("scroll the list");
            break;
        }
        default: {
            QTabBar* tabs = child<QTabWidget>(form_, "TabControl1")->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, {},
                              tabs->tabRect(1 - tabs->currentIndex()).center());
            note("switch the settings tab");
            break;
        }
        }
    }

    template <typename Action> void withVisibleRow(Action action)
    {
        const int height = child<DeviceListView>(form_, "list")->viewport()->height();
        const QModelIndex row =
            child<DeviceListView>(form_, "list")
                ->indexAt(
                    QPoint(20, std::uniform_int_distribution(0, std::max(0, height - 1))(random_)));
        if (row.isValid())
            action(row.row());
    }

    void type(QLineEdit* edit, const QString& text)
    {
        if (!edit->isEnabled() || !edit->isVisible())
            return;
        QTest::keyClicks(edit, text);
        note("type into " + edit->objectName());
    }

    void note(const QString& what) { ++done_[what]; }

    FaultWindow& window_;
    TForm1& form_;
    QTimer timer_;
    int step_ = 0;
    std::mt19937 random_{7};
    std::map<QString, int> done_;
};

QString summary(const std::map<QString, int>& counts)
{
    QStringList parts;
    for (const auto& [what, count] : counts)
        parts << QStringLiteral("%1 x%2").arg(what).arg(count);
    return parts.join(QStringLiteral(", "));
}

} // namespace

class FaultFloodTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(insideToolNamespace(), "run me through ctest (scripts/vlan)"); }
    void flood_whileUsed_everyAnnouncementListedOnceNoVerdictNoHang();
};

void FaultFloodTest::flood_whileUsed_everyAnnouncementListedOnceNoVerdictNoHang()
{
    const PlatformNotesFilter quiet;
    FaultWindow w;
    DialogRecorder dialogs;
    const LanSender device(kLan);

    // The device last written to: the flood's verdict texts all come from other addresses.
    const std::string target = lanDevice(kLan, 8150);
    QVERIFY(device.send("im_QUORIX;QUORIX;TVX-T;2.4.1;1187;admin;no;Office;wpa;secret123;yes;;;;"
                        "yes;;;;",
                        target));
    QTRY_VERIFY(w.servers.find(target) != nullptr);
    w.clickRow(0);
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QCOMPARE(w.form.writeTarget(), target);
    QVERIFY(dialogs.shown.isEmpty());

    FloodPlan plan = makeFloodPlan(kLan, kDatagrams, ip_to_int(target));
    Flood flood(kLan, {std::move(plan.early), std::move(plan.main)});
    StallWatch stalls;
    User user(w);
    stalls.start();
    user.start();

    // Early in the flood, the user clears the list.
    QVERIFY2(runUntil([&] { return w.lists(plan.earlyMarker); }, 60000),
             "the early part of the flood never got through");
    w.clearList();
    QCOMPARE(w.servers.count(), 0);
    flood.release();

    QVERIFY2(runUntil([&] { return w.lists(plan.lastMarker); }, 120000),
             qPrintable(QStringLiteral("the flood never got through: %1 of %2 sent")
                            .arg(flood.sent())
                            .arg(kDatagrams)));
    user.stop();
    stalls.stop();
    // The last datagram may be handled before the sender has counted it.
    QVERIFY(runUntil([&] { return flood.finished(); }, 5000));
    child<InfoPopover>(w.form, "MultiView1")->close();
    const auto socket = udpSocketState(12340);

    qInfo("flood: %d datagrams in %.1f s (%.0f per second); %zu addresses to list, %zu that "
          "announced only before Clear list or only over 8192 bytes",
          flood.sent(), flood.sendingSeconds(), flood.sent() / flood.sendingSeconds(),
          plan.listed.size(), plan.neverListed.size());
    for (const auto& [kind, count] : plan.kinds)
        qInfo("  %s: %d", kind.c_str(), count);
    qInfo("user: %s", qPrintable(summary(user.done())));
    qInfo("longest stall of the window's thread: %.1f ms", stalls.longestStallMs());

    QCOMPARE(flood.sent(), kDatagrams);
    QVERIFY(socket.has_value());
    QVERIFY2(socket->drops == 0, "the kernel dropped datagrams: the listing check below is void");
    QVERIFY2(stalls.longestStallMs() < kHangMs, "the window's thread hung");

    QVERIFY2(dialogs.shown.isEmpty(), qPrintable(dialogs.shown.value(0).text));
    QCOMPARE(w.form.writeTarget(), target);
    QVERIFY(!w.form.verdictBusy());

    QStringList expectedCaptions;
    QStringList expectedIdentifiers;
    for (const ExpectedRow& row : plan.listed) {
        expectedCaptions << QString::fromStdString(row.caption);
        expectedIdentifiers << QString::fromStdString(row.identifier);
    }
    QStringList identifiers;
    for (int i = 0; i < w.servers.count(); ++i)
        identifiers << QString::fromStdString(w.servers.at(i).identifier);
    QCOMPARE(w.servers.count(), static_cast<int>(plan.listed.size()));
    QCOMPARE(w.captions(), expectedCaptions);
    QCOMPARE(identifiers, expectedIdentifiers);
}

QTEST_MAIN(FaultFloodTest)
#include "tst_fault_flood.moc"
