// "Send": the checks in their order, the six scrambled messages as they leave the socket, and
// the device's verdict.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/switch_widget.h"
#include "config/scramble.h"
#include "config/write_set.h"
#include "dialog_recorder.h"
#include "expected_writes.h"
#include "form_fixture.h"
#include "list_gestures.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

const QString kSuccessText =
    QStringLiteral("Parameters saved successfully. Wait until device restarts.");

// Everything a check must leave as it found it.
struct Snapshot {
    std::vector<std::string> record;
    QStringList panel;
    std::string writeTarget;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(FormFixture& f)
{
    Snapshot s;
    for (int i = 0; i < f.servers.count(); ++i)
        for (auto field : kWebServerFields)
            s.record.push_back(f.servers.at(i).*field);
    TForm1& w = *f.form;
    s.panel = QStringList{child<QLineEdit>(w, "e_w_ssid")->text(),
                          child<QLineEdit>(w, "e_w_pass")->text(),
                          child<QLineEdit>(w, "e_w_ip")->text(),
                          child<QLineEdit>(w, "e_w_mask")->text(),
                          child<QLineEdit>(w, "e_w_gw")->text(),
                          child<QLineEdit>(w, "e_eth_ip")->text(),
                          child<QLineEdit>(w, "e_eth_mask")->text(),
                          child<QLineEdit>(w, "e_eth_gw")->text(),
                          QString::number(child<QComboBox>(w, "cb_w_enc")->currentIndex()),
                          QString::number(child<Switch>(w, "s_w_ap")->isChecked()),
                          QString::number(child<Switch>(w, "s_w_dhcp")->isChecked()),
                          QString::number(child<Switch>(w, "s_eth_dhcp")->isChecked())};
    s.writeTarget = w.writeTarget();
    return s;
}

// Waits until every datagram the peer sent before has been handled.
void flush(FormFixture& f)
{
    static int next = 10;
    const auto marker = f.device("127.0.0." + std::to_string(next++ % 200 + 10));
    f.announce(*marker, announcement("MARKER"));
}

const std::string kOfficeSettings =
    "no;Office;wpa;office-key;no;10.1.0.5;255.255.0.0;10.1.0.1;no;172.16.0.5;255.255.255.0;"
    "172.16.0.1;";

using Gesture = void (*)(ListGestures&);

// The window shown with two QUORIX devices listed, at 127.0.0.3 (row 0) and 127.0.0.4 (row 1).
struct TwoDevices {
    TwoDevices()
    {
        f.form->show();
        f.announce(*a, announcement("QUORIX"));
        f.announce(*b, announcement("QUORIX"));
    }
    ~TwoDevices() { f.form->close(); }
    void send(int row)
    {
        f.clickRow(row);
        QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    }

    FormFixture f;
    std::unique_ptr<LoopbackPeer> a = f.device("127.0.0.3");
    std::unique_ptr<LoopbackPeer> b = f.device("127.0.0.4");
};

} // namespace

Q_DECLARE_METATYPE(Gesture)

class SendTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checks_data();
    void checks();
    void sixMessages_inOrder_scrambled_paced();
    void emptyPassword_sendsUnscrambled();
    void success_showsConfirmationAndDropsTheDevice();
    void error_showsIncorrectPasswordAndKeepsTheDevice();
    void verdicts_ignored_data();
    void verdicts_ignored();
    void verdict_whileBoxOpen_isHeldAndThenIgnored();
    void sendToSecondDevice_replacesTheTarget();
    void sendFailure_isShownAsAnError();
    void sixMessages_literalFiles_data();
    void sixMessages_literalFiles();
    void scrambledOnTheWire_literalBytes();
    void strayGesture_writesTheSelectedDevicesOwnSettings_data();
    void strayGesture_writesTheSelectedDevicesOwnSettings();
    void panelShowingAnotherDevice_refusesAndSendsNothing();
};

