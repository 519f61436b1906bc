// The real window with the program's own endpoint settings (0.0.0.0, port 12340, broadcasts to
// 255.255.255.255), run inside the tool namespace of the virtual LAN against simulated devices in
// the LAN namespaces. Nothing here runs in the machine's own namespace.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/switch_widget.h"
#include "app/tform1.h"
#include "config/write_set.h"
#include "dialog_recorder.h"
#include "lan_simulator.h"
#include "lan_window.h"
#include "virtual_lan.h"
#include "window_driver.h"
#include "window_widgets.h"

#include <QAccessible>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

const QString kSuccess =
    QStringLiteral("Parameters saved successfully. Wait until device restarts.");

using Window = LanWindow;

// The content a device stores: the message without its three head lines.
QByteArray contentOf(const std::string& message)
{
    std::size_t at = 0;
    for (int line = 0; line < 3; ++line)
        at = message.find('\n', at) + 1;
    return QByteArray::fromStdString(message.substr(at));
}

} // namespace

class VlanWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void discovery_everyKindInAddressOrder();
    void search_elevenBytesFromPort12340OnEveryLan();
    void burst_254DevicesAllListed();
    void twoLans_devicesOnBothFound();
    void twoDevicesOneAddress_firstListedOtherMarked();
    void unansweredSearch_hintNamesEveryInterfaceItWentOutOn();
    void write_rightPassword_filesSuccessAndListedAgain();
    void write_wrongPassword_incorrectPasswordDeviceStays();
    void write_toSecondLan_neverReachesTheFirst();
    void program_firstSearchAfterTenSeconds_secondCopyRefused();
};

void VlanWindowTest::discovery_everyKindInAddressOrder()
{
    QTemporaryDir dir;
    const QString config = writeDeviceFile(dir, R"({"devices":[
        {"address":"10.101.0.30","model":"QUORIX","identifier":"TVX-30","firmware":"2.4.1",
         "build":"1187","user":"site"},
        {"address":"10.101.0.4","model":"ROUTER-AX","identifier":"RTR-4"},
        {"address":"10.101.0.17","older_firmware":true,"identifier":"OLD-17"}]})");
    Simulator simulator(1, {"--config", config});
    QVERIFY2(simulator.waitForLine("started"), qPrintable(simulator.output()));
    Window w;
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.form.listModel()->rowCount(), 3, 5000);
    QCOMPARE(w.captions(), (QStringList{"10.101.0.4 (ROUTER-AX)", "10.101.0.17 (Outdated firmware)",
                                        "10.101.0.30 (QUORIX)"}));

    const QRect button =
        child<DeviceListView>(w.form, "list")
            ->infoButtonRect(child<DeviceListView>(w.form, "list")->model()->index(2, 0));
    QTest::mouseMove(child<DeviceListView>(w.form, "list")->viewport(), button.center());
    QTest::mouseClick(child<DeviceListView>(w.form, "list")->viewport(), Qt::LeftButton, {},
                      button.center());
    QTRY_VERIFY(child<InfoPopover>(w.form, "MultiView1")->isVisible());
    QAbstractItemModel* grid = child<QTableView>(w.form, "grid_info")->model();
    QCOMPARE(grid->index(1, 1).data().toString(), QStringLiteral("TVX-30"));
    QCOMPARE(grid->index(4, 1).data().toString(), QStringLiteral("site"));
    child<InfoPopover>(w.form, "MultiView1")->close();
}

void VlanWindowTest::search_elevenBytesFromPort12340OnEveryLan()
{
    LanListener lan1(1);
    LanListener lan2(2);
    Window w;
    w.search();
    for (auto [listener, toolAddress] :
         {std::pair{&lan1, "NIMBREL_LAN1_TOOL_ADDR"}, std::pair{&lan2, "NIMBREL_LAN2_TOOL_ADDR"}}) {
        const auto search = listener->receive(3000);
        QVERIFY(search);
        QCOMPARE(search->bytes, std::string("find_QUORIX"));
        QCOMPARE(search->senderPort, 12340);
        QCOMPARE(QString::fromStdString(search->sender),
                 QString::fromStdString(vlanVariable(toolAddress)));
        QVERIFY2(!listener->receive(300), "one search per network, not more");
    }
}

void VlanWindowTest::burst_254DevicesAllListed()
{
    Simulator simulator(1, {"--count", "254", "--first-address", "10.101.0.1"});
    QVERIFY(simulator.waitForLine("started"));
    Window w;
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.form.listModel()->rowCount(), 254, 10000);
    QCOMPARE(w.servers.at(0).ip, std::string("10.101.0.1"));
    QCOMPARE(w.servers.at(253).ip, std::string("10.101.0.254"));
}

