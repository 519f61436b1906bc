#include "devsim/device.h"
#include "devsim/file_message.h"
#include "devsim/settings_files.h"

#include "config/config_files.h"
#include "config/scramble.h"
#include "util/text.h"

#include <QTest>

using namespace nimbrel;
using namespace nimbrel::devsim;

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray::fromStdString(text);
}

} // namespace

class DevsimMessagesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recoverKey_data();
    void recoverKey();
    void parseFileMessage_data();
    void parseFileMessage();
    void sameKeyStream_data();
    void sameKeyStream();
    void safePath_data();
    void safePath();
    void configNet_data();
    void configNet();
    void configEth();
    void replyTexts();
    void dottedQuad_data();
    void dottedQuad();
};

void DevsimMessagesTest::recoverKey_data()
{
    QTest::addColumn<QByteArray>("target"); // the address the message names
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("device"); // the address the device checks for
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray a("192.168.1.20");
    QTest::addRow("unscrambled") << a << QByteArray() << a << true << QByteArray();
    QTest::addRow("length 1") << a << QByteArray("k") << a << true << QByteArray("k");
    QTest::addRow("length 2") << a << QByteArray("k2") << a << true << QByteArray("k2");
    QTest::addRow("length 3") << a << QByteArray("abc") << a << true << QByteArray("abc");
    QTest::addRow("length 4") << a << QByteArray("1234") << a << true << QByteArray("1234");
    QTest::addRow("zero bytes in scrambled text")
        << a << QByteArray("19x.") << a << true << QByteArray("19x.");
    QTest::addRow("repeating key gives its shortest form")
        << a << QByteArray("abab") << a << true << QByteArray("ab");
    QTest::addRow("key longer than 4") << a << QByteArray("12345") << a << false << QByteArray();
    QTest::addRow("another device")
        << a << QByteArray("1234") << QByteArray("192.168.1.2") << false << QByteArray();
    QTest::addRow("longer address of another device")
        << QByteArray("192.168.1.2") << QByteArray("1234") << a << false << QByteArray();
    QTest::addRow("unscrambled, another device")
        << a << QByteArray() << QByteArray("192.168.1.21") << false << QByteArray();
}

void DevsimMessagesTest::recoverKey()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, device);
    QFETCH(bool, found);
    QFETCH(QByteArray, expected);

    const std::string message = build_update_marker(target.toStdString());
    const std::string scrambled = scramble_text(message, key.toStdString());
    if (key.startsWith("19")) {
        QVERIFY(scrambled.find('\0') != std::string::npos);
    }
    const auto recovered = recover_key(scrambled, device.toStdString());
    QCOMPARE(recovered.has_value(), found);
    if (found) {
        QCOMPARE(bytes(*recovered), expected);
    }
}

void DevsimMessagesTest::parseFileMessage_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("content");

    const std::string eth =
        build_config_eth("10.1.0.5", "No", "10.1.0.5", "255.255.0.0", "10.1.0.1");
    QTest::addRow("CONFIG_ETH, key 1234")
        << bytes(eth) << QByteArray("1234") << true << QByteArray("/Talvonex/CONFIG_ETH.TXT")
        << QByteArray("[DHCP] No\n[IP] 10.1.0.5\n[MASK] 255.255.0.0\n[GW] 10.1.0.1\n");
    QTest::addRow("marker, no key") << bytes(build_update_marker("10.1.0.5")) << QByteArray()
                                    << true << QByteArray("/Talvonex/actualizado") << QByteArray();
    QTest::addRow("content with zero byte and ;")
        << QByteArray("10.1.0.5\ncreate_file\n/x\na\0b;c\n", 30) << QByteArray("zz") << true
        << QByteArray("/x") << QByteArray("a\0b;c\n", 6);
    QTest::addRow("no line feed after the path")
        << QByteArray("10.1.0.5\ncreate_file\n/x") << QByteArray("1") << false << QByteArray()
        << QByteArray();
    QTest::addRow("another verb") << QByteArray("10.1.0.5\ndelete_file\n/x\n") << QByteArray("1")
                                  << false << QByteArray() << QByteArray();
    QTest::addRow("another device") << bytes(build_update_marker("10.1.0.50")) << QByteArray("1")
                                    << false << QByteArray() << QByteArray();
    QTest::addRow("truncated head") << QByteArray("10.1.0.5\ncreate_fi") << QByteArray() << false
                                    << QByteArray() << QByteArray();
}

