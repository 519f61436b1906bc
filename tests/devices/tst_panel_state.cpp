// What the settings panel shows for a record: values loaded, values the access-point and model
// rules force over them, and what is enabled, visible and captioned, without any widget.

#include "devices/panel_state.h"

#include <QStringList>
#include <QTest>

using namespace nimbrel;

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString addresses(const AddressTexts& a)
{
    return text(a.ip) + QLatin1Char('/') + text(a.mask) + QLatin1Char('/') + text(a.gateway);
}

// Every part of the state as "name=value", so a failing row names what differs.
QStringList described(const PanelState& s)
{
    return {
        "ap=" + onOff(s.access_point),
        "ssid=" + text(s.ssid),
        "encryption=" + QString::number(s.encryption),
        "password=" + text(s.password),
        "wifi dhcp=" + onOff(s.wifi_dhcp),
        "wifi=" + addresses(s.wifi),
        "ethernet dhcp=" + onOff(s.ethernet_dhcp),
        "ethernet=" + addresses(s.ethernet),
        "forced encryption=" +
            (s.forced_encryption ? QString::number(*s.forced_encryption) : QStringLiteral("-")),
        "forced wifi=" + (s.forced_wifi ? addresses(*s.forced_wifi) : QStringLiteral("-")),
        "wifi only=" + onOff(s.wifi_only),
        "encryption enabled=" + onOff(s.encryption_enabled),
        "wifi addresses enabled=" + onOff(s.wifi_addresses_enabled),
        "ethernet addresses enabled=" + onOff(s.ethernet_addresses_enabled),
        "wifi dhcp visible=" + onOff(s.wifi_dhcp_visible),
        "wifi dhcp caption=" + text(s.wifi_dhcp_caption),
        "ethernet tab=" + onOff(s.ethernet_tab_enabled),
    };
}

WebServer record(const char* model, const char* settings)
{
    // The 12 settings fields in order, each ended by ';'.
    WebServer r;
    r.model = model;
    std::string rest = settings;
    std::string* fields[] = {&r.w_ap,   &r.w_ssid, &r.w_enc,    &r.w_pass, &r.w_dhcp,   &r.w_ip,
                             &r.w_mask, &r.w_gw,   &r.eth_dhcp, &r.eth_ip, &r.eth_mask, &r.eth_gw};
    for (std::string* field : fields) {
        const auto end = rest.find(';');
        if (end == std::string::npos)
            qFatal("settings need 12 values, each ended by ';'");
        *field = rest.substr(0, end);
        rest.erase(0, end + 1);
    }
    return r;
}

} // namespace

class PanelStateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void panelState_data();
    void panelState();
    void encryptionWords_data();
    void encryptionWords();
    void encryptionWord_anyOtherIndexStoresWpa();
};