void SendTest::checks_data()
{
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("adminPassword");
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<QString>("wifiPassword");
    QTest::addColumn<QString>("expected");

    const QString valid = "secret123";
    QTest::addRow("nothing selected") << false << "1234"
                                      << "Office" << valid << "No device selected";
    QTest::addRow("5 characters, before validation")
        << true << "12345"
        << "Office"
        << "short"
        << "The password must contain at most 4 characters";
    QTest::addRow("non-ASCII password")
        << true << "pä"
        << "Office" << valid << "The password must contain only printable ASCII characters";
    QTest::addRow("tab in password")
        << true << "a\tb"
        << "Office" << valid << "The password must contain only printable ASCII characters";
    QTest::addRow("Café, before validation")
        << true << "1234"
        << "Café"
        << "short"
        << "Network settings must contain only printable ASCII characters";
    QTest::addRow("line feed in the Wi-Fi password")
        << true << "1234"
        << "Office"
        << "secret\n123"
        << "Network settings must contain only printable ASCII characters";
    QTest::addRow("validation last") << true << "1234"
                                     << "Office"
                                     << "short"
                                     << "WPA admin password must contain at least 8 characters";
}

void SendTest::checks()
{
    QFETCH(bool, select);
    QFETCH(QString, adminPassword);
    QFETCH(QString, ssid);
    QFETCH(QString, wifiPassword);
    QFETCH(QString, expected);

    FormFixture f;
    f.form->show();
    const auto device = f.device("127.0.0.3");
    f.announce(*device, announcement("QUORIX"));
    if (select) {
        f.clickRow(0);
        child<QLineEdit>(*f.form, "e_w_ssid")->setText(ssid);
        child<QLineEdit>(*f.form, "e_w_pass")->setText(wifiPassword);
    }
    child<QLineEdit>(*f.form, "edit_admin_pass")->setText(adminPassword);
    const Snapshot before = snapshot(f);

    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    QCOMPARE(dialogs.shown, (QList<ShownDialog>{{expected, DialogKind::Warning}}));
    QVERIFY(f.broadcasts.receiveFor(100).empty());
    QVERIFY(snapshot(f) == before);
    f.form->close();
}

void SendTest::sixMessages_inOrder_scrambled_paced()
{
    FormFixture f(60000, /*sendPauseMs=*/200);
    f.form->show();
    const auto device = f.device("127.0.0.3");
    f.announce(*device, announcement("QUORIX", "no;Office;wpa;secret123;no;10.1.0.5;255.255.0.0;"
                                               "10.1.0.1;no;172.16.0.5;255.255.255.0;172.16.0.1;"));
    f.clickRow(0);
    TForm1& w = *f.form;
    QTest::keyClicks(child<QLineEdit>(w, "e_w_ssid"), QStringLiteral("-2"));
    QTest::keyClicks(child<QLineEdit>(w, "edit_admin_pass"), QStringLiteral("k3y"));

    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w, "b_save"), Qt::LeftButton);
    QVERIFY(dialogs.shown.isEmpty());
    QCOMPARE(w.writeTarget(), std::string("127.0.0.3"));

    const std::vector<Received> sent = f.receiveWrite();
    QCOMPARE(sent.size(), std::size_t(6));

    const WriteSettings expected{.target = "127.0.0.3",
                                 .access_point = false,
                                 .ssid = "Office-2",
                                 .password = "secret123",
                                 .encryption_index = 2,
                                 .wifi_dhcp = false,
                                 .wifi_ip = "10.1.0.5",
                                 .wifi_mask = "255.255.0.0",
                                 .wifi_gateway = "10.1.0.1",
                                 .ethernet_dhcp = false,
                                 .ethernet_ip = "172.16.0.5",
                                 .ethernet_mask = "255.255.255.0",
                                 .ethernet_gateway = "172.16.0.1"};
    const auto messages = build_write_messages(expected);
    const char* paths[] = {"/Talvonex/CONFIG_NET.TXT", "/Talvonex/CONFIG_ETH.TXT",
                           "/etc/wpa_supplicant.conf", "/etc/hostapd.conf",
                           "/etc/udhcpd.conf",         "/Talvonex/actualizado"};
    for (std::size_t i = 0; i < 6; ++i) {
        QVERIFY(sent[i].bytes != messages[i]); // scrambled on the wire
        const std::string plain = scramble_text(sent[i].bytes, "k3y");
        QCOMPARE(plain, messages[i]);
        QVERIFY(plain.find(paths[i]) != std::string::npos);
        QCOMPARE(sent[i].sender, std::string(kToolAddress));
        if (i > 0) {
            const auto gap =
                std::chrono::duration_cast<std::chrono::milliseconds>(sent[i].at - sent[i - 1].at);
            QVERIFY2(gap.count() >= 180, qPrintable(QString::number(gap.count())));
        }
    }
    w.close();
}

