// "Configure Wi-Fi on several devices..." in the real window, inside the virtual LAN's tool
// namespace, against nimbrel-devsim in LAN 1: opened from the list's menu with a right click,
// filled in with typed keys, started and confirmed; what each simulated device stored afterwards
// (its --files-dir folder) against texts worked out by hand from the file formats.

#include "app/rollout_dialog.h"
#include "app/wifi_rollout.h"
#include "dialog_recorder.h"
#include "lan_simulator.h"
#include "lan_window.h"
#include "stall_watch.h"
#include "window_widgets.h"

#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

const QString kSsid = "Customer-Net";
const QString kPassword = "cust0mer-key";
const QString kAdmin = "1234"; // the simulator's own default
const QString kSaved = "Saved, restarting";
const QString kCancelled = "Not written (cancelled)";
// A roll-out that slept through one device's five 200 ms pauses would hold the window's thread
// this long; the window's own work never comes near it.
constexpr double kBlockedMs = 1000;

// The twenty devices of LAN 1. Each keeps its own addressing; only the Wi-Fi network changes.
const QByteArray kTwentyDevices = R"({"restart_ms": 2000, "devices": [
  {"address": "10.101.0.1", "settings": {"w_enc": "wep", "w_pass": "abcde"}},
  {"address": "10.101.0.2", "settings": {"w_dhcp": "no", "w_ip": "192.168.20.2",
    "w_mask": "255.255.255.0", "w_gw": "192.168.20.1"}},
  {"address": "10.101.0.3", "admin_password": "9876"},
  {"address": "10.101.0.4", "answers_get_network": false},
  {"address": "10.101.0.5", "settings": {"eth_ip": "192.168.0.20", "eth_mask": "255.255.255.0",
    "eth_gw": "192.168.0.1"}},
  {"address": "10.101.0.6", "settings": {"w_ap": "yes", "w_ssid": "Setup-6", "w_enc": "wpa",
    "w_pass": "setup2026", "w_dhcp": "no", "w_ip": "192.168.4.1", "w_mask": "255.255.255.0",
    "w_gw": "192.168.4.1"}},
  {"address": "10.101.0.7", "model": "SKYLET-W1", "settings": {"w_dhcp": "no",
    "w_ip": "192.168.30.7", "w_mask": "255.255.255.0", "w_gw": "192.168.30.1"}},
  {"address": "10.101.0.8", "settings": {"w_dhcp": "no", "w_ip": "172.20.8.8",
    "w_mask": "255.255.0.0", "w_gw": "172.20.0.1"}},
  {"address": "10.101.0.9"}, {"address": "10.101.0.10"}, {"address": "10.101.0.11"},
  {"address": "10.101.0.12"}, {"address": "10.101.0.13"},
  {"address": "10.101.0.14", "admin_password": "4321"},
  {"address": "10.101.0.15", "settings": {"eth_dhcp": "yes", "eth_ip": "", "eth_mask": "",
    "eth_gw": ""}},
  {"address": "10.101.0.16"}, {"address": "10.101.0.17"}, {"address": "10.101.0.18"},
  {"address": "10.101.0.19"}, {"address": "10.101.0.20"}]})";

// What a saved device keeps of its own, as the six files must carry it. The DHCP server's range
// (network + 10 to network + 100) is worked out by hand for each device.
struct Own {
    QByteArray wifiDhcp = "Yes";
    QByteArray ip = "192.168.0.10";
    QByteArray mask = "255.255.255.0";
    QByteArray gateway = "192.168.0.1";
    QByteArray rangeStart = "192.168.0.10";
    QByteArray rangeEnd = "192.168.0.100";
    QByteArray ethernet; // CONFIG_ETH.TXT; empty: the simulator's own static address
};

// The simulator's fresh device at 10.101.0.n: static Ethernet on its own address, /16, with the
// LAN's gateway.
QByteArray defaultEthernet(int n)
{
    return "[DHCP] No\n[IP] 10.101.0." + QByteArray::number(n) +
           "\n[MASK] 255.255.0.0\n[GW] 10.101.255.254\n";
}

