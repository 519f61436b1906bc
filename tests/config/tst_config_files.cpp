#include "config/config_files.h"
#include "config/scramble.h"

#include <QByteArray>
#include <QTest>

using namespace nimbrel;

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray::fromStdString(text);
}

std::string str(const QByteArray& text)
{
    return text.toStdString();
}

} // namespace

class ConfigFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messages_data();
    void messages();
    void byteCounts_data();
    void byteCounts();
    void udhcpdRange_data();
    void udhcpdRange();
    void scramble_data();
    void scramble();
    void scrambleWholeMessage();
};

void ConfigFilesTest::messages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("CONFIG_NET") << bytes(build_config_net("192.168.1.20", "Yes", "Office", "s3cret",
                                                          "WPA", "No", "192.168.0.6",
                                                          "255.255.255.0", "192.168.0.1"))
                                << QByteArray("192.168.1.20\n"
                                              "create_file\n"
                                              "/Talvonex/CONFIG_NET.TXT\n"
                                              "[AP] Yes\n"
                                              "[SSID] Office\n"
                                              "[PASS] s3cret\n"
                                              "[ENC] WPA\n"
                                              "[DHCP] No\n"
                                              "[IP] 192.168.0.6\n"
                                              "[MASK] 255.255.255.0\n"
                                              "[GW] 192.168.0.1\n");
    QTest::addRow("CONFIG_NET empty values")
        << bytes(build_config_net("10.0.0.9", "", "", "", "", "", "", "", ""))
        << QByteArray("10.0.0.9\n"
                      "create_file\n"
                      "/Talvonex/CONFIG_NET.TXT\n"
                      "[AP] \n"
                      "[SSID] \n"
                      "[PASS] \n"
                      "[ENC] \n"
                      "[DHCP] \n"
                      "[IP] \n"
                      "[MASK] \n"
                      "[GW] \n");
    QTest::addRow("CONFIG_NET values untouched")
        << bytes(build_config_net("10.0.0.9", "No", " my net ", "a\"b", "OPEN", "Yes", "x", "",
                                  "1.2.3"))
        << QByteArray("10.0.0.9\n"
                      "create_file\n"
                      "/Talvonex/CONFIG_NET.TXT\n"
                      "[AP] No\n"
                      "[SSID]  my net \n"
                      "[PASS] a\"b\n"
                      "[ENC] OPEN\n"
                      "[DHCP] Yes\n"
                      "[IP] x\n"
                      "[MASK] \n"
                      "[GW] 1.2.3\n");
    QTest::addRow("CONFIG_ETH") << bytes(build_config_eth("192.168.1.20", "No", "192.168.0.6",
                                                          "255.255.255.0", "192.168.0.1"))
                                << QByteArray("192.168.1.20\n"
                                              "create_file\n"
                                              "/Talvonex/CONFIG_ETH.TXT\n"
                                              "[DHCP] No\n"
                                              "[IP] 192.168.0.6\n"
                                              "[MASK] 255.255.255.0\n"
                                              "[GW] 192.168.0.1\n");
    QTest::addRow("CONFIG_ETH empty values")
        << bytes(build_config_eth("192.168.1.20", "Yes", "", "", ""))
        << QByteArray("192.168.1.20\n"
                      "create_file\n"
                      "/Talvonex/CONFIG_ETH.TXT\n"
                      "[DHCP] Yes\n"
                      "[IP] \n"
                      "[MASK] \n"
                      "[GW] \n");
    QTest::addRow("wpa_supplicant")
        << bytes(build_wpa_supplicant_conf("192.168.1.20", "2", "Office", "passphrase1"))
        << QByteArray("192.168.1.20\n"
                      "create_file\n"
                      "/etc/wpa_supplicant.conf\n"
                      "ctrl_interface=/var/run/wpa_supplicant\n"
                      "ap_scan=2\n"
                      "\n"
                      "network={\n"
                      "ssid=\"Office\"\n"
                      "scan_ssid=1\n"
                      "proto=WPA RSN\n"
                      "key_mgmt=WPA-PSK\n"
                      "pairwise=CCMP TKIP\n"
                      "group=CCMP TKIP\n"
                      "psk=\"passphrase1\"\n"
                      "}\n");
    QTest::addRow("wpa_supplicant empty values")
        << bytes(build_wpa_supplicant_conf("192.168.1.20", "1", "", ""))
        << QByteArray("192.168.1.20\n"
                      "create_file\n"
                      "/etc/wpa_supplicant.conf\n"
                      "ctrl_interface=/var/run/wpa_supplicant\n"
                      "ap_scan=1\n"
                      "\n"
                      "network={\n"
                      "ssid=\"\"\n"
                      "scan_ssid=1\n"
                      "proto=WPA RSN\n"
                      "key_mgmt=WPA-PSK\n"
                      "pairwise=CCMP TKIP\n"
                      "group=CCMP TKIP\n"
                      "psk=\"\"\n"
                      "}\n");

    const QByteArray hostapdOpen("192.168.1.20\n"
                                 "create_file\n"
                                 "/etc/hostapd.conf\n"
                                 "interface=ra0\n"
                                 "channel=1\n"
                                 "ssid=Lobby\n"
                                 "driver=nl80211\n");
    QTest::addRow("hostapd open") << bytes(build_hostapd_conf("192.168.1.20", 0, "Lobby", ""))
                                  << hostapdOpen;
    QTest::addRow("hostapd open ignores key")
        << bytes(build_hostapd_conf("192.168.1.20", 0, "Lobby", "0123456789")) << hostapdOpen;

    const auto wep = [](const char* keyLine) {
        return QByteArray("192.168.1.20\n"
                          "create_file\n"
                          "/etc/hostapd.conf\n"
                          "interface=ra0\n"
                          "driver=nl80211\n"
                          "ssid=Lobby\n"
                          "channel=1\n"
                          "wep_default_key=0\n") +
               keyLine;
    };
    QTest::addRow("hostapd WEP 10 bare")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "0123456789"))
        << wep("wep_key0=0123456789\n");
    QTest::addRow("hostapd WEP 26 bare")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "0123456789abcdef0123456789"))
        << wep("wep_key0=0123456789abcdef0123456789\n");
    QTest::addRow("hostapd WEP 5 quoted")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "abcde"))
        << wep("wep_key0=\"abcde\"\n");
    QTest::addRow("hostapd WEP 13 quoted")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "abcdefghijklm"))
        << wep("wep_key0=\"abcdefghijklm\"\n");
    QTest::addRow("hostapd WEP 11 quoted")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "0123456789a"))
        << wep("wep_key0=\"0123456789a\"\n");
    QTest::addRow("hostapd WEP 9 quoted")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "012345678"))
        << wep("wep_key0=\"012345678\"\n");
    QTest::addRow("hostapd WEP empty quoted")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "")) << wep("wep_key0=\"\"\n");
    // Ten bytes of 8-bit text, not ten characters of some wider encoding.
    QTest::addRow("hostapd WEP 10 bytes bare")
        << bytes(build_hostapd_conf("192.168.1.20", 1, "Lobby", "\xc3\xa9\xc3\xa9\xc3\xa9xxxx"))
        << wep("wep_key0=\xc3\xa9\xc3\xa9\xc3\xa9xxxx\n");
    QTest::addRow("hostapd WPA") << bytes(build_hostapd_conf("192.168.1.20", 2, "Lobby",
                                                             "long passphrase"))
                                 << QByteArray("192.168.1.20\n"
                                               "create_file\n"
                                               "/etc/hostapd.conf\n"
                                               "interface=ra0\n"
                                               "driver=nl80211\n"
                                               "ssid=Lobby\n"
                                               "channel=1\n"
                                               "hw_mode=g\n"
                                               "wpa=1\n"
                                               "wpa_passphrase=long passphrase\n"
                                               "wpa_key_mgmt=WPA-PSK\n"
                                               "wpa_pairwise=TKIP\n"
                                               "rsn_pairwise=CCMP\n");
    QTest::addRow("hostapd index -1")
        << bytes(build_hostapd_conf("192.168.1.20", -1, "Lobby", "abcde"))
        << QByteArray("192.168.1.20\n");
    QTest::addRow("hostapd index 3")
        << bytes(build_hostapd_conf("192.168.1.20", 3, "Lobby", "abcde"))
        << QByteArray("192.168.1.20\n");
    QTest::addRow("udhcpd") << bytes(build_udhcpd_conf("192.168.1.20", "255.255.255.0",
                                                       "192.168.1.1"))
                            << QByteArray("192.168.1.20\n"
                                          "create_file\n"
                                          "/etc/udhcpd.conf\n"
                                          "start 192.168.1.10\n"
                                          "end 192.168.1.100\n"
                                          "interface ra0\n"
                                          "option subnet 255.255.255.0\n"
                                          "option router 192.168.1.1\n");
    QTest::addRow("update marker") << bytes(build_update_marker("192.168.1.20"))
                                   << QByteArray("192.168.1.20\n"
                                                 "create_file\n"
                                                 "/Talvonex/actualizado\n");
}