void DevsimMessagesTest::parseFileMessage()
{
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, key);
    QFETCH(bool, parsed);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, content);

    const auto message =
        parse_file_message(scramble_text(plain.toStdString(), key.toStdString()), "10.1.0.5");
    QCOMPARE(message.has_value(), parsed);
    if (parsed) {
        QCOMPARE(bytes(message->path), path);
        QCOMPARE(bytes(message->content), content);
    }
}

void DevsimMessagesTest::sameKeyStream_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("same");

    QTest::addRow("equal") << QByteArray("1234") << QByteArray("1234") << 100 << true;
    QTest::addRow("both empty") << QByteArray() << QByteArray() << 100 << true;
    QTest::addRow("empty and zero byte") << QByteArray() << QByteArray(1, '\0') << 100 << true;
    QTest::addRow("repetition") << QByteArray("12") << QByteArray("1212") << 100 << true;
    QTest::addRow("differs in the last byte")
        << QByteArray("1234") << QByteArray("1235") << 100 << false;
    QTest::addRow("same start, other period")
        << QByteArray("121") << QByteArray("1212") << 100 << false;
    QTest::addRow("differs only past the length")
        << QByteArray("121") << QByteArray("1212") << 3 << true;
    QTest::addRow("empty and a key") << QByteArray() << QByteArray("a") << 100 << false;
}

void DevsimMessagesTest::sameKeyStream()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, length);
    QFETCH(bool, same);

    QCOMPARE(same_key_stream(a.toStdString(), b.toStdString(), std::size_t(length)), same);
    QCOMPARE(same_key_stream(b.toStdString(), a.toStdString(), std::size_t(length)), same);
}

void DevsimMessagesTest::safePath_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("safe");

    QTest::addRow("device file") << QByteArray("/Talvonex/CONFIG_NET.TXT") << true;
    QTest::addRow("etc file") << QByteArray("/etc/hostapd.conf") << true;
    QTest::addRow("dot file") << QByteArray("/etc/.hidden") << true;
    QTest::addRow("parent") << QByteArray("/etc/../../x") << false;
    QTest::addRow("bare ..") << QByteArray("/..") << false;
    QTest::addRow("relative") << QByteArray("etc/x") << false;
    QTest::addRow("empty") << QByteArray() << false;
    QTest::addRow("root") << QByteArray("/") << false;
    QTest::addRow("directory") << QByteArray("/etc/") << false;
    QTest::addRow("empty component") << QByteArray("/etc//x") << false;
    QTest::addRow("zero byte") << QByteArray("/etc/a\0b", 8) << false;
}

void DevsimMessagesTest::safePath()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, safe);
    QCOMPARE(is_safe_device_path(path.toStdString()), safe);
}

void DevsimMessagesTest::configNet_data()
{
    QTest::addColumn<QByteArray>("ap");
    QTest::addColumn<QByteArray>("enc");
    QTest::addColumn<QByteArray>("dhcp");
    QTest::addColumn<QByteArray>("ssid");
    QTest::addColumn<QByteArray>("expected"); // the settings reply afterwards

    QTest::addRow("access point, WPA")
        << QByteArray("Yes") << QByteArray("WPA") << QByteArray("No") << QByteArray("My Net")
        << QByteArray("yes;My Net;wpa;pw;no;1.2.3.4;255.0.0.0;1.2.3.1;");
    QTest::addRow("client, open, DHCP")
        << QByteArray("No") << QByteArray("OPEN") << QByteArray("Yes") << QByteArray("CAPS")
        << QByteArray("no;CAPS;open;pw;yes;1.2.3.4;255.0.0.0;1.2.3.1;");
    QTest::addRow("empty ssid") << QByteArray("No") << QByteArray("WEP") << QByteArray("No")
                                << QByteArray()
                                << QByteArray("no;;wep;pw;no;1.2.3.4;255.0.0.0;1.2.3.1;");
    QTest::addRow("long ssid cut to 255")
        << QByteArray("No") << QByteArray("WPA") << QByteArray("No") << QByteArray(300, 's')
        << (QByteArray("no;") + QByteArray(255, 's') + ";wpa;pw;no;1.2.3.4;255.0.0.0;1.2.3.1;");
    QTest::addRow("semicolon dropped")
        << QByteArray("No") << QByteArray("WPA") << QByteArray("No") << QByteArray("a;b")
        << QByteArray("no;ab;wpa;pw;no;1.2.3.4;255.0.0.0;1.2.3.1;");
}