void VlanWindowTest::twoLans_devicesOnBothFound()
{
    Simulator first(1, {"--count", "3", "--first-address", "10.101.0.1"});
    Simulator second(2, {"--count", "3", "--first-address", "10.102.0.1"});
    QVERIFY(first.waitForLine("started") && second.waitForLine("started"));
    Window w;
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.form.listModel()->rowCount(), 6, 5000);
    QCOMPARE(w.servers.at(3).ip, std::string("10.102.0.1"));
}

void VlanWindowTest::twoDevicesOneAddress_firstListedOtherMarked()
{
    // Two simulators sharing the port in LAN 1, each one device at 10.101.0.5: both answer the
    // one search, as two devices given the same address do.
    const QStringList shared = {"--share-port", "--first-address", "10.101.0.5"};
    Simulator first(1, shared + QStringList{"--identifier", "TVX-FIRST"});
    QVERIFY2(first.waitForLine("started"), qPrintable(first.output()));
    Simulator second(1, shared + QStringList{"--identifier", "TVX-SECOND"});
    QVERIFY2(second.waitForLine("started"), qPrintable(second.output()));
    Window w;
    w.search();
    QVERIFY2(first.waitForLine("answered search"), qPrintable(first.output()));
    QVERIFY2(second.waitForLine("answered search"), qPrintable(second.output()));
    QTRY_VERIFY_WITH_TIMEOUT(
        w.form.listModel()->index(0).data(DeviceListModel::ConflictRole).toBool(), 5000);
    QCOMPARE(w.servers.count(), 1);
    QCOMPARE(w.captions(), QStringList{"10.101.0.5 (QUORIX)"});
    // Whichever answered first is listed; the mark names the other.
    const std::string listed = w.servers.at(0).identifier;
    QVERIFY2(listed == "TVX-FIRST" || listed == "TVX-SECOND", listed.c_str());
    const QString other = listed == "TVX-FIRST" ? "TVX-SECOND" : "TVX-FIRST";
    QAccessibleInterface* list =
        QAccessible::queryAccessibleInterface(child<DeviceListView>(w.form, "list"));
    QVERIFY(list != nullptr);
    QCOMPARE(
        list->child(0)->text(QAccessible::Description),
        QStringLiteral("Another device (identifier %1) also answers from this address").arg(other));
}

void VlanWindowTest::unansweredSearch_hintNamesEveryInterfaceItWentOutOn()
{
    // No simulator: nothing answers the search, which leaves through both LANs' interfaces.
    Window w;
    w.search();
    auto* hint = child<QLabel>(w.form, "l_no_answer");
    QVERIFY(!hint->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible(), 6000);
    for (int lan : {1, 2}) {
        const QString iface = QString::fromStdString(
            vlanVariable(qPrintable(QStringLiteral("NIMBREL_LAN%1_IFACE_TOOL").arg(lan))));
        const QString address = QString::fromStdString(
            vlanVariable(qPrintable(QStringLiteral("NIMBREL_LAN%1_TOOL_ADDR").arg(lan))));
        QVERIFY2(hint->text().contains(QStringLiteral("%1 (%2)").arg(iface, address)),
                 qPrintable(hint->text()));
    }
    QVERIFY(hint->text().contains(QStringLiteral("UDP port 12340")));
    QVERIFY(!hint->text().contains(QStringLiteral("lo (")));
}

void VlanWindowTest::write_rightPassword_filesSuccessAndListedAgain()
{
    QTemporaryDir files;
    const QStringList device = {
        "--first-address",
        "10.101.0.30",
        "--model",
        "QUORIX",
        "--admin-password",
        "7Qx",
        "--restart-ms",
        "1500",
        "--files-dir",
        files.path(),
        "--settings",
        "no;Office;wpa;secret123;no;10.101.0.30;255.255.0.0;10.101.255.254;no;192.168.7.30;"
        "255.255.255.0;192.168.7.1;"};
    Simulator simulator(1, device);
    QVERIFY(simulator.waitForLine("started"));
    Window w;
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.servers.count(), 1, 5000);
    w.clickRow(0);
    w.servers.at(0).w_ssid = "stale"; // the settings reply replaces what the panel had
    QTest::mouseClick(child<QToolButton>(w.form, "bt_net_refresh"), Qt::LeftButton);
    QTRY_COMPARE(child<QLineEdit>(w.form, "e_w_ssid")->text(), QStringLiteral("Office"));

    QTest::keyClicks(child<QLineEdit>(w.form, "e_w_ssid"), QStringLiteral("-2"));
    QTest::keyClicks(child<QLineEdit>(w.form, "edit_admin_pass"), QStringLiteral("7Qx"));
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.shown.size(), 1, 5000);
    QCOMPARE(dialogs.shown[0], (ShownDialog{kSuccess, DialogKind::Confirmation}));
    QCOMPARE(w.servers.count(), 0);

    const WriteSettings expected{.target = "10.101.0.30",
                                 .access_point = false,
                                 .ssid = "Office-2",
                                 .password = "secret123",
                                 .encryption_index = 2,
                                 .wifi_dhcp = false,
                                 .wifi_ip = "10.101.0.30",
                                 .wifi_mask = "255.255.0.0",
                                 .wifi_gateway = "10.101.255.254",
                                 .ethernet_dhcp = false,
                                 .ethernet_ip = "192.168.7.30",
                                 .ethernet_mask = "255.255.255.0",
                                 .ethernet_gateway = "192.168.7.1"};
    const auto messages = build_write_messages(expected);
    const char* paths[] = {"Talvonex/CONFIG_NET.TXT", "Talvonex/CONFIG_ETH.TXT",
                           "etc/wpa_supplicant.conf", "etc/hostapd.conf",
                           "etc/udhcpd.conf",         "Talvonex/actualizado"};
    const QDir stored(files.filePath(QStringLiteral("10.101.0.30")));
    for (std::size_t i = 0; i < 6; ++i)
        QCOMPARE(readStoredFile(stored.filePath(QString::fromLatin1(paths[i]))),
                 contentOf(messages[i]));
    QCOMPARE(readStoredFile(stored.filePath(QStringLiteral("Talvonex/CONFIG_NET.TXT"))),
             QByteArray("[AP] No\n[SSID] Office-2\n[PASS] secret123\n[ENC] WPA\n[DHCP] No\n"
                        "[IP] 10.101.0.30\n[MASK] 255.255.0.0\n[GW] 10.101.255.254\n"));

    // Silent while it restarts, listed again once it answers.
    QVERIFY(simulator.waitForLine("is back after restart", 5000));
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.servers.count(), 1, 5000);
    w.clickRow(0);
    QTest::mouseClick(child<QToolButton>(w.form, "bt_net_refresh"), Qt::LeftButton);
    QTRY_COMPARE(child<QLineEdit>(w.form, "e_w_ssid")->text(), QStringLiteral("Office-2"));
}