// The six files by their path on the device, for the new network Customer-Net / WPA /
// cust0mer-key. The access point is off (AP No, ap_scan 1) on every device.
QMap<QString, QByteArray> expectedFiles(int n, const Own& own)
{
    return {
        {"Talvonex/CONFIG_NET.TXT", "[AP] No\n[SSID] Customer-Net\n[PASS] cust0mer-key\n"
                                    "[ENC] WPA\n[DHCP] " +
                                        own.wifiDhcp + "\n[IP] " + own.ip + "\n[MASK] " + own.mask +
                                        "\n[GW] " + own.gateway + "\n"},
        {"Talvonex/CONFIG_ETH.TXT", own.ethernet.isEmpty() ? defaultEthernet(n) : own.ethernet},
        {"etc/wpa_supplicant.conf", "ctrl_interface=/var/run/wpa_supplicant\nap_scan=1\n\n"
                                    "network={\nssid=\"Customer-Net\"\nscan_ssid=1\n"
                                    "proto=WPA RSN\nkey_mgmt=WPA-PSK\npairwise=CCMP TKIP\n"
                                    "group=CCMP TKIP\npsk=\"cust0mer-key\"\n}\n"},
        {"etc/hostapd.conf", "interface=ra0\ndriver=nl80211\nssid=Customer-Net\nchannel=1\n"
                             "hw_mode=g\nwpa=1\nwpa_passphrase=cust0mer-key\n"
                             "wpa_key_mgmt=WPA-PSK\nwpa_pairwise=TKIP\nrsn_pairwise=CCMP\n"},
        {"etc/udhcpd.conf", "start " + own.rangeStart + "\nend " + own.rangeEnd +
                                "\ninterface ra0\noption subnet " + own.mask + "\noption router " +
                                own.ip + "\n"},
        {"Talvonex/actualizado", ""},
    };
}

// Per device of kTwentyDevices, in list order: the result the table must show, and for a saved
// device what it keeps.
struct Expected {
    QString result;
    Own own;
};

QList<Expected> twentyExpected()
{
    const Expected plain{kSaved, {}};
    QList<Expected> all(20, plain);
    all[1].own = {
        "No", "192.168.20.2", "255.255.255.0", "192.168.20.1", "192.168.20.10", "192.168.20.100",
        {}};
    all[2] = {"Incorrect password", {}};
    all[3] = {"No answer to the settings request", {}};
    all[4] = {"Wifi and Ethernet can't be in the same subnet", {}};
    // The access point joins the network by DHCP; the addresses it served stay as texts.
    all[5].own = {
        "Yes", "192.168.4.1", "255.255.255.0", "192.168.4.1", "192.168.4.10", "192.168.4.100", {}};
    // A Wi-Fi-only model carries no Ethernet addresses.
    all[6].own = {"No",
                  "192.168.30.7",
                  "255.255.255.0",
                  "192.168.30.1",
                  "192.168.30.10",
                  "192.168.30.100",
                  "[DHCP] No\n[IP] \n[MASK] \n[GW] \n"};
    all[7].own = {"No", "172.20.8.8", "255.255.0.0", "172.20.0.1", "172.20.0.10", "172.20.0.100",
                  {}};
    all[13] = {"Incorrect password", {}};
    all[14].own.ethernet = "[DHCP] Yes\n[IP] \n[MASK] \n[GW] \n";
    return all;
}

QString address(int n)
{
    return QStringLiteral("10.101.0.%1").arg(n);
}

// The files a device stored, by path below its folder.
QMap<QString, QByteArray> storedFiles(const QTemporaryDir& store, int n)
{
    QMap<QString, QByteArray> files;
    const QDir folder(store.filePath(address(n)));
    QDirIterator it(folder.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(folder.relativeFilePath(path), readStoredFile(path));
    }
    return files;
}

