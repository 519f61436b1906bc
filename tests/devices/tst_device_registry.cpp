#include "devices/device_registry.h"
#include "record_text.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QTest>

using namespace nimbrel;
using nimbrel::test::fieldsOf;

namespace {

const char* const kAnnouncement = "im_QUORIX;QUORIX;ID-0042;2.1.7;118;Admin;YES;MyNet;WPA;;NO;"
                                  "192.168.0.10;255.255.255.0;192.168.0.1;Yes;10.0.0.2;255.0.0.0;"
                                  "10.0.0.1;";

const QByteArrayList kAnnouncedFields = {
    "QUORIX",      "ID-0042", "2.1.7",    "118",       "Admin",        "yes",
    "MyNet",       "wpa",     "",         "no",        "192.168.0.10", "255.255.255.0",
    "192.168.0.1", "yes",     "10.0.0.2", "255.0.0.0", "10.0.0.1"};

QByteArrayList addresses(const DeviceRegistry& registry)
{
    QByteArrayList list;
    for (int i = 0; i < registry.count(); ++i)
        list.append(QByteArray::fromStdString(registry.at(i).ip));
    return list;
}

void announceAll(DeviceRegistry& registry, const QByteArrayList& senders)
{
    for (const QByteArray& sender : senders)
        registry.add_announcement(sender.toStdString(), kAnnouncement);
}

} // namespace

class DeviceRegistryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void order_data();
    void order();
    void announcementFillsRecord();
    void firstAnnouncementWins();
    void unparsedAnnouncementListsAddressOnly_data();
    void unparsedAnnouncementListsAddressOnly();
    void remove_data();
    void remove();
    void find_data();
    void find();
    void findGivesTheStoredRecord();
    void clearThenListAgain();
};

void DeviceRegistryTest::order_data()
{
    QTest::addColumn<QByteArrayList>("arrivals");
    QTest::addColumn<QByteArrayList>("order");

    QTest::addRow("numeric, not textual") << QByteArrayList{"192.168.1.30", "192.168.1.4"}
                                          << QByteArrayList{"192.168.1.4", "192.168.1.30"};
    QTest::addRow("three digits after one")
        << QByteArrayList{"192.168.1.100", "192.168.1.20", "192.168.1.3"}
        << QByteArrayList{"192.168.1.3", "192.168.1.20", "192.168.1.100"};
    QTest::addRow("ascending arrival") << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.1.0"}
                                       << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.1.0"};
    QTest::addRow("mixed arrival, one subnet")
        << QByteArrayList{"172.16.0.9", "172.16.0.1", "172.16.0.200", "172.16.0.5"}
        << QByteArrayList{"172.16.0.1", "172.16.0.5", "172.16.0.9", "172.16.0.200"};
    // The wrapped difference 10.0.0.5 - 192.168.1.4 is positive, so 10.0.0.5 goes after.
    QTest::addRow("far apart, low first")
        << QByteArrayList{"10.0.0.5", "192.168.1.4"} << QByteArrayList{"192.168.1.4", "10.0.0.5"};
    QTest::addRow("far apart, high first")
        << QByteArrayList{"192.168.1.4", "10.0.0.5"} << QByteArrayList{"192.168.1.4", "10.0.0.5"};
    // Across three far-apart networks the relation is cyclic (192.168 < 10 < 100 < 192.168):
    // the result is that of the scan for the first record the new one sorts below.
    QTest::addRow("cyclic trio, 10 192 100")
        << QByteArrayList{"10.0.0.5", "192.168.1.4", "100.0.0.1"}
        << QByteArrayList{"100.0.0.1", "192.168.1.4", "10.0.0.5"};
    QTest::addRow("cyclic trio, 100 10 192")
        << QByteArrayList{"100.0.0.1", "10.0.0.5", "192.168.1.4"}
        << QByteArrayList{"192.168.1.4", "10.0.0.5", "100.0.0.1"};
    QTest::addRow("repeated sender listed once")
        << QByteArrayList{"192.168.1.30", "192.168.1.4", "192.168.1.30", "192.168.1.4"}
        << QByteArrayList{"192.168.1.4", "192.168.1.30"};
    // Equal values but different texts are different keys; the later one goes after.
    QTest::addRow("same value, other text")
        << QByteArrayList{"192.168.001.004", "192.168.1.4", "192.168.1.3"}
        << QByteArrayList{"192.168.1.3", "192.168.001.004", "192.168.1.4"};
    QTest::addRow("non-quad sender counts as 0") << QByteArrayList{"10.0.0.1", "not-an-address"}
                                                 << QByteArrayList{"not-an-address", "10.0.0.1"};
}

void DeviceRegistryTest::order()
{
    QFETCH(QByteArrayList, arrivals);
    QFETCH(QByteArrayList, order);

    DeviceRegistry registry;
    announceAll(registry, arrivals);
    QCOMPARE(addresses(registry), order);
}

void DeviceRegistryTest::announcementFillsRecord()
{
    DeviceRegistry registry;
    QVERIFY(registry.add_announcement("192.168.1.20", kAnnouncement, 4));

    QCOMPARE(registry.count(), 1);
    const WebServer& record = registry.at(0);
    QCOMPARE(fieldsOf(record), QByteArrayList{"192.168.1.20"} + kAnnouncedFields);
    QCOMPARE(record.address, 0xc0a80114u);
    QCOMPARE(record.interface_index, 4);
}