void SendTest::emptyPassword_sendsUnscrambled()
{
    FormFixture f;
    f.form->show();
    const auto device = f.device("127.0.0.3");
    f.announce(*device, announcement("ROUTER", "yes;Cafe;wpa;secret123;no;;;;no;;;;"));
    f.clickRow(0);
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    std::vector<std::string> sent;
    for (const Received& datagram : f.receiveWrite())
        sent.push_back(datagram.bytes);
    QCOMPARE(sent.size(), std::size_t(6));
    QCOMPARE(sent[0], std::string("127.0.0.3\ncreate_file\n/Talvonex/CONFIG_NET.TXT\n[AP] Yes\n"
                                  "[SSID] Cafe\n[PASS] secret123\n[ENC] WPA\n[DHCP] No\n"
                                  "[IP] 192.168.0.1\n[MASK] 255.255.255.0\n[GW] 192.168.0.1\n"));
    QCOMPARE(sent[5], std::string("127.0.0.3\ncreate_file\n/Talvonex/actualizado\n"));
    f.form->close();
}

void SendTest::success_showsConfirmationAndDropsTheDevice()
{
    TwoDevices t;
    FormFixture& f = t.f;
    DialogRecorder dialogs;
    t.send(1);

    t.b->sendTo("Success", kToolAddress, f.port);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0], (ShownDialog{kSuccessText, DialogKind::Confirmation}));
    QCOMPARE(f.servers.count(), 1);
    QCOMPARE(f.servers.at(0).ip, std::string("127.0.0.3"));
    QCOMPARE(f.form->listModel()->rowCount(), 1);
    QCOMPARE(f.form->selectedIndex(), -1);
    QVERIFY(child<QLineEdit>(*f.form, "e_w_ssid")->text().isEmpty());
    QVERIFY(f.form->writeTarget().empty());
    QVERIFY(!f.form->verdictBusy());

    t.b->sendTo("Success", kToolAddress, f.port);
    flush(f);
    QCOMPARE(dialogs.shown.size(), 1);
}

void SendTest::error_showsIncorrectPasswordAndKeepsTheDevice()
{
    FormFixture f;
    f.form->show();
    const auto a = f.device("127.0.0.3");
    f.announce(*a, announcement("QUORIX"));
    f.clickRow(0);
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);

    a->sendTo("Write Error: bad key, no Success", kToolAddress, f.port);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0], (ShownDialog{"Incorrect password", DialogKind::Warning}));
    QCOMPARE(f.servers.count(), 1);
    QCOMPARE(f.form->selectedIndex(), 0);
    QVERIFY(f.form->writeTarget().empty());

    a->sendTo("Success", kToolAddress, f.port);
    a->sendTo("Error", kToolAddress, f.port);
    flush(f);
    QCOMPARE(dialogs.shown.size(), 1);
    f.form->close();
}