// How many lines of the simulator's log match the pattern, %1 standing for the device's address.
int logLines(const Simulator& simulator, const QString& pattern, int n)
{
    const QRegularExpression line(QStringLiteral("^") +
                                      pattern.arg(QRegularExpression::escape(address(n))) +
                                      QStringLiteral("$"),
                                  QRegularExpression::MultilineOption);
    int count = 0;
    for (auto it = line.globalMatch(simulator.output()); it.hasNext(); it.next())
        ++count;
    return count;
}
int messagesFor(const Simulator& s, int n)
{
    return logLines(s, "message for %1: .*", n);
}
int settingsRepliesFor(const Simulator& s, int n)
{
    return logLines(s, "answered get_network from .* for %1", n);
}
int writesFor(const Simulator& s, int n)
{
    return logLines(s, "wrote 6 files for %1 under .*", n);
}

QStringList column(QTreeWidget* tree, int column)
{
    QStringList texts;
    for (int row = 0; row < tree->topLevelItemCount(); ++row)
        texts << tree->topLevelItem(row)->text(column);
    return texts;
}

// Where a person clicks a row's check box.
void clickCheckBox(QTreeWidget* tree, int row)
{
    const QRect rect = tree->visualItemRect(tree->topLevelItem(row));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 12, rect.center().y()));
}

void typeInto(QWidget* dialog, const char* edit, const QString& text)
{
    auto* field = child<QLineEdit>(*dialog, edit);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClicks(field, text);
}

// The list's menu opened with a right click, then its entry; the dialog once it is shown.
WifiRolloutDialog* openDialog(LanWindow& w)
{
    WindowDriver(w.form).chooseFromListMenu("MenuItem5");
    auto* dialog = w.form.findChild<WifiRolloutDialog*>(QStringLiteral("RolloutDialog"));
    return dialog != nullptr && QTest::qWaitForWindowExposed(dialog) ? dialog : nullptr;
}

// The new network and the admin password typed, Start clicked (the recorder confirms).
void fillInAndStart(QWidget* dialog)
{
    typeInto(dialog, "e_rollout_ssid", kSsid);
    typeInto(dialog, "e_rollout_pass", kPassword);
    typeInto(dialog, "e_rollout_admin_pass", kAdmin);
    QTest::mouseClick(child<QPushButton>(*dialog, "b_rollout_start"), Qt::LeftButton);
}

QString question(int devices)
{
    return QStringLiteral("Put %1 device(s) on the Wi-Fi network \"Customer-Net\"? Each device "
                          "restarts once its settings are saved.")
        .arg(devices);
}

// Searches until the window lists count devices.
bool listAll(LanWindow& w, int count)
{
    w.search();
    return QTest::qWaitFor([&] { return w.servers.count() == count; }, 5000);
}

// Plain devices 10.101.0.1 and up (the simulator's defaults), saved ones restarting for
// restartMs, and the window.
struct PlainRollout {
    PlainRollout(int count, int restartMs)
        : devices(count),
          simulator(1, {"--count", QString::number(count), "--first-address", "10.101.0.1",
                        "--files-dir", store.path(), "--restart-ms", QString::number(restartMs)})
    {}

    // All listed, the dialog opened from the menu, filled in, started and confirmed.
    bool start()
    {
        if (!simulator.waitForLine("started") || !listAll(w, devices) ||
            (dialog = openDialog(w)) == nullptr)
            return false;
        fillInAndStart(dialog);
        return dialogs.shown.size() == 1 && w.form.rollout().isRunning();
    }

    int devices;
    QTemporaryDir store;
    Simulator simulator;
    LanWindow w;
    DialogRecorder dialogs;
    WifiRolloutDialog* dialog = nullptr;
};

} // namespace

class VlanRolloutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twentyDevices_eachItsOwnResultAndFiles();
    void cancel_midway_writesNoOther();
    void restartedDevice_listedAgain_notWrittenTwice();
};