void DeviceRegistryTest::firstAnnouncementWins()
{
    DeviceRegistry registry;
    QVERIFY(registry.add_announcement("192.168.1.20", kAnnouncement, 2));
    const QByteArrayList first = fieldsOf(registry.at(0));

    const std::string other = "im_QUORIX;OTHER;ID-9;9.9;9;root;no;Else;open;;yes;1.1.1.1;"
                              "255.0.0.0;1.1.1.2;no;2.2.2.2;255.0.0.0;2.2.2.1;";
    QVERIFY(!registry.add_announcement("192.168.1.20", other, 5));
    QVERIFY(!registry.add_announcement("192.168.1.20", "garbage", 6));

    QCOMPARE(registry.count(), 1);
    QCOMPARE(fieldsOf(registry.at(0)), first);
    QCOMPARE(registry.at(0).interface_index, 2);
}

void DeviceRegistryTest::unparsedAnnouncementListsAddressOnly_data()
{
    QTest::addColumn<QByteArray>("text");

    QByteArray seventeen(kAnnouncement);
    seventeen.chop(1);
    QTest::addRow("17 parts") << seventeen;
    QTest::addRow("19 parts") << QByteArray(kAnnouncement) + ';';
    QTest::addRow("no ';'") << QByteArray("im_QUORIX");
    QTest::addRow("empty") << QByteArray();
}

void DeviceRegistryTest::unparsedAnnouncementListsAddressOnly()
{
    QFETCH(QByteArray, text);

    DeviceRegistry registry;
    announceAll(registry, {"192.168.1.50", "192.168.1.10"});
    QVERIFY(registry.add_announcement("192.168.1.20", text.toStdString(), 7));

    QCOMPARE(addresses(registry), (QByteArrayList{"192.168.1.10", "192.168.1.20", "192.168.1.50"}));
    const WebServer& record = registry.at(1);
    QCOMPARE(fieldsOf(record), QByteArrayList{"192.168.1.20"} + QByteArrayList(17, QByteArray()));
    QCOMPARE(record.interface_index, 7);
}

void DeviceRegistryTest::remove_data()
{
    QTest::addColumn<QByteArray>("ip");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QByteArrayList>("remaining");

    QTest::addRow("first") << QByteArray("10.0.0.1") << true
                           << QByteArrayList{"10.0.0.2", "10.0.0.3", "10.0.0.30"};
    QTest::addRow("middle") << QByteArray("10.0.0.3") << true
                            << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.0.30"};
    QTest::addRow("last") << QByteArray("10.0.0.30") << true
                          << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.0.3"};
    QTest::addRow("not listed") << QByteArray("10.0.0.4") << false
                                << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.30"};
    QTest::addRow("same value, other text")
        << QByteArray("10.0.0.03") << false
        << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.30"};
    QTest::addRow("empty") << QByteArray() << false
                           << QByteArrayList{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.30"};
}

void DeviceRegistryTest::remove()
{
    QFETCH(QByteArray, ip);
    QFETCH(bool, removed);
    QFETCH(QByteArrayList, remaining);

    DeviceRegistry registry;
    announceAll(registry, {"10.0.0.30", "10.0.0.2", "10.0.0.3", "10.0.0.1"});

    QCOMPARE(registry.remove(ip.toStdString()), removed);
    QCOMPARE(addresses(registry), remaining);
    QVERIFY(!registry.remove(ip.toStdString()));
    QCOMPARE(registry.find(ip.toStdString()), nullptr);
}

void DeviceRegistryTest::find_data()
{
    QTest::addColumn<QByteArray>("ip");
    QTest::addColumn<int>("index");

    QTest::addRow("first") << QByteArray("192.168.1.4") << 0;
    QTest::addRow("last") << QByteArray("192.168.1.30") << 2;
    QTest::addRow("prefix of a listed address") << QByteArray("192.168.1.3") << -1;
    QTest::addRow("same value, other text") << QByteArray("192.168.1.04") << -1;
    QTest::addRow("trailing blank") << QByteArray("192.168.1.4 ") << -1;
    QTest::addRow("empty") << QByteArray() << -1;
}

void DeviceRegistryTest::find()
{
    QFETCH(QByteArray, ip);
    QFETCH(int, index);

    DeviceRegistry registry;
    announceAll(registry, {"192.168.1.30", "192.168.1.4", "192.168.1.20"});

    WebServer* found = registry.find(ip.toStdString());
    if (index < 0)
        QCOMPARE(found, nullptr);
    else
        QCOMPARE(found, &registry.at(index));
}

void DeviceRegistryTest::findGivesTheStoredRecord()
{
    DeviceRegistry registry;
    announceAll(registry, {"192.168.1.30", "192.168.1.4"});

    WebServer* found = registry.find("192.168.1.30");
    QVERIFY(found != nullptr);
    found->w_ssid = "Edited";
    QCOMPARE(registry.at(1).w_ssid, std::string("Edited"));
    QCOMPARE(registry.at(0).w_ssid, std::string("MyNet"));

    QVERIFY(registry.contains_index(1));
    QVERIFY(!registry.contains_index(2));
    QVERIFY(!registry.contains_index(-1));
}

void DeviceRegistryTest::clearThenListAgain()
{
    DeviceRegistry registry;
    announceAll(registry, {"192.168.1.30", "192.168.1.4"});
    registry.clear();
    QCOMPARE(registry.count(), 0);
    QCOMPARE(registry.find("192.168.1.4"), nullptr);

    QVERIFY(registry.add_announcement("192.168.1.30", "changed;"));
    QVERIFY(registry.add_announcement("192.168.1.4", kAnnouncement));
    QCOMPARE(addresses(registry), (QByteArrayList{"192.168.1.4", "192.168.1.30"}));
    QCOMPARE(registry.at(1).model, std::string());
}

QTEST_APPLESS_MAIN(DeviceRegistryTest)
#include "tst_device_registry.moc"
