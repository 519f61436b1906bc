// The list's exports and its filter test, and the note a registry keeps when two devices answer
// from one address.

#include "devices/device_export.h"
#include "devices/device_registry.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QTest>

using namespace nimbrel;

namespace {

// Identifier, SSID, password and user chosen so that each shows up where it belongs.
std::string announcementOf(const std::string& identifier, const std::string& ssid = "MyNet")
{
    return "im_QUORIX;QUORIX;" + identifier + ";2.1.7;118;Admin;YES;" + ssid +
           ";WPA;hunter22;NO;192.168.0.10;255.255.255.0;192.168.0.1;Yes;10.0.0.2;255.0.0.0;"
           "10.0.0.1;";
}

const char* const kHeader =
    "address,model,identifier,firmware,build,user,access point,SSID,encryption,Wi-Fi DHCP,"
    "Wi-Fi address,Wi-Fi mask,Wi-Fi gateway,Ethernet DHCP,Ethernet address,Ethernet mask,"
    "Ethernet gateway\r\n";

} // namespace

class DeviceExportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detailsLine_tabSeparatedFacts();
    void csv_headerThenDevicesInListOrder();
    void csv_neverHoldsThePassword();
    void csv_reportsTheSettingsAsLastRead();
    void csv_quotesAndConvertsLatin1();
    void csv_deviceWithoutFullAnnouncementHasEmptyFields();
    void matches_data();
    void matches();
    void secondIdentifierOnOneAddress_isNotedOnceRecordUnchanged();
    void sameIdentifierAgain_isKnownAndNotesNothing();
    void incompleteAnnouncementOnListedAddress_notesNothing();
};

void DeviceExportTest::detailsLine_tabSeparatedFacts()
{
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.20", announcementOf("ID-0042"));
    QCOMPARE(QByteArray::fromStdString(device_details_line(servers.at(0))),
             QByteArray("192.168.1.20\tQUORIX\tID-0042\t2.1.7\t118\tAdmin"));
}

void DeviceExportTest::csv_headerThenDevicesInListOrder()
{
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.30", announcementOf("ID-B"));
    servers.add_announcement("192.168.1.4", announcementOf("ID-A"));
    const QByteArray expected =
        QByteArray(kHeader) +
        "192.168.1.4,QUORIX,ID-A,2.1.7,118,Admin,yes,MyNet,wpa,no,192.168.0.10,255.255.255.0,"
        "192.168.0.1,yes,10.0.0.2,255.0.0.0,10.0.0.1\r\n"
        "192.168.1.30,QUORIX,ID-B,2.1.7,118,Admin,yes,MyNet,wpa,no,192.168.0.10,255.255.255.0,"
        "192.168.0.1,yes,10.0.0.2,255.0.0.0,10.0.0.1\r\n";
    QCOMPARE(QByteArray::fromStdString(devices_csv(servers)), expected);
}

void DeviceExportTest::csv_neverHoldsThePassword()
{
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.4", announcementOf("ID-A"));
    servers.at(0).w_pass = "edited-secret";
    const QByteArray csv = QByteArray::fromStdString(devices_csv(servers));
    QVERIFY(!csv.contains("hunter22"));
    QVERIFY(!csv.contains("edited-secret"));
    QVERIFY(!csv.toLower().contains("password"));
}

void DeviceExportTest::csv_reportsTheSettingsAsLastRead()
{
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.4", announcementOf("ID-A"));
    // An edit not yet sent is not what the device has.
    servers.at(0).w_ssid = "NotSentYet";
    QByteArray csv = QByteArray::fromStdString(devices_csv(servers));
    QVERIFY(csv.contains(",MyNet,"));
    QVERIFY(!csv.contains("NotSentYet"));
    // A settings reply is what the device has now.
    QVERIFY(parse_network_response(servers.at(0), "network_response;no;Hall;open;;yes;;;;no;"
                                                  "10.1.1.5;255.255.0.0;10.1.1.1;"));
    csv = QByteArray::fromStdString(devices_csv(servers));
    QVERIFY(csv.endsWith(",no,Hall,open,yes,,,,no,10.1.1.5,255.255.0.0,10.1.1.1\r\n"));
}