void PanelStateTest::panelState_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QStringList>("expected"); // the parts this row is about

    QTest::addRow("QUORIX access point on its first subnet")
        << "QUORIX"
        << "yes;Net;wep;;no;192.168.0.10;255.255.255.0;192.168.0.1;yes;10.0.0.2;255.0.0.0;10.0.0.1;"
        << QStringList{"ap=on",
                       "encryption=1",
                       "wifi=192.168.0.10/255.255.255.0/192.168.0.1",
                       "forced encryption=2",
                       "forced wifi=192.168.0.1/255.255.255.0/192.168.0.1",
                       "encryption enabled=off",
                       "wifi addresses enabled=off",
                       "wifi dhcp visible=on",
                       "wifi dhcp caption=Change subnet",
                       "ethernet dhcp=on",
                       "ethernet=10.0.0.2/255.0.0.0/10.0.0.1",
                       "ethernet addresses enabled=off",
                       "ethernet tab=on",
                       "wifi only=off"};
    QTest::addRow("QUORIX access point on its second subnet")
        << "QUORIX-E200"
        << "yes;Net;wpa;secret123;yes;;;;no;;;;"
        << QStringList{"wifi dhcp=on", "forced wifi=192.168.1.1/255.255.255.0/192.168.1.1",
                       "wifi dhcp caption=Change subnet", "wifi dhcp visible=on"};
    QTest::addRow("other model's access point: no second subnet, no subnet switch")
        << "SKYLET-W1"
        << "yes;Net;wpa;secret123;yes;;;;no;;;;"
        << QStringList{"forced wifi=192.168.0.1/255.255.255.0/192.168.0.1", "wifi dhcp visible=off",
                       "wifi dhcp caption=Enable DHCP", "ethernet tab=off", "wifi only=on"};
    QTest::addRow("QUORIX client with static addresses")
        << "QUORIX"
        << "no;Office;wpa;secret123;no;10.1.0.5;255.255.0.0;10.1.0.1;no;172.16.0.5;255.255.255.0;"
           "172.16.0.1;"
        << QStringList{"ap=off",
                       "ssid=Office",
                       "encryption=2",
                       "password=secret123",
                       "forced encryption=-",
                       "forced wifi=-",
                       "encryption enabled=on",
                       "wifi addresses enabled=on",
                       "wifi dhcp visible=on",
                       "wifi dhcp caption=Enable DHCP",
                       "ethernet addresses enabled=on",
                       "ethernet tab=on"};
    QTest::addRow("client on DHCP: Wi-Fi addresses disabled")
        << "QUORIX"
        << "no;Office;wpa;secret123;yes;10.1.0.5;255.255.0.0;10.1.0.1;no;;;;"
        << QStringList{"wifi dhcp=on", "wifi addresses enabled=off"};
    QTest::addRow("capitals read as off") << "QUORIX"
                                          << "YES;Net;WEP;;Yes;;;;Yes;;;;"
                                          << QStringList{"ap=off",
                                                         "encryption=2",
                                                         "wifi dhcp=off",
                                                         "ethernet dhcp=off",
                                                         "wifi addresses enabled=on",
                                                         "ethernet addresses enabled=on"};
    QTest::addRow("other model with Ethernet DHCP stored")
        << "SKYLET-W1"
        << "no;Net;open;;no;;;;yes;10.0.0.2;255.0.0.0;10.0.0.1;"
        << QStringList{"ethernet dhcp=on", "ethernet=10.0.0.2/255.0.0.0/10.0.0.1",
                       "ethernet addresses enabled=off", "wifi only=on", "ethernet tab=off"};
    QTest::addRow("a record never filled (older firmware)")
        << ""
        << ";;;;;;;;;;;;"
        << QStringList{"ap=off",       "encryption=2",  "wifi dhcp=off",       "ethernet dhcp=off",
                       "wifi only=on", "forced wifi=-", "wifi dhcp visible=on"};
}

void PanelStateTest::panelState()
{
    QFETCH(QString, model);
    QFETCH(QString, settings);
    QFETCH(QStringList, expected);
    const QStringList state =
        described(panel_state(record(qPrintable(model), qPrintable(settings))));
    for (const QString& part : expected) {
        const QString name = part.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
        const auto found = std::find_if(state.begin(), state.end(),
                                        [&](const QString& s) { return s.startsWith(name); });
        QVERIFY2(found != state.end(), qPrintable(part));
        QCOMPARE(*found, part);
    }
}

void PanelStateTest::encryptionWords_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("index");
    QTest::addRow("open") << "open" << 0;
    QTest::addRow("wep") << "wep" << 1;
    QTest::addRow("wep128") << "wep128" << 1;
    QTest::addRow("wpa2") << "wpa2" << 2;
    QTest::addRow("empty") << "" << 2;
    QTest::addRow("open before wep") << "wep-open" << 0;
    QTest::addRow("capitals") << "OPEN" << 2;
}

void PanelStateTest::encryptionWords()
{
    QFETCH(QString, word);
    QFETCH(int, index);
    QCOMPARE(encryption_index(word.toStdString()), index);
    const char* words[] = {"open", "wep", "wpa"};
    QCOMPARE(encryption_word(index), std::string(words[index]));
}

void PanelStateTest::encryptionWord_anyOtherIndexStoresWpa()
{
    QCOMPARE(encryption_word(-1), std::string("wpa"));
    QCOMPARE(encryption_word(3), std::string("wpa"));
}

QTEST_APPLESS_MAIN(PanelStateTest)
#include "tst_panel_state.moc"
