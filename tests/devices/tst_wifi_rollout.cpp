// The rules of a Wi-Fi roll-out: what each device is written, what is refused before anything
// is sent, and how the results read.

#include "config/write_set.h"
#include "devices/wifi_rollout.h"

#include <QByteArray>
#include <QStringList>
#include <QTest>

using namespace nimbrel;

namespace {

// A device at 10.101.0.7 of the model, as its settings reply of twelve ";"-ended values gave it.
WebServer replied(const char* model, const char* settings)
{
    WebServer record;
    record.ip = "10.101.0.7";
    record.model = model;
    record.identifier = "TVX-0007";
    if (!parse_network_response(record, std::string("network_response;") + settings))
        qFatal("bad settings %s", settings);
    return record;
}

// The twelve settings of a record, as a reply would carry them.
QByteArray settingsOf(const WebServer& r)
{
    std::string text;
    for (const std::string* field :
         {&r.w_ap, &r.w_ssid, &r.w_enc, &r.w_pass, &r.w_dhcp, &r.w_ip, &r.w_mask, &r.w_gw,
          &r.eth_dhcp, &r.eth_ip, &r.eth_mask, &r.eth_gw})
        text += *field + ';';
    return QByteArray::fromStdString(text);
}

const WifiValues kOffice{"Office-5G", 2, "long-secret"};

class WifiRolloutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rolloutRecord_changesOnlyTheWifiValues_data();
    void rolloutRecord_changesOnlyTheWifiValues();
    void writtenFiles_areTheDevicesOwnWithTheNewNetwork();
    void inputFault_refusesWhatNoDeviceCouldTake_data();
    void inputFault_refusesWhatNoDeviceCouldTake();
    void recordFault_appliesTheChecksOfSend_data();
    void recordFault_appliesTheChecksOfSend();
    void sharedStaticAddresses_namesEachClashOnce();
    void results_readAsTheTableShowsThem();
};

void WifiRolloutTest::rolloutRecord_changesOnlyTheWifiValues_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("QUORIX client keeps static addresses on both sides")
        << QByteArray("QUORIX")
        << QByteArray("no;Old;wep;12345;no;10.1.0.5;255.255.0.0;10.1.0.1;no;172.16.0.5;"
                      "255.255.255.0;172.16.0.1;")
        << QByteArray("no;Office-5G;wpa;long-secret;no;10.1.0.5;255.255.0.0;10.1.0.1;no;"
                      "172.16.0.5;255.255.255.0;172.16.0.1;");
    QTest::newRow("QUORIX client on DHCP stays on DHCP")
        << QByteArray("QUORIX") << QByteArray("no;Old;open;;yes;;;;yes;;;;")
        << QByteArray("no;Office-5G;wpa;long-secret;yes;;;;yes;;;;");
    QTest::newRow("an access point turns into a DHCP client, Ethernet kept")
        << QByteArray("QUORIX")
        << QByteArray("yes;Site-AP;wpa;ap-secret;no;192.168.0.1;255.255.255.0;192.168.0.1;no;"
                      "10.20.0.2;255.255.255.0;10.20.0.1;")
        << QByteArray("no;Office-5G;wpa;long-secret;yes;192.168.0.1;255.255.255.0;192.168.0.1;"
                      "no;10.20.0.2;255.255.255.0;10.20.0.1;");
    QTest::newRow("a Wi-Fi-only model carries no Ethernet addresses")
        << QByteArray("WIFI-M2")
        << QByteArray("no;Old;wpa2;oldpassword;yes;;;;yes;1.2.3.4;255.0.0.0;1.2.3.1;")
        << QByteArray("no;Office-5G;wpa;long-secret;yes;;;;yes;;;;");
    QTest::newRow("access point written in capitals is no access point")
        << QByteArray("QUORIX")
        << QByteArray("YES;Old;wpa;oldpassword;no;10.1.0.5;255.255.0.0;10.1.0.1;yes;;;;")
        << QByteArray("no;Office-5G;wpa;long-secret;no;10.1.0.5;255.255.0.0;10.1.0.1;yes;;;;");
}

