#include "devices/web_server.h"
#include "record_text.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QTest>

using namespace nimbrel;
using nimbrel::test::fieldsOf;
using nimbrel::test::markedRecord;

namespace {

// Each part followed by ';', as a device sends it.
QByteArray joined(const QByteArrayList& parts)
{
    QByteArray text;
    for (const QByteArray& part : parts)
        text += part + ';';
    return text;
}

const QByteArrayList kAnnouncement = {
    "im_QUORIX",     "QUORIX",      "ID-0042", "2.1.7",    "118",       "Admin",
    "YES",           "MyNet",       "WPA",     "",         "NO",        "192.168.0.10",
    "255.255.255.0", "192.168.0.1", "Yes",     "10.0.0.2", "255.0.0.0", "10.0.0.1"};

// Fields 1 to 17 of kAnnouncement as stored: the four flag words lower-cased, the rest as sent.
const QByteArrayList kAnnouncedFields = {
    "QUORIX",      "ID-0042", "2.1.7",    "118",       "Admin",        "yes",
    "MyNet",       "wpa",     "",         "no",        "192.168.0.10", "255.255.255.0",
    "192.168.0.1", "yes",     "10.0.0.2", "255.0.0.0", "10.0.0.1"};

const QByteArrayList kReply = {
    "network_response", "YES",         "Office Net", "WPA2", "Pa;ss",    "No",
    "10.1.2.3",         "255.255.0.0", "10.1.0.1",   "yes",  "10.2.0.5", "255.255.255.0",
    "10.2.0.1"};

} // namespace

class WebServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseAnnouncement_data();
    void parseAnnouncement();
    void parseNetworkResponse_data();
    void parseNetworkResponse();
    void isQuorix_data();
    void isQuorix();
};

void WebServerTest::parseAnnouncement_data()
{
    QTest::addColumn<QByteArray>("text");
    // Fields 1 to 17 after parsing; empty when the record must stay as it was.
    QTest::addColumn<QByteArrayList>("fields");

    QTest::addRow("18 parts") << joined(kAnnouncement) << kAnnouncedFields;

    QByteArrayList capitals = kAnnouncement;
    capitals[1] = "QUORIX-Pro";
    capitals[6] = "yEs";
    capitals[7] = "My NET";
    capitals[8] = "WeP";
    capitals[9] = "PassWORD";
    capitals[10] = "YES";
    capitals[14] = "NO";
    QByteArrayList capitalFields = kAnnouncedFields;
    capitalFields[0] = "QUORIX-Pro";
    capitalFields[5] = "yes";
    capitalFields[6] = "My NET";
    capitalFields[7] = "wep";
    capitalFields[8] = "PassWORD";
    capitalFields[9] = "yes";
    capitalFields[13] = "no";
    QTest::addRow("only flag fields lower-cased") << joined(capitals) << capitalFields;

    QByteArrayList eightBit = kAnnouncement;
    eightBit[6] = "YES\xc4\xd6";
    eightBit[7] = "N\xc4T";
    QByteArrayList eightBitFields = kAnnouncedFields;
    eightBitFields[5] = "yes\xc4\xd6";
    eightBitFields[6] = "N\xc4T";
    QTest::addRow("8-bit bytes not lower-cased") << joined(eightBit) << eightBitFields;

    QByteArrayList partZero = kAnnouncement;
    partZero[0] = "anything";
    QTest::addRow("part 0 not looked at") << joined(partZero) << kAnnouncedFields;

    QTest::addRow("text after last ';' ignored")
        << joined(kAnnouncement) + "trailing" << kAnnouncedFields;

    QByteArrayList empties = kAnnouncement;
    for (int k : {2, 5, 7, 9, 13, 17})
        empties[k].clear();
    QByteArrayList emptyFields = kAnnouncedFields;
    for (int k : {2, 5, 7, 9, 13, 17})
        emptyFields[k - 1].clear();
    QTest::addRow("empty parts") << joined(empties) << emptyFields;

    QTest::addRow("all parts empty") << QByteArray(18, ';') << QByteArrayList(17, QByteArray());

    QByteArray seventeen = joined(kAnnouncement);
    seventeen.chop(1);
    QTest::addRow("17 parts: no final ';'") << seventeen << QByteArrayList{};
    QTest::addRow("19 parts: one ';' too many") << joined(kAnnouncement) + ';' << QByteArrayList{};
    QTest::addRow("17 terminated parts") << joined(kAnnouncement.mid(0, 17)) << QByteArrayList{};
    QTest::addRow("empty text") << QByteArray() << QByteArrayList{};
    QTest::addRow("no ';' at all") << QByteArray("im_QUORIX") << QByteArrayList{};
}

