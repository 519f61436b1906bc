// The settings panel: what loading a device shows under the model and access-point rules, what
// reaches the device's record through the change events, and the settings request and reply.

#include "app/device_list_view.h"
#include "app/switch_widget.h"
#include "form_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

// The twelve settings values as an announcement carries them, after the six facts.
std::string settingsParts(const QStringList& values)
{
    return values.join(QLatin1Char(';')).toStdString() + ";";
}

} // namespace

class SettingsPanelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void showSettings_data();
    void showSettings();
    void encryptionWord_data();
    void encryptionWord();
    void changeSubnetSwitch_choosesTheAccessPointSubnet();
    void accessPointSwitch_forcesWpaAndDefaultsIntoTheRecord();
    void typing_updatesTheRecordAtEveryKeystroke();
    void edits_withoutSelection_storeNothing();
    void unlockLastsUntilTheNextLoad();
    void settingsRequest_goesToTheSelectedDeviceOnly();
    void settingsReply_data();
    void settingsReply();
    void settingsReply_fromUnselectedDevice_updatesOnlyItsRecord();

private:
    WebServer& listAndSelect(const std::string& model, const std::string& settings);
    std::unique_ptr<FormFixture> f;
    std::unique_ptr<LoopbackPeer> peer;
};

void SettingsPanelTest::init()
{
    f = std::make_unique<FormFixture>();
    f->form->show();
    peer = f->device("127.0.0.3");
}

void SettingsPanelTest::cleanup()
{
    f->form->close();
    peer.reset();
    f.reset();
}

WebServer& SettingsPanelTest::listAndSelect(const std::string& model, const std::string& settings)
{
    f->announce(*peer, announcement(model, settings));
    f->clickRow(0);
    return f->servers.at(0);
}

void SettingsPanelTest::showSettings_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("wifiEdits"); // ip, mask, gw as shown
    QTest::addColumn<bool>("wifiEditsEnabled");
    QTest::addColumn<int>("encryption");
    QTest::addColumn<bool>("encryptionEnabled");
    QTest::addColumn<QString>("dhcpLabel"); // empty: hidden
    QTest::addColumn<bool>("ethernetTab");
    QTest::addColumn<QStringList>("ethernetEdits");
    QTest::addColumn<bool>("ethernetEditsEnabled"); // within their page

    const QStringList eth = {"10.0.0.2", "255.0.0.0", "10.0.0.1"};
    const QStringList none = {"", "", ""};
    QTest::addRow("QUORIX access point, subnet switch on")
        << "QUORIX"
        << QStringList{"yes",       "Net",     "open", "secret123", "yes",       "1.2.3.4",
                       "255.0.0.0", "1.2.3.1", "no",   "10.0.0.2",  "255.0.0.0", "10.0.0.1"}
        << QStringList{"192.168.1.1", "255.255.255.0", "192.168.1.1"} << false << 2 << false
        << "Change subnet" << true << eth << true;
    QTest::addRow("QUORIX access point, subnet switch off")
        << "QUORIX-X" << QStringList{"yes", "Net", "wpa", "secret123", "no",        "",
                                     "",    "",    "yes", "10.0.0.2",  "255.0.0.0", "10.0.0.1"}
        << QStringList{"192.168.0.1", "255.255.255.0", "192.168.0.1"} << false << 2 << false
        << "Change subnet" << true << eth << false;
    QTest::addRow("other model access point, DHCP on still 192.168.0.x")
        << "ROUTER" << QStringList{"yes", "Net", "wpa", "secret123", "yes",       "",
                                   "",    "",    "no",  "10.0.0.2",  "255.0.0.0", "10.0.0.1"}
        << QStringList{"192.168.0.1", "255.255.255.0", "192.168.0.1"} << false << 2 << false << ""
        << false << none << true;
    QTest::addRow("QUORIX client, DHCP on")
        << "QUORIX"
        << QStringList{"no",        "Net",     "wep", "12345",    "yes",       "1.2.3.4",
                       "255.0.0.0", "1.2.3.1", "no",  "10.0.0.2", "255.0.0.0", "10.0.0.1"}
        << QStringList{"1.2.3.4", "255.0.0.0", "1.2.3.1"} << false << 1 << true << "Enable DHCP"
        << true << eth << true;
    QTest::addRow("other model client, static")
        << "ROUTER"
        << QStringList{"no",        "Net",     "open", "",         "no",        "1.2.3.4",
                       "255.0.0.0", "1.2.3.1", "yes",  "10.0.0.2", "255.0.0.0", "10.0.0.1"}
        << QStringList{"1.2.3.4", "255.0.0.0", "1.2.3.1"} << true << 0 << true << "Enable DHCP"
        << false << none << false;
    QTest::addRow("capital YES reads as off")
        << "QUORIX" << QStringList{"YES",       "Net",     "wpa", "secret123", "YES", "1.2.3.4",
                                   "255.0.0.0", "1.2.3.1", "YES", "",          "",    ""}
        << QStringList{"1.2.3.4", "255.0.0.0", "1.2.3.1"} << true << 2 << true << "Enable DHCP"
        << true << none << true;
}