void WifiRolloutTest::rolloutRecord_changesOnlyTheWifiValues()
{
    QFETCH(QByteArray, model);
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, expected);
    const WebServer before = replied(model.constData(), settings.constData());
    const WebServer after = rollout_record(before, kOffice);
    QCOMPARE(settingsOf(after), expected);
    QCOMPARE(after.ip, before.ip);
    QCOMPARE(after.model, before.model);
    QCOMPARE(after.identifier, before.identifier);
}

void WifiRolloutTest::writtenFiles_areTheDevicesOwnWithTheNewNetwork()
{
    // A QUORIX access point on its second subnet with Ethernet on DHCP: it becomes a client of
    // the new network by DHCP, its Ethernet untouched.
    const WebServer composed = rollout_record(
        replied("QUORIX", "yes;Site-AP;wpa;ap-secret;yes;192.168.1.1;255.255.255.0;192.168.1.1;"
                          "no;10.20.0.2;255.255.255.0;10.20.0.1;"),
        {"Office", 0, ""});
    const auto messages = build_write_messages(shown_write_settings(composed));
    const QStringList expected = {
        QStringLiteral("10.101.0.7\ncreate_file\n/Talvonex/CONFIG_NET.TXT\n[AP] No\n[SSID] Office\n"
                       "[PASS] \n[ENC] OPEN\n[DHCP] Yes\n[IP] 192.168.1.1\n[MASK] 255.255.255.0\n"
                       "[GW] 192.168.1.1\n"),
        QStringLiteral("10.101.0.7\ncreate_file\n/Talvonex/CONFIG_ETH.TXT\n[DHCP] No\n"
                       "[IP] 10.20.0.2\n[MASK] 255.255.255.0\n[GW] 10.20.0.1\n"),
        QStringLiteral("10.101.0.7\ncreate_file\n/etc/wpa_supplicant.conf\n"
                       "ctrl_interface=/var/run/wpa_supplicant\nap_scan=1\n\nnetwork={\n"
                       "ssid=\"Office\"\nscan_ssid=1\nproto=WPA RSN\nkey_mgmt=WPA-PSK\n"
                       "pairwise=CCMP TKIP\ngroup=CCMP TKIP\npsk=\"\"\n}\n"),
        QStringLiteral("10.101.0.7\ncreate_file\n/etc/hostapd.conf\ninterface=ra0\nchannel=1\n"
                       "ssid=Office\ndriver=nl80211\n"),
        QStringLiteral("10.101.0.7\ncreate_file\n/etc/udhcpd.conf\nstart 192.168.1.10\n"
                       "end 192.168.1.100\ninterface ra0\noption subnet 255.255.255.0\n"
                       "option router 192.168.1.1\n"),
        QStringLiteral("10.101.0.7\ncreate_file\n/Talvonex/actualizado\n"),
    };
    QCOMPARE(messages.size(), std::size_t(6));
    for (std::size_t i = 0; i < messages.size(); ++i)
        QCOMPARE(QString::fromStdString(messages[i]), expected[static_cast<qsizetype>(i)]);
}