void VlanWindowTest::write_wrongPassword_incorrectPasswordDeviceStays()
{
    Simulator simulator(1, {"--first-address", "10.101.0.30", "--admin-password", "7Qx",
                            "--settings", "no;Office;wpa;secret123;yes;;;;yes;;;;"});
    QVERIFY(simulator.waitForLine("started"));
    Window w;
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.servers.count(), 1, 5000);
    w.clickRow(0);
    QTest::keyClicks(child<QLineEdit>(w.form, "edit_admin_pass"), QStringLiteral("1234"));
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.shown.size(), 1, 5000);
    QCOMPARE(dialogs.shown[0], (ShownDialog{"Incorrect password", DialogKind::Warning}));
    QCOMPARE(w.servers.count(), 1);
    QCOMPARE(w.form.selectedIndex(), 0);
}

void VlanWindowTest::write_toSecondLan_neverReachesTheFirst()
{
    LanListener lan1(1);
    Simulator simulator(2, {"--first-address", "10.102.0.9", "--admin-password", "", "--restart-ms",
                            "100", "--settings", "no;Office;wpa;secret123;yes;;;;yes;;;;"});
    QVERIFY(simulator.waitForLine("started"));
    Window w;
    w.search();
    QTRY_COMPARE_WITH_TIMEOUT(w.servers.count(), 1, 5000);
    const auto search = lan1.receive(1000);
    QVERIFY(search && search->bytes == "find_QUORIX");

    w.clickRow(0);
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.shown.size(), 1, 5000);
    QCOMPARE(dialogs.shown[0].text, kSuccess);
    const auto leaked = lan1.receive(500);
    QVERIFY2(!leaked, leaked ? leaked->bytes.c_str() : "");
}

void VlanWindowTest::program_firstSearchAfterTenSeconds_secondCopyRefused()
{
    LanListener lan1(1);
    QProcess first;
    QElapsedTimer sinceStart;
    first.start(QString::fromStdString(vlanVariable("NIMBREL_BINARY")), {});
    sinceStart.start();
    QVERIFY(first.waitForStarted());
    QVERIFY2(!lan1.receive(8000), "nothing is sent before the first tick");
    const auto search = lan1.receive(7000);
    QVERIFY(search);
    QCOMPARE(search->bytes, std::string("find_QUORIX"));
    QVERIFY(sinceStart.elapsed() >= 9000);

    QProcess second;
    QByteArray secondErrors;
    connect(&second, &QProcess::readyReadStandardError, this,
            [&] { secondErrors += second.readAllStandardError(); });
    second.start(QString::fromStdString(vlanVariable("NIMBREL_BINARY")), {});
    QTRY_VERIFY_WITH_TIMEOUT(
        secondErrors.contains("Could not bind socket. Address and port are already in use."),
        10000);
    second.kill(); // its error box waits for a user that is not there
    second.waitForFinished();
    QCOMPARE(first.state(), QProcess::Running);
    QVERIFY(lan1.receive(12000)); // the first copy keeps searching
    first.terminate();
    first.waitForFinished(5000);
}

QTEST_MAIN(VlanWindowTest)
#include "tst_vlan_window.moc"