void DevsimMessagesTest::configNet()
{
    QFETCH(QByteArray, ap);
    QFETCH(QByteArray, enc);
    QFETCH(QByteArray, dhcp);
    QFETCH(QByteArray, ssid);
    QFETCH(QByteArray, expected);

    DeviceSettings settings = default_settings(ip_to_int("10.1.0.5"));
    const auto message =
        build_config_net("10.1.0.5", ap.toStdString(), ssid.toStdString(), "pw", enc.toStdString(),
                         dhcp.toStdString(), "1.2.3.4", "255.0.0.0", "1.2.3.1");
    apply_config_net(settings, parse_file_message(message, "10.1.0.5")->content);

    const auto reply = settings_reply_text(settings);
    QVERIFY(reply.starts_with("network_response;" + expected.toStdString()));
    QCOMPARE(settings.eth_ip, std::string("10.1.0.5")); // Ethernet untouched
    QCOMPARE(split_string(reply, ';').size(), std::size_t(13));
}

void DevsimMessagesTest::configEth()
{
    DeviceSettings settings = default_settings(ip_to_int("10.1.0.5"));
    const DeviceSettings before = settings;
    const auto message =
        build_config_eth("10.1.0.5", "Yes", "10.1.0.6", "255.255.255.0", "10.1.0.1");
    apply_config_eth(settings, parse_file_message(message, "10.1.0.5")->content);

    QCOMPARE(settings.eth_dhcp, std::string("yes"));
    QCOMPARE(settings.eth_ip, std::string("10.1.0.6"));
    QCOMPARE(settings.eth_mask, std::string("255.255.255.0"));
    QCOMPARE(settings.eth_gw, std::string("10.1.0.1"));
    QCOMPARE(settings.w_ssid, before.w_ssid);
    QCOMPARE(settings.w_dhcp, before.w_dhcp); // [DHCP] here is Ethernet's
}

void DevsimMessagesTest::replyTexts()
{
    DeviceInfo device;
    device.address = ip_to_int("10.1.0.5");
    device.identifier = "TVX-9";
    device.settings = default_settings(device.address);
    device.settings.w_pass.clear();

    const auto announcement = announcement_text(device);
    QCOMPARE(bytes(announcement),
             QByteArray("im_QUORIX;QUORIX;TVX-9;2.4.1;1187;admin;no;Office;wpa;;yes;192.168.0.10;"
                        "255.255.255.0;192.168.0.1;no;10.1.0.5;255.255.0.0;10.1.255.254;"));
    QCOMPARE(split_string(announcement, ';').size(), std::size_t(18));
    QCOMPARE(split_string(settings_reply_text(device.settings), ';').size(), std::size_t(13));

    device.older_firmware = true;
    QCOMPARE(bytes(announcement_text(device)), QByteArray("im_QUORIX;TVX-9;"));
}

void DevsimMessagesTest::dottedQuad_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("value");

    QTest::addRow("plain") << QByteArray("10.101.0.7") << true << quint32(0x0A650007);
    QTest::addRow("broadcast") << QByteArray("255.255.255.255") << true << quint32(0xFFFFFFFF);
    QTest::addRow("octet 256") << QByteArray("10.256.0.1") << false << quint32(0);
    QTest::addRow("four digits") << QByteArray("10.0010.0.1") << false << quint32(0);
    QTest::addRow("three octets") << QByteArray("10.0.1") << false << quint32(0);
    QTest::addRow("trailing text") << QByteArray("10.0.0.1x") << false << quint32(0);
    QTest::addRow("empty octet") << QByteArray("10..0.1") << false << quint32(0);
    QTest::addRow("leading blank") << QByteArray(" 10.0.0.1") << false << quint32(0);
    QTest::addRow("empty") << QByteArray() << false << quint32(0);
}

void DevsimMessagesTest::dottedQuad()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(quint32, value);

    AddressValue parsed = 0;
    QCOMPARE(parse_dotted_quad(text.toStdString(), parsed), valid);
    QCOMPARE(parsed, value);
}

QTEST_GUILESS_MAIN(DevsimMessagesTest)
#include "tst_devsim_messages.moc"