void VlanRolloutTest::twentyDevices_eachItsOwnResultAndFiles()
{
    QTemporaryDir dir;
    QTemporaryDir store;
    Simulator simulator(
        1, {"--config", writeDeviceFile(dir, kTwentyDevices), "--files-dir", store.path()});
    QVERIFY2(simulator.waitForLine("started"), qPrintable(simulator.output()));
    LanWindow w;
    QVERIFY(listAll(w, 20));
    DialogRecorder dialogs;
    WifiRolloutDialog* dialog = openDialog(w);
    QVERIFY(dialog);
    auto* tree = child<QTreeWidget>(*dialog, "tv_rollout_devices");
    QCOMPARE(tree->topLevelItemCount(), 20);
    QCOMPARE(tree->topLevelItem(6)->text(0), QStringLiteral("10.101.0.7 (SKYLET-W1)"));
    // The access point is the one left unchecked; a click checks it.
    for (int row = 0; row < 20; ++row)
        QCOMPARE(tree->topLevelItem(row)->checkState(0), row == 5 ? Qt::Unchecked : Qt::Checked);
    clickCheckBox(tree, 5);
    QCOMPARE(tree->topLevelItem(5)->checkState(0), Qt::Checked);
    QVERIFY(!child<QLabel>(*dialog, "l_rollout_warning")->isVisible());

    StallWatch stalls;
    stalls.start();
    fillInAndStart(dialog);
    QCOMPARE(dialogs.shown, (QList<ShownDialog>{{question(20), DialogKind::Confirmation,
                                                 DialogButtons::OkCancel}}));
    QVERIFY(w.form.rollout().isRunning());

    // Midway the window still does what it is asked: a click on a row loads its settings. Only
    // "Send" is off.
    auto* send = child<QPushButton>(w.form, "b_save");
    QVERIFY(QTest::qWaitFor([&] { return w.form.rollout().currentDevice() >= 8; }, 20000));
    w.clickRow(0);
    QCOMPARE(w.form.selectedIndex(), 0);
    QCOMPARE(child<QLineEdit>(w.form, "e_w_ssid")->text().toStdString(), w.servers.at(0).w_ssid);
    QVERIFY(!send->isEnabled());

    // 16 writes of about 1 s, two refused ones of as long, and 3 s without a settings reply.
    QVERIFY(QTest::qWaitFor([&] { return !w.form.rollout().isRunning(); }, 60000));
    QVERIFY(send->isEnabled());
    stalls.stop();
    std::printf("longest stall of the window's thread during the roll-out: %.1f ms\n",
                stalls.longestStallMs());
    QVERIFY2(stalls.longestStallMs() < kBlockedMs, "the roll-out blocked the window's thread");

    const QList<Expected> expected = twentyExpected();
    QStringList results;
    for (const Expected& device : expected)
        results << device.result;
    QCOMPARE(column(tree, 2), results);
    QCOMPARE(child<QLabel>(*dialog, "l_rollout_summary")->text(),
             QStringLiteral("Done: 16 saved, 3 refused, 1 no answer"));
    QCOMPARE(dialogs.shown.size(), 1); // no verdict box
    for (int n = 1; n <= 20; ++n) {
        const Expected& device = expected[n - 1];
        const auto stored = storedFiles(store, n);
        if (device.result == kSaved) {
            const auto files = expectedFiles(n, device.own);
            QCOMPARE(stored.keys(), files.keys());
            for (auto it = files.begin(); it != files.end(); ++it)
                QCOMPARE(stored.value(it.key()), it.value());
            QCOMPARE(writesFor(simulator, n), 1);
        } else {
            QVERIFY2(stored.isEmpty(), qPrintable(address(n)));
        }
    }
    // Nothing at all went to the device that did not answer, nor to the one the check refused;
    // the two with another password heard the six messages and refused them.
    QCOMPARE(messagesFor(simulator, 4), 0);
    QCOMPARE(messagesFor(simulator, 5), 0);
    QCOMPARE(messagesFor(simulator, 3), 6);
    QCOMPARE(messagesFor(simulator, 14), 6);
    QCOMPARE(
        logLines(simulator, "ignored get_network from .* for %1 \\(set not to answer it\\)", 4), 1);
    // One file written out in full, the access point's: off, and on DHCP.
    QCOMPARE(readStoredFile(store.filePath("10.101.0.6/Talvonex/CONFIG_NET.TXT")),
             QByteArray("[AP] No\n[SSID] Customer-Net\n[PASS] cust0mer-key\n[ENC] WPA\n"
                        "[DHCP] Yes\n[IP] 192.168.4.1\n[MASK] 255.255.255.0\n[GW] 192.168.4.1\n"));

    // The README's picture of the dialog, taken here when asked for.
    if (const QByteArray shot = qgetenv("NIMBREL_ROLLOUT_SCREENSHOT"); !shot.isEmpty()) {
        QTest::qWait(100);
        QVERIFY(dialog->grab().save(QString::fromLocal8Bit(shot)));
    }
}