void SettingsPanelTest::showSettings()
{
    QFETCH(QString, model);
    QFETCH(QStringList, settings);
    QFETCH(QStringList, wifiEdits);
    QFETCH(bool, wifiEditsEnabled);
    QFETCH(int, encryption);
    QFETCH(bool, encryptionEnabled);
    QFETCH(QString, dhcpLabel);
    QFETCH(bool, ethernetTab);
    QFETCH(QStringList, ethernetEdits);
    QFETCH(bool, ethernetEditsEnabled);

    // Announcements lower-case the flags; the settings reply stores them as sent, so the
    // reply is what puts a capital YES into the record.
    f->announce(*peer, announcement(model.toStdString()));
    child<QTabWidget>(*f->form, "TabControl1")->setCurrentIndex(1);
    f->clickRow(0);
    peer->sendTo("network_response;" + settingsParts(settings), kToolAddress, f->port);
    QTRY_COMPARE(QString::fromStdString(f->servers.at(0).w_ssid), settings[1]);

    TForm1& w = *f->form;
    QCOMPARE(
        (QStringList{child<QLineEdit>(w, "e_w_ip")->text(), child<QLineEdit>(w, "e_w_mask")->text(),
                     child<QLineEdit>(w, "e_w_gw")->text()}),
        wifiEdits);
    for (QLineEdit* e : {child<QLineEdit>(w, "e_w_ip"), child<QLineEdit>(w, "e_w_mask"),
                         child<QLineEdit>(w, "e_w_gw")})
        QCOMPARE(e->isEnabled(), wifiEditsEnabled);
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->currentIndex(), encryption);
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->isEnabled(), encryptionEnabled);
    QCOMPARE(!child<Switch>(w, "s_w_dhcp")->isHidden(), !dhcpLabel.isEmpty());
    QCOMPARE(!child<QLabel>(w, "l_w_dhcp")->isHidden(), !dhcpLabel.isEmpty());
    if (!dhcpLabel.isEmpty())
        QCOMPARE(child<QLabel>(w, "l_w_dhcp")->text(), dhcpLabel);
    QCOMPARE(child<QTabWidget>(w, "TabControl1")->isTabEnabled(1), ethernetTab);
    if (!ethernetTab)
        QCOMPARE(child<QTabWidget>(w, "TabControl1")->currentIndex(), 0);
    QCOMPARE((QStringList{child<QLineEdit>(w, "e_eth_ip")->text(),
                          child<QLineEdit>(w, "e_eth_mask")->text(),
                          child<QLineEdit>(w, "e_eth_gw")->text()}),
             ethernetEdits);
    for (QLineEdit* e : {child<QLineEdit>(w, "e_eth_ip"), child<QLineEdit>(w, "e_eth_mask"),
                         child<QLineEdit>(w, "e_eth_gw")})
        QCOMPARE(e->isEnabledTo(child<QWidget>(w, "TabEthernet")), ethernetEditsEnabled);

    // What the panel shows in edits and the drop-down has reached the record; switches have not.
    const WebServer& r = f->servers.at(0);
    QCOMPARE(QString::fromStdString(r.w_ip), wifiEdits[0]);
    QCOMPARE(QString::fromStdString(r.w_gw), wifiEdits[2]);
    QCOMPARE(QString::fromStdString(r.eth_ip), ethernetEdits[0]);
    QCOMPARE(QString::fromStdString(r.w_ap), settings[0]);
    QCOMPARE(QString::fromStdString(r.eth_dhcp), settings[8]);
}

void SettingsPanelTest::encryptionWord_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("afterLoad");
    // Loading from the blank panel (index 0) rewrites the word only when the index moves.
    QTest::addRow("wpa2") << "wpa2" << 2 << "wpa";
    QTest::addRow("wep128") << "wep128" << 1 << "wep";
    QTest::addRow("empty") << "" << 2 << "wpa";
    QTest::addRow("open") << "open" << 0 << "open";
    QTest::addRow("openwrt keeps its text") << "openwrt" << 0 << "openwrt";
}