void WifiRolloutTest::inputFault_refusesWhatNoDeviceCouldTake_data()
{
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<int>("encryption");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("admin");
    QTest::addColumn<QString>("fault");

    const QString none;
    QTest::newRow("WPA with a long password") << "Office" << 2 << "12345678"
                                              << "1234" << none;
    QTest::newRow("open without password, empty admin password") << "Office" << 0 << ""
                                                                 << "" << none;
    QTest::newRow("WEP key of 13") << "Office" << 1 << "abcdefghijklm"
                                   << "1" << none;
    QTest::newRow("admin password of 5") << "Office" << 2 << "1234567"
                                         << "12345"
                                         << "The password must contain at most 4 characters";
    QTest::newRow("admin password of 4 accented letters passes the length, not ASCII")
        << "Office" << 2 << "12345678" << QStringLiteral("\u00e9\u00e9\u00e9\u00e9")
        << "The password must contain only printable ASCII characters";
    QTest::newRow("network name with an accent")
        << QStringLiteral("Caf\u00e9") << 2 << "12345678"
        << "1234"
        << "Network settings must contain only printable ASCII characters";
    QTest::newRow("no network name") << "" << 0 << ""
                                     << "1234"
                                     << "SSID must contain at least 1 characer";
    QTest::newRow("WPA password of 7") << "Office" << 2 << "1234567"
                                       << "1234"
                                       << "WPA admin password must contain at least 8 characters";
    QTest::newRow("WEP key of 6") << "Office" << 1 << "123456"
                                  << "1234"
                                  << "WEP password must contain 5, 10, 13, 26 characters";
}

void WifiRolloutTest::inputFault_refusesWhatNoDeviceCouldTake()
{
    QFETCH(QString, ssid);
    QFETCH(int, encryption);
    QFETCH(QString, password);
    QFETCH(QString, admin);
    QFETCH(QString, fault);
    const auto found = rollout_input_fault({ssid.toStdString(), encryption, password.toStdString()},
                                           admin.toStdString());
    QCOMPARE(found ? QString::fromStdString(*found) : QString(), fault);
}

void WifiRolloutTest::recordFault_appliesTheChecksOfSend_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("fault");

    QTest::newRow("QUORIX on its own networks")
        << QByteArray("QUORIX")
        << QByteArray("no;Old;wpa;x;no;10.1.0.5;255.255.0.0;10.1.0.1;no;172.16.0.5;255.255.255.0;"
                      "172.16.0.1;")
        << QString();
    QTest::newRow("Ethernet in the Wi-Fi subnet")
        << QByteArray("QUORIX")
        << QByteArray("no;Old;wpa;x;no;10.1.0.5;255.255.0.0;10.1.0.1;no;10.1.7.9;255.255.255.0;"
                      "10.1.7.1;")
        << QStringLiteral("Wifi and Ethernet can't be in the same subnet");
    QTest::newRow("an access point's Ethernet on DHCP is fine once it is a client")
        << QByteArray("QUORIX") << QByteArray("yes;AP;wpa;x;no;;;;yes;;;;") << QString();
    QTest::newRow("a stored Ethernet gateway with a byte above 127")
        << QByteArray("QUORIX")
        << QByteArray("no;Old;wpa;x;yes;;;;no;172.16.0.5;255.255.255.0;172.16.0.\xe9;")
        << QStringLiteral("Network settings must contain only printable ASCII characters");
    QTest::newRow("a Wi-Fi-only model with a broken static address")
        << QByteArray("WIFI-M2") << QByteArray("no;Old;wpa;x;no;10.1.0;255.255.0.0;10.1.0.1;;;;;")
        << QStringLiteral("Invalid IP address");
}

void WifiRolloutTest::recordFault_appliesTheChecksOfSend()
{
    QFETCH(QByteArray, model);
    QFETCH(QByteArray, settings);
    QFETCH(QString, fault);
    const WebServer composed =
        rollout_record(replied(model.constData(), settings.constData()), kOffice);
    const auto found = rollout_record_fault(composed, "1234");
    QCOMPARE(found ? QString::fromStdString(*found) : QString(), fault);
}