void SendTest::verdicts_ignored_data()
{
    QTest::addColumn<bool>("sendFirst");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("text");
    QTest::addRow("before any Send") << false << "127.0.0.3"
                                     << "Success";
    QTest::addRow("from another address") << true << "127.0.0.4"
                                          << "Success";
    QTest::addRow("error from another address") << true << "127.0.0.4"
                                                << "Error";
    QTest::addRow("lower case") << true << "127.0.0.3"
                                << "success";
    QTest::addRow("carried by an announcement") << true << "127.0.0.3"
                                                << "im_QUORIX;Success;";
    QTest::addRow("carried by a settings reply") << true << "127.0.0.3"
                                                 << "network_response;Error;";
}

void SendTest::verdicts_ignored()
{
    QFETCH(bool, sendFirst);
    QFETCH(QString, from);
    QFETCH(QString, text);
    FormFixture f;
    f.form->show();
    const auto a = f.device("127.0.0.3");
    const auto other = f.device("127.0.0.4");
    f.announce(*a, announcement("QUORIX"));
    f.clickRow(0);
    DialogRecorder dialogs;
    if (sendFirst)
        QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    (from == "127.0.0.3" ? *a : *other).sendTo(text.toStdString(), kToolAddress, f.port);
    flush(f);
    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(f.servers.find("127.0.0.3") != nullptr);
    f.form->close();
}

void SendTest::verdict_whileBoxOpen_isHeldAndThenIgnored()
{
    FormFixture f;
    f.form->show();
    const auto a = f.device("127.0.0.3");
    f.announce(*a, announcement("QUORIX"));
    f.clickRow(0);
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);

    bool busyWhileOpen = false;
    int boxesWhileOpen = 0;
    DialogRecorder* recorder = nullptr;
    DialogRecorder dialogs([&](const ShownDialog&) {
        busyWhileOpen = f.form->verdictBusy();
        // Another verdict arrives while the box is open and the event loop turns: it waits.
        a->sendTo("Error and Success", kToolAddress, f.port);
        QTest::qWait(200);
        boxesWhileOpen = static_cast<int>(recorder->shown.size());
    });
    recorder = &dialogs;
    a->sendTo("Error and Success", kToolAddress, f.port); // both words: an error
    QTRY_COMPARE(dialogs.shown.size(), 1);
    flush(f);
    QVERIFY(busyWhileOpen);
    QCOMPARE(boxesWhileOpen, 1);
    QCOMPARE(dialogs.shown, (QList<ShownDialog>{{"Incorrect password", DialogKind::Warning}}));
    QVERIFY(!f.form->verdictBusy());
    f.form->close();
}

void SendTest::sendToSecondDevice_replacesTheTarget()
{
    TwoDevices t;
    FormFixture& f = t.f;
    t.send(0);
    t.send(1);
    QCOMPARE(f.form->writeTarget(), std::string("127.0.0.4"));

    DialogRecorder dialogs;
    t.a->sendTo("Success", kToolAddress, f.port);
    flush(f);
    QVERIFY(dialogs.shown.isEmpty());
    t.b->sendTo("Success", kToolAddress, f.port);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QVERIFY(f.servers.find("127.0.0.4") == nullptr);
    QVERIFY(f.servers.find("127.0.0.3") != nullptr);
}

void SendTest::sendFailure_isShownAsAnError()
{
    TwoDevices t;
    FormFixture& f = t.f;
    t.send(0);
    QCOMPARE(f.form->writeTarget(), std::string("127.0.0.3"));

    // The socket is gone: the platform refuses the first message of the next write.
    child<UdpEndpoint>(*f.form, "server")->stop();
    DialogRecorder dialogs;
    t.send(1);
    QCOMPARE(dialogs.shown, (QList<ShownDialog>{{"Socket is not bound.", DialogKind::Error}}));
    // Nothing reached the second device, so the first one's verdict is still the one awaited.
    QCOMPARE(f.form->writeTarget(), std::string("127.0.0.3"));
    QCOMPARE(f.servers.count(), 2);
}