void ConfigFilesTest::messages()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, expected);

    QCOMPARE(message, expected);
    QVERIFY(!message.contains('\r'));
    QVERIFY(!message.contains('\0'));
    QVERIFY(message.endsWith('\n'));
}

void ConfigFilesTest::byteCounts_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<qsizetype>("size");

    QTest::addRow("CONFIG_ETH example")
        << bytes(build_config_eth("192.168.1.20", "No", "192.168.0.6", "255.255.255.0",
                                  "192.168.0.1"))
        << qsizetype(115);
    QTest::addRow("update marker") << bytes(build_update_marker("192.168.1.20")) << qsizetype(47);
}

void ConfigFilesTest::byteCounts()
{
    QFETCH(QByteArray, message);
    QFETCH(qsizetype, size);

    QCOMPARE(message.size(), size);
}

void ConfigFilesTest::udhcpdRange_data()
{
    QTest::addColumn<QByteArray>("router");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("end");

    QTest::addRow("/24") << QByteArray("192.168.1.1") << QByteArray("255.255.255.0")
                         << QByteArray("192.168.1.10") << QByteArray("192.168.1.100");
    QTest::addRow("/8") << QByteArray("10.1.2.3") << QByteArray("255.0.0.0")
                        << QByteArray("10.0.0.10") << QByteArray("10.0.0.100");
    QTest::addRow("carry out of subnet")
        << QByteArray("192.168.1.200") << QByteArray("255.255.255.192")
        << QByteArray("192.168.1.202") << QByteArray("192.168.2.36");
    QTest::addRow("wrap past 32 bits")
        << QByteArray("255.255.255.200") << QByteArray("255.255.255.255")
        << QByteArray("255.255.255.210") << QByteArray("0.0.0.44");
    QTest::addRow("malformed router") << QByteArray("192.168.1") << QByteArray("255.255.255.0")
                                      << QByteArray("0.0.0.10") << QByteArray("0.0.0.100");
    QTest::addRow("malformed mask") << QByteArray("192.168.1.1") << QByteArray("255.x.255.0")
                                    << QByteArray("0.0.0.10") << QByteArray("0.0.0.100");
    QTest::addRow("empty mask") << QByteArray("192.168.1.1") << QByteArray()
                                << QByteArray("0.0.0.10") << QByteArray("0.0.0.100");
    QTest::addRow("texts passed unnormalised")
        << QByteArray("192.168.001.001") << QByteArray("255.255.255.000")
        << QByteArray("192.168.1.10") << QByteArray("192.168.1.100");
}