void VlanRolloutTest::cancel_midway_writesNoOther()
{
    PlainRollout run(6, 60000);
    QVERIFY2(run.start(), qPrintable(run.simulator.output()));

    // Cancel while the third device's messages go out: it gets its whole set and its verdict
    // counts; the three after it are not even asked for their settings.
    const WifiRollout& rollout = run.w.form.rollout();
    QVERIFY(QTest::qWaitFor(
        [&] {
            return rollout.currentDevice() == 2 && rollout.phase() == WifiRollout::Phase::Writing;
        },
        10000));
    QTest::mouseClick(child<QPushButton>(*run.dialog, "b_rollout_cancel"), Qt::LeftButton);
    QVERIFY(rollout.isRunning());
    QVERIFY(QTest::qWaitFor([&] { return !rollout.isRunning(); }, 10000));

    QCOMPARE(column(child<QTreeWidget>(*run.dialog, "tv_rollout_devices"), 2),
             (QStringList{kSaved, kSaved, kSaved, kCancelled, kCancelled, kCancelled}));
    QCOMPARE(child<QLabel>(*run.dialog, "l_rollout_summary")->text(),
             QStringLiteral("Done: 3 saved, 0 refused, 0 no answer, 3 not written (cancelled)"));
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(storedFiles(run.store, n).size(), n <= 3 ? 6 : 0);
        QCOMPARE(messagesFor(run.simulator, n), n <= 3 ? 6 : 0);
        QCOMPARE(settingsRepliesFor(run.simulator, n), n <= 3 ? 1 : 0);
    }
    QVERIFY(child<QPushButton>(*run.dialog, "b_rollout_close")->isEnabled());
    QVERIFY(!child<QPushButton>(*run.dialog, "b_rollout_start")->isEnabled());
}

void VlanRolloutTest::restartedDevice_listedAgain_notWrittenTwice()
{
    PlainRollout run(3, 200);
    QVERIFY2(run.start(), qPrintable(run.simulator.output()));

    // The first device saved, restarted and back: a search lists it again while the roll-out
    // works on the others.
    QVERIFY(run.simulator.waitForLine("device 10.101.0.1 is back after restart", 5000));
    const WifiRollout& rollout = run.w.form.rollout();
    QVERIFY(rollout.isRunning());
    QVERIFY(!run.w.captions().contains(QStringLiteral("10.101.0.1 (QUORIX)")));
    run.w.search();
    QVERIFY(QTest::qWaitFor(
        [&] { return run.w.captions().contains(QStringLiteral("10.101.0.1 (QUORIX)")); }, 5000));
    QVERIFY(rollout.isRunning());
    QVERIFY(QTest::qWaitFor([&] { return !rollout.isRunning(); }, 10000));

    QCOMPARE(column(child<QTreeWidget>(*run.dialog, "tv_rollout_devices"), 2),
             (QStringList{kSaved, kSaved, kSaved}));
    for (int n = 1; n <= 3; ++n) {
        QCOMPARE(settingsRepliesFor(run.simulator, n), 1);
        QCOMPARE(messagesFor(run.simulator, n), 6);
        QCOMPARE(writesFor(run.simulator, n), 1);
    }
}

QTEST_MAIN(VlanRolloutTest)
#include "tst_vlan_rollout.moc"