void DeviceExportTest::csv_quotesAndConvertsLatin1()
{
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.4", announcementOf("ID-A", "Caf\xE9, \"Bar\""));
    const QByteArray csv = QByteArray::fromStdString(devices_csv(servers));
    QVERIFY(csv.contains(",yes,\"Caf\xC3\xA9, \"\"Bar\"\"\",wpa,"));
}

void DeviceExportTest::csv_deviceWithoutFullAnnouncementHasEmptyFields()
{
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.4", "im_QUORIX;QUORIX;");
    QCOMPARE(QByteArray::fromStdString(devices_csv(servers)),
             QByteArray(kHeader) + "192.168.1.4,,,,,,,,,,,,,,,,\r\n");
}

void DeviceExportTest::matches_data()
{
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<bool>("matches");
    QTest::addRow("empty matches all") << QByteArray("") << true;
    QTest::addRow("part of the address") << QByteArray("1.20") << true;
    QTest::addRow("model, other case") << QByteArray("quor") << true;
    QTest::addRow("identifier") << QByteArray("id-00") << true;
    QTest::addRow("firmware") << QByteArray("2.1.7") << true;
    QTest::addRow("build alone is not searched") << QByteArray("118") << false;
    QTest::addRow("user is not searched") << QByteArray("admin") << false;
    QTest::addRow("SSID is not searched") << QByteArray("MyNet") << false;
    QTest::addRow("text nowhere") << QByteArray("zzz") << false;
}

void DeviceExportTest::matches()
{
    QFETCH(QByteArray, needle);
    QFETCH(bool, matches);
    DeviceRegistry servers;
    servers.add_announcement("192.168.1.20", announcementOf("ID-0042"));
    QCOMPARE(device_matches(servers.at(0), needle.toStdString()), matches);
}

void DeviceExportTest::secondIdentifierOnOneAddress_isNotedOnceRecordUnchanged()
{
    DeviceRegistry servers;
    int position = -1;
    QCOMPARE(servers.hear_announcement("192.168.1.20", announcementOf("ID-A"), 0, position),
             DeviceRegistry::Heard::Added);
    QCOMPARE(position, 0);
    QCOMPARE(
        servers.hear_announcement("192.168.1.20", announcementOf("ID-B", "Other"), 0, position),
        DeviceRegistry::Heard::Conflict);
    QCOMPARE(position, 0);
    QCOMPARE(servers.count(), 1);
    QCOMPARE(servers.at(0).identifier, std::string("ID-A"));
    QCOMPARE(servers.at(0).w_ssid, std::string("MyNet"));
    QCOMPARE(servers.at(0).other_identifier, std::string("ID-B"));
    // Once noted, the same answer again changes nothing more.
    QCOMPARE(servers.hear_announcement("192.168.1.20", announcementOf("ID-B"), 0, position),
             DeviceRegistry::Heard::Known);
    servers.clear();
    servers.add_announcement("192.168.1.20", announcementOf("ID-B"));
    QVERIFY(servers.at(0).other_identifier.empty());
}

void DeviceExportTest::sameIdentifierAgain_isKnownAndNotesNothing()
{
    DeviceRegistry servers;
    int position = -1;
    servers.hear_announcement("192.168.1.4", announcementOf("ID-A"), 0, position);
    servers.hear_announcement("192.168.1.9", announcementOf("ID-C"), 0, position);
    QCOMPARE(servers.hear_announcement("192.168.1.9", announcementOf("ID-C"), 0, position),
             DeviceRegistry::Heard::Known);
    QCOMPARE(position, 1);
    QVERIFY(servers.at(1).other_identifier.empty());
}

void DeviceExportTest::incompleteAnnouncementOnListedAddress_notesNothing()
{
    DeviceRegistry servers;
    int position = -1;
    servers.hear_announcement("192.168.1.4", announcementOf("ID-A"), 0, position);
    QCOMPARE(servers.hear_announcement("192.168.1.4", "im_QUORIX;QUORIX;ID-B;", 0, position),
             DeviceRegistry::Heard::Known);
    QVERIFY(servers.at(0).other_identifier.empty());
}

QTEST_APPLESS_MAIN(DeviceExportTest)
#include "tst_device_export.moc"