void WebServerTest::parseAnnouncement()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, fields);

    WebServer record = markedRecord();
    record.address = 0x0a000001;
    record.interface_index = 3;
    const QByteArrayList before = fieldsOf(record);

    const bool filled = parse_announcement(record, text.toStdString());

    QCOMPARE(filled, !fields.isEmpty());
    const QByteArrayList expected = fields.isEmpty() ? before : QByteArrayList{before[0]} + fields;
    QCOMPARE(fieldsOf(record), expected);
    QCOMPARE(record.address, 0x0a000001u);
    QCOMPARE(record.interface_index, 3);
}

void WebServerTest::parseNetworkResponse_data()
{
    QTest::addColumn<QByteArray>("text");
    // Fields 6 to 17 after parsing; empty when the record must stay as it was.
    QTest::addColumn<QByteArrayList>("fields");

    // "Pa;ss" in kReply splits in two, so the plain reply uses a password without ';'.
    QByteArrayList reply = kReply;
    reply[4] = "PaSS";
    QTest::addRow("13 parts kept as received") << joined(reply) << reply.mid(1);

    QByteArrayList lower = reply;
    lower[1] = "no";
    lower[3] = "open";
    QTest::addRow("lower-case words") << joined(lower) << lower.mid(1);

    QTest::addRow("text after last ';' ignored") << joined(reply) + "yes" << reply.mid(1);
    QTest::addRow("all parts empty") << QByteArray(13, ';') << QByteArrayList(12, QByteArray());

    QByteArray twelve = joined(reply);
    twelve.chop(1);
    QTest::addRow("12 parts: no final ';'") << twelve << QByteArrayList{};
    QTest::addRow("14 parts: ';' inside a value") << joined(kReply) << QByteArrayList{};
    QTest::addRow("an announcement") << joined(kAnnouncement) << QByteArrayList{};
    QTest::addRow("empty text") << QByteArray() << QByteArrayList{};
}

void WebServerTest::parseNetworkResponse()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, fields);

    WebServer record = markedRecord();
    const QByteArrayList before = fieldsOf(record);

    const bool filled = parse_network_response(record, text.toStdString());

    QCOMPARE(filled, !fields.isEmpty());
    const QByteArrayList expected = fields.isEmpty() ? before : before.mid(0, 6) + fields;
    QCOMPARE(fieldsOf(record), expected);
}

void WebServerTest::isQuorix_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<bool>("quorix");

    QTest::addRow("exact") << QByteArray("QUORIX") << true;
    QTest::addRow("inside other text") << QByteArray("TX-QUORIX-2") << true;
    QTest::addRow("lower case") << QByteArray("quorix") << false;
    QTest::addRow("mixed case") << QByteArray("Quorix") << false;
    QTest::addRow("other model") << QByteArray("TALVO-W1") << false;
    QTest::addRow("empty") << QByteArray() << false;
}

void WebServerTest::isQuorix()
{
    QFETCH(QByteArray, model);
    QFETCH(bool, quorix);

    WebServer record;
    record.model = model.toStdString();
    QCOMPARE(is_quorix(record), quorix);
}

QTEST_APPLESS_MAIN(WebServerTest)
#include "tst_web_server.moc"