void SettingsPanelTest::encryptionWord()
{
    QFETCH(QString, stored);
    QFETCH(int, index);
    QFETCH(QString, afterLoad);
    const WebServer& r =
        listAndSelect("QUORIX", "no;Net;" + stored.toStdString() + ";secret123;yes;;;;yes;;;;");
    QCOMPARE(child<QComboBox>(*f->form, "cb_w_enc")->currentIndex(), index);
    QCOMPARE(QString::fromStdString(r.w_enc), afterLoad);
}

void SettingsPanelTest::changeSubnetSwitch_choosesTheAccessPointSubnet()
{
    const WebServer& r = listAndSelect("QUORIX", "yes;Net;wpa;secret123;no;;;;no;;;;");
    TForm1& w = *f->form;
    QCOMPARE(child<QLineEdit>(w, "e_w_ip")->text(), QStringLiteral("192.168.0.1"));
    QTest::mouseClick(child<Switch>(w, "s_w_dhcp"), Qt::LeftButton);
    QCOMPARE(r.w_dhcp, std::string("yes"));
    QCOMPARE(child<QLineEdit>(w, "e_w_ip")->text(), QStringLiteral("192.168.1.1"));
    QCOMPARE(r.w_ip, std::string("192.168.1.1"));
    QCOMPARE(r.w_gw, std::string("192.168.1.1"));
    QTest::mouseClick(child<Switch>(w, "s_w_dhcp"), Qt::LeftButton);
    QCOMPARE(r.w_dhcp, std::string("no"));
    QCOMPARE(r.w_ip, std::string("192.168.0.1"));
}

void SettingsPanelTest::accessPointSwitch_forcesWpaAndDefaultsIntoTheRecord()
{
    const WebServer& r =
        listAndSelect("QUORIX", "no;Net;wep;12345;no;10.1.1.5;255.255.0.0;10.1.1.1;no;;;;");
    TForm1& w = *f->form;
    QTest::mouseClick(child<Switch>(w, "s_w_ap"), Qt::LeftButton);
    QCOMPARE(r.w_ap, std::string("yes"));
    QCOMPARE(r.w_enc, std::string("wpa"));
    QCOMPARE(r.w_ip, std::string("192.168.0.1"));
    QCOMPARE(r.w_mask, std::string("255.255.255.0"));
    QVERIFY(!child<QComboBox>(w, "cb_w_enc")->isEnabled());
    // Leaving access-point mode does not bring the old addresses back.
    QTest::mouseClick(child<Switch>(w, "s_w_ap"), Qt::LeftButton);
    QCOMPARE(r.w_ap, std::string("no"));
    QCOMPARE(r.w_ip, std::string("192.168.0.1"));
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->currentIndex(), 2);
    QVERIFY(child<QComboBox>(w, "cb_w_enc")->isEnabled());
}

void SettingsPanelTest::typing_updatesTheRecordAtEveryKeystroke()
{
    const WebServer& r = listAndSelect("QUORIX", "no;;wpa;secret123;no;;;;no;;;;");
    TForm1& w = *f->form;
    QTest::keyClick(child<QLineEdit>(w, "e_w_ssid"), Qt::Key_A);
    QCOMPARE(r.w_ssid, std::string("a"));
    QTest::keyClick(child<QLineEdit>(w, "e_w_ssid"), Qt::Key_B);
    QCOMPARE(r.w_ssid, std::string("ab"));
    QTest::keyClicks(child<QLineEdit>(w, "e_eth_ip"), QStringLiteral("10.9.9.9"));
    QCOMPARE(r.eth_ip, std::string("10.9.9.9"));
    child<QComboBox>(w, "cb_w_enc")->setCurrentIndex(0);
    QCOMPARE(r.w_enc, std::string("open"));
    QTest::mouseClick(child<Switch>(w, "s_eth_dhcp"), Qt::LeftButton);
    QCOMPARE(r.eth_dhcp, std::string("yes"));
    QVERIFY(!child<QLineEdit>(w, "e_eth_ip")->isEnabled());
}

void SettingsPanelTest::edits_withoutSelection_storeNothing()
{
    f->announce(*peer, announcement("QUORIX"));
    const WebServer before = f->servers.at(0);
    TForm1& w = *f->form;
    QTest::keyClicks(child<QLineEdit>(w, "e_w_ssid"), QStringLiteral("typed"));
    QTest::mouseClick(child<Switch>(w, "s_w_ap"), Qt::LeftButton);
    child<QComboBox>(w, "cb_w_enc")->setCurrentIndex(1);
    const WebServer& after = f->servers.at(0);
    for (auto field : kWebServerFields)
        QCOMPARE(after.*field, before.*field);
}