void SendTest::sixMessages_literalFiles_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("adminPassword");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("QUORIX Wi-Fi client, static Ethernet")
        << "QUORIX" << QString::fromStdString(kOfficeSettings) << "k3y"
        << kQuorixClientStaticEthernet;
    QTest::addRow("QUORIX access point, first subnet")
        << "QUORIX"
        << "yes;Site-AP;wpa;ap-secret;no;;;;no;10.20.0.2;255.255.255.0;10.20.0.1;"
        << "1234" << quorixAccessPoint(QStringLiteral("No"), QStringLiteral("192.168.0"));
    QTest::addRow("QUORIX access point, second subnet")
        << "QUORIX"
        << "yes;Site-AP;wpa;ap-secret;yes;;;;no;10.20.0.2;255.255.255.0;10.20.0.1;"
        << "1234" << quorixAccessPoint(QStringLiteral("Yes"), QStringLiteral("192.168.1"));
    QTest::addRow("Wi-Fi-only model on DHCP, empty admin password")
        << "TALVO-W1"
        << "no;Cafe;open;;yes;;;;;;;;" << QString() << kWifiOnlyDhcpOpen;
    QTest::addRow("WEP key of 5 characters")
        << "TALVO-W1"
        << "no;Shop;wep;abcde;yes;;;;;;;;"
        << "9" << wifiOnlyDhcpWep(QStringLiteral("abcde"), QStringLiteral("\"abcde\""));
    QTest::addRow("WEP key of 13 characters")
        << "TALVO-W1"
        << "no;Shop;wep;abcdefghijklm;yes;;;;;;;;"
        << "9"
        << wifiOnlyDhcpWep(QStringLiteral("abcdefghijklm"), QStringLiteral("\"abcdefghijklm\""));
    QTest::addRow("WEP key of 10 hexadecimal digits")
        << "TALVO-W1"
        << "no;Shop;wep;0123456789;yes;;;;;;;;"
        << "9" << wifiOnlyDhcpWep(QStringLiteral("0123456789"), QStringLiteral("0123456789"));
    QTest::addRow("WEP key of 26 hexadecimal digits")
        << "TALVO-W1"
        << "no;Shop;wep;0123456789abcdef0123456789;yes;;;;;;;;"
        << "9"
        << wifiOnlyDhcpWep(QStringLiteral("0123456789abcdef0123456789"),
                           QStringLiteral("0123456789abcdef0123456789"));
}

void SendTest::sixMessages_literalFiles()
{
    QFETCH(QString, model);
    QFETCH(QString, settings);
    QFETCH(QString, adminPassword);
    QFETCH(QStringList, expected);

    FormFixture f;
    f.form->show();
    const auto device = f.device("127.0.0.3");
    f.announce(*device, announcement(model.toStdString(), settings.toStdString()));
    f.clickRow(0);
    QTest::keyClicks(child<QLineEdit>(*f.form, "edit_admin_pass"), adminPassword);
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    QCOMPARE(dialogs.shown, QList<ShownDialog>{});
    const std::vector<Received> sent = f.receiveWrite();
    QCOMPARE(unscrambled(sent, adminPassword.toStdString()), expected);
    if (adminPassword.isEmpty()) // nothing to scramble with: the files travel as they are
        for (std::size_t i = 0; i < sent.size(); ++i)
            QCOMPARE(QString::fromStdString(sent[i].bytes), expected[static_cast<int>(i)]);
    f.form->close();
}