void ConfigFilesTest::udhcpdRange()
{
    QFETCH(QByteArray, router);
    QFETCH(QByteArray, mask);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, end);

    const QByteArray expected = "10.0.0.9\ncreate_file\n/etc/udhcpd.conf\nstart " + start +
                                "\nend " + end + "\ninterface ra0\noption subnet " + mask +
                                "\noption router " + router + "\n";
    QCOMPARE(bytes(build_udhcpd_conf("10.0.0.9", str(mask), str(router))), expected);
}

void ConfigFilesTest::scramble_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("scrambled");

    QTest::addRow("key repeats from its start")
        << QByteArray("abcabc") << QByteArray("ab") << QByteArray("\x00\x00\x02\x03\x03\x01", 6);
    QTest::addRow("key longer than text")
        << QByteArray("AB") << QByteArray("abcdef") << QByteArray("  ");
    QTest::addRow("text equals key")
        << QByteArray("secret") << QByteArray("secret") << QByteArray(6, '\0');
    QTest::addRow("zero byte inside")
        << QByteArray("x=y\n") << QByteArray("k=") << QByteArray("\x13\x00\x12\x37", 4);
    QTest::addRow("8-bit bytes") << QByteArray("\xff\x00\x80", 3) << QByteArray("\x0f")
                                 << QByteArray("\xf0\x0f\x8f", 3);
    QTest::addRow("empty key") << QByteArray("192.168.1.20\n") << QByteArray()
                               << QByteArray("192.168.1.20\n");
    QTest::addRow("empty text") << QByteArray() << QByteArray("admin") << QByteArray();
}

void ConfigFilesTest::scramble()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, scrambled);

    const QByteArray result = bytes(scramble_text(str(text), str(key)));
    QCOMPARE(result, scrambled);
    QCOMPARE(result.size(), text.size());
    for (qsizetype i = 0; !key.isEmpty() && i < text.size(); ++i) {
        if (text[i] == key[i % key.size()]) {
            QCOMPARE(result[i], '\0');
        }
    }
    QCOMPARE(bytes(scramble_text(str(result), str(key))), text);
}

void ConfigFilesTest::scrambleWholeMessage()
{
    const std::string message =
        build_config_eth("192.168.1.20", "No", "192.168.0.6", "255.255.255.0", "192.168.0.1");
    const std::string key = "admin";

    const std::string scrambled = scramble_text(message, key);
    QCOMPARE(scrambled.size(), message.size());
    // Every line is scrambled, the target line included.
    QVERIFY(scrambled.compare(0, 13, message, 0, 13) != 0);
    QCOMPARE(bytes(scramble_text(scrambled, key)), bytes(message));
}

QTEST_APPLESS_MAIN(ConfigFilesTest)
#include "tst_config_files.moc"