void SettingsPanelTest::unlockLastsUntilTheNextLoad()
{
    listAndSelect("ROUTER", "yes;Net;wpa;secret123;no;;;;no;;;;");
    TForm1& w = *f->form;
    QTest::mouseClick(child<QLabel>(w, "label_top"), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(10, 10));
    QVERIFY(child<QTabWidget>(w, "TabControl1")->isTabEnabled(1));
    QVERIFY(child<Switch>(w, "s_w_dhcp")->isVisible());
    QTest::mouseClick(child<Switch>(w, "s_w_ap"), Qt::LeftButton); // reloads the panel
    QVERIFY(!child<QTabWidget>(w, "TabControl1")->isTabEnabled(1));
}

void SettingsPanelTest::settingsRequest_goesToTheSelectedDeviceOnly()
{
    const auto second = f->device("127.0.0.4");
    f->announce(*peer, announcement("QUORIX"));
    f->announce(*second, announcement("QUORIX"));

    QTest::mouseClick(child<QToolButton>(*f->form, "bt_net_refresh"), Qt::LeftButton);
    QVERIFY(peer->receiveFor(100).empty());
    QVERIFY(second->receiveFor(50).empty());

    f->clickRow(1);
    QTest::mouseClick(child<QToolButton>(*f->form, "bt_net_refresh"), Qt::LeftButton);
    const auto request = second->receive();
    QVERIFY(request);
    QCOMPARE(request->bytes, std::string("get_network"));
    QCOMPARE(request->sender, std::string(kToolAddress));
    QVERIFY(peer->receiveFor(50).empty());
    QVERIFY(f->broadcasts.receiveFor(50).empty());
}

void SettingsPanelTest::settingsReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("stored");
    QTest::addRow("13 parts") << "network_response;no;New;wpa;pass1234;no;1.1.1.1;255.0.0.0;"
                                 "1.1.1.9;no;2.2.2.2;255.0.0.0;2.2.2.9;"
                              << true;
    QTest::addRow("12 parts, no final ;")
        << "network_response;no;New;wpa;pass1234;no;1.1.1.1;255.0.0.0;1.1.1.9;no;2.2.2.2;"
           "255.0.0.0;2.2.2.9"
        << false;
    QTest::addRow("14 parts") << "network_response;no;New;wpa;pass1234;no;1.1.1.1;255.0.0.0;"
                                 "1.1.1.9;no;2.2.2.2;255.0.0.0;2.2.2.9;extra;"
                              << false;
}

void SettingsPanelTest::settingsReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, stored);
    listAndSelect("QUORIX", "no;Old;wpa;secret123;no;9.9.9.9;255.0.0.0;9.9.9.1;no;;;;");
    peer->sendTo(reply.toStdString(), kToolAddress, f->port);
    const auto marker = f->device("127.0.0.5"); // handled after the reply
    f->announce(*marker, announcement("QUORIX"));
    f->clickRow(0);
    const WebServer& r = f->servers.at(0);
    QCOMPARE(r.w_ssid, std::string(stored ? "New" : "Old"));
    QCOMPARE(child<QLineEdit>(*f->form, "e_w_ssid")->text(), QString::fromStdString(r.w_ssid));
    QCOMPARE(r.eth_ip, std::string(stored ? "2.2.2.2" : ""));
}

void SettingsPanelTest::settingsReply_fromUnselectedDevice_updatesOnlyItsRecord()
{
    const auto second = f->device("127.0.0.4");
    const auto stranger = f->device("127.0.0.5");
    f->announce(*peer, announcement("QUORIX"));
    f->announce(*second, announcement("QUORIX"));
    f->clickRow(0);
    second->sendTo("network_response;no;Second;wpa;pass1234;yes;;;;yes;;;;", kToolAddress, f->port);
    QTRY_COMPARE(f->servers.at(1).w_ssid, std::string("Second"));
    QCOMPARE(child<QLineEdit>(*f->form, "e_w_ssid")->text(), QStringLiteral("Office"));
    QCOMPARE(f->form->selectedIndex(), 0);

    stranger->sendTo("network_response;no;Stranger;wpa;pass1234;yes;;;;yes;;;;", kToolAddress,
                     f->port);
    f->announce(*stranger, announcement("QUORIX"));
    QCOMPARE(f->servers.find("127.0.0.5")->w_ssid, std::string("Office"));

    f->clickRow(1);
    QCOMPARE(child<QLineEdit>(*f->form, "e_w_ssid")->text(), QStringLiteral("Second"));
}

QTEST_MAIN(SettingsPanelTest)
#include "tst_settings_panel.moc"