void SendTest::scrambledOnTheWire_literalBytes()
{
    FormFixture f;
    f.form->show();
    const auto device = f.device("127.0.0.3");
    f.announce(*device, announcement("QUORIX", kOfficeSettings));
    f.clickRow(0);
    QTest::keyClicks(child<QLineEdit>(*f.form, "edit_admin_pass"), QStringLiteral("k3y"));
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    const std::vector<Received> sent = f.receiveWrite();
    QCOMPARE(sent.size(), kWriteMessageCount);
    // The marker "127.0.0.3\ncreate_file\n/Talvonex/actualizado\n", each byte exclusive-or the
    // byte of "k3y" at its position modulo 3.
    const QByteArray marker = QByteArray::fromHex("5a014e4503575b1d4a61500b0e520d0e6c1f025f1c611c2d"
                                                  "0a5f0f045d1c131c1808470c0a5f1011521d0439");
    QCOMPARE(QByteArray::fromStdString(sent[5].bytes), marker);
    f.form->close();
}

void SendTest::strayGesture_writesTheSelectedDevicesOwnSettings_data()
{
    QTest::addColumn<Gesture>("gesture");
    QTest::addRow("right-click on the other device, then Escape")
        << Gesture(+[](ListGestures& g) { g.rightClickAndDismiss(g.caption(1)); });
    QTest::addRow("drag from the selected device to the other") << Gesture(+[](ListGestures& g) {
        g.press(Qt::LeftButton, g.caption(0));
        g.dragTo(g.caption(0), g.caption(1));
        g.release(Qt::LeftButton, g.caption(1));
    });
    QTest::addRow("middle-click on the other device")
        << Gesture(+[](ListGestures& g) { g.click(Qt::MiddleButton, g.caption(1)); });
}

void SendTest::strayGesture_writesTheSelectedDevicesOwnSettings()
{
    QFETCH(Gesture, gesture);
    FormFixture f;
    f.form->show();
    const auto a = f.device("127.0.0.3");
    const auto b = f.device("127.0.0.4");
    f.announce(*a, announcement("QUORIX", kOfficeSettings));
    f.announce(*b, announcement("QUORIX", "no;Warehouse;wpa;other-key;no;10.9.0.7;255.255.255.0;"
                                          "10.9.0.1;no;172.31.0.7;255.255.255.0;172.31.0.1;"));
    f.clickRow(0);
    ListGestures gestures(child<DeviceListView>(*f.form, "list"));
    gesture(gestures);
    QTest::keyClicks(child<QLineEdit>(*f.form, "edit_admin_pass"), QStringLiteral("k3y"));
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    QCOMPARE(dialogs.shown, QList<ShownDialog>{});
    QCOMPARE(unscrambled(f.receiveWrite(), "k3y"), kQuorixClientStaticEthernet);
    QCOMPARE(f.form->writeTarget(), std::string("127.0.0.3"));
    QCOMPARE(f.servers.find("127.0.0.4")->w_ssid, std::string("Warehouse"));
    f.form->close();
}

void SendTest::panelShowingAnotherDevice_refusesAndSendsNothing()
{
    TwoDevices t;
    FormFixture& f = t.f;
    f.clickRow(0);
    // Should the selection ever move without the panel following, "Send" must not mix the two.
    DeviceListView* view = child<DeviceListView>(*f.form, "list");
    view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    const Snapshot before = snapshot(f);
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(*f.form, "b_save"), Qt::LeftButton);
    QCOMPARE(dialogs.shown,
             (QList<ShownDialog>{{QStringLiteral("The settings shown are not those of the selected "
                                                 "device. Nothing was sent: click the device in "
                                                 "the list and check its settings again."),
                                  DialogKind::Warning}}));
    QVERIFY(f.broadcasts.receiveFor(100).empty());
    QVERIFY(snapshot(f) == before);
    // Nor does an edit made meanwhile land in the device that is selected but not shown.
    child<QLineEdit>(*f.form, "e_w_ssid")->setText(QStringLiteral("Typed"));
    QCOMPARE(f.servers.at(1).w_ssid, std::string("Office"));
}

QTEST_MAIN(SendTest)
#include "tst_send.moc"