void WifiRolloutTest::sharedStaticAddresses_namesEachClashOnce()
{
    const WebServer a = replied("QUORIX", "no;N;wpa;x;no;10.1.0.5;255.255.0.0;10.1.0.1;yes;;;;");
    const WebServer b = replied("QUORIX", "no;N;wpa;x;no;10.1.0.5;255.255.0.0;10.1.0.1;yes;;;;");
    const WebServer c = replied("QUORIX", "no;N;wpa;x;no;10.1.0.5;255.255.0.0;10.1.0.1;yes;;;;");
    const WebServer dhcp = replied("QUORIX", "no;N;wpa;x;yes;10.1.0.6;;;yes;;;;");
    const WebServer dhcp2 = replied("QUORIX", "no;N;wpa;x;yes;10.1.0.6;;;yes;;;;");
    const WebServer ap = replied("QUORIX", "yes;N;wpa;x;no;192.168.0.1;;;yes;;;;");
    const WebServer ap2 = replied("QUORIX", "yes;N;wpa;x;no;192.168.0.1;;;yes;;;;");
    const WebServer other =
        replied("QUORIX", "no;N;wpa;x;no;10.1.0.8;255.255.0.0;10.1.0.1;yes;;;;");

    QCOMPARE(shared_static_wifi_addresses({&a, &dhcp, &ap, &other, &b, &dhcp2, &ap2, &c}),
             std::vector<std::string>{"10.1.0.5"});
    QCOMPARE(shared_static_wifi_addresses({&a, &dhcp, &ap, &other}), std::vector<std::string>{});
}

void WifiRolloutTest::results_readAsTheTableShowsThem()
{
    const std::vector<RolloutRow> rows = {
        {"10.101.0.1", "QUORIX", "TVX-0001", {RolloutOutcome::Saved, {}}},
        {"10.101.0.2", "QUORIX", "TVX-0002", {RolloutOutcome::WrongPassword, {}}},
        {"10.101.0.3", "WIFI \"M2\"", "TVX,3", {RolloutOutcome::NoVerdict, {}}},
        {"10.101.0.4", "QUORIX", "Caf\xe9", {RolloutOutcome::NoSettingsReply, {}}},
        {"10.101.0.5",
         "QUORIX",
         "TVX-0005",
         {RolloutOutcome::CheckFailed, "Wifi and Ethernet can't be in the same subnet"}},
        {"10.101.0.6", "QUORIX", "TVX-0006", {RolloutOutcome::Cancelled, {}}},
        {"10.101.0.7",
         "QUORIX",
         "TVX-0007",
         {RolloutOutcome::SendFailed, "Network is unreachable"}},
    };
    QCOMPARE(QByteArray::fromStdString(rollout_results_csv(rows)),
             QByteArray("address,model,identifier,result\r\n"
                        "10.101.0.1,QUORIX,TVX-0001,\"Saved, restarting\"\r\n"
                        "10.101.0.2,QUORIX,TVX-0002,Incorrect password\r\n"
                        "10.101.0.3,\"WIFI \"\"M2\"\"\",\"TVX,3\",No verdict\r\n"
                        "10.101.0.4,QUORIX,Caf\xc3\xa9,No answer to the settings request\r\n"
                        "10.101.0.5,QUORIX,TVX-0005,Wifi and Ethernet can't be in the same "
                        "subnet\r\n"
                        "10.101.0.6,QUORIX,TVX-0006,Not written (cancelled)\r\n"
                        "10.101.0.7,QUORIX,TVX-0007,Not sent: Network is unreachable\r\n"));
    QCOMPARE(QByteArray::fromStdString(rollout_results_text({rows[0], rows[1]})),
             QByteArray("10.101.0.1\tQUORIX\tTVX-0001\tSaved, restarting\n"
                        "10.101.0.2\tQUORIX\tTVX-0002\tIncorrect password\n"));

    std::vector<RolloutResult> results;
    for (const RolloutRow& row : rows)
        results.push_back(row.result);
    QCOMPARE(QString::fromStdString(summary_text(summarize(results))),
             QStringLiteral("1 saved, 2 refused, 3 no answer, 1 not written (cancelled)"));
    QCOMPARE(QString::fromStdString(summary_text(summarize({results[0]}))),
             QStringLiteral("1 saved, 0 refused, 0 no answer"));
}

} // namespace

QTEST_APPLESS_MAIN(WifiRolloutTest)
#include "tst_wifi_rollout.moc"
