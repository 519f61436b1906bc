#include "net/protocol.h"

#include <QByteArray>
#include <QTest>

using namespace nimbrel;

namespace {

// Names instead of numbers, so a failing comparison reads well.
QByteArray kindName(DatagramKind kind)
{
    switch (kind) {
    case DatagramKind::Announcement:
        return "Announcement";
    case DatagramKind::SettingsReply:
        return "SettingsReply";
    case DatagramKind::ErrorVerdict:
        return "ErrorVerdict";
    case DatagramKind::SuccessVerdict:
        return "SuccessVerdict";
    case DatagramKind::Ignored:
        return "Ignored";
    }
    return "unknown";
}

const QByteArray kTarget = "192.168.1.20";
const QByteArray kOther = "192.168.1.21";

} // namespace

class ProtocolTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classify_data();
    void classify();
    void toWire_data();
    void toWire();
};

void ProtocolTest::classify_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("sender");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("kind");

    const QByteArray announcement = "im_QUORIX;QUORIX;ID;1.0;1;u;no;n;wpa;;no;;;;no;;;;";
    const QByteArray reply = "network_response;no;n;wpa;;no;;;;no;;;;";

    QTest::addRow("announcement") << announcement << kOther << false << kTarget
                                  << QByteArray("Announcement");
    QTest::addRow("announcement from written device, with verdict words")
        << "Success Error network_response " + announcement << kTarget << false << kTarget
        << QByteArray("Announcement");
    QTest::addRow("announcement while verdict busy")
        << announcement << kTarget << true << kTarget << QByteArray("Announcement");
    QTest::addRow("announcement word in the middle")
        << QByteArray("xxim_QUORIXyy") << kOther << false << QByteArray()
        << QByteArray("Announcement");
    QTest::addRow("settings reply")
        << reply << kOther << false << QByteArray() << QByteArray("SettingsReply");
    QTest::addRow("settings reply beats verdicts")
        << reply + "Error;Success;" << kTarget << false << kTarget << QByteArray("SettingsReply");
    QTest::addRow("Error from written device")
        << QByteArray("Error") << kTarget << false << kTarget << QByteArray("ErrorVerdict");
    QTest::addRow("Success from written device")
        << QByteArray("Success") << kTarget << false << kTarget << QByteArray("SuccessVerdict");
    QTest::addRow("Error and Success: Error wins")
        << QByteArray("Success, Error") << kTarget << false << kTarget
        << QByteArray("ErrorVerdict");
    QTest::addRow("verdict words inside text") << QByteArray("write_Successful") << kTarget << false
                                               << kTarget << QByteArray("SuccessVerdict");
    QTest::addRow("Error inside text") << QByteArray("xErrorx Success") << kTarget << false
                                       << kTarget << QByteArray("ErrorVerdict");
    QTest::addRow("Error and Success from another address")
        << QByteArray("Error Success") << kOther << false << kTarget << QByteArray("Ignored");
    QTest::addRow("Success from another address")
        << QByteArray("Success") << kOther << false << kTarget << QByteArray("Ignored");
    QTest::addRow("sender is a prefix of the target")
        << QByteArray("Success") << QByteArray("192.168.1.2") << false << kTarget
        << QByteArray("Ignored");
    QTest::addRow("Error while verdict busy")
        << QByteArray("Error") << kTarget << true << kTarget << QByteArray("Ignored");
    QTest::addRow("Success while verdict busy")
        << QByteArray("Success") << kTarget << true << kTarget << QByteArray("Ignored");
    QTest::addRow("no write target")
        << QByteArray("Success") << QByteArray() << false << QByteArray() << QByteArray("Ignored");
    QTest::addRow("lower-case success")
        << QByteArray("success") << kTarget << false << kTarget << QByteArray("Ignored");
    QTest::addRow("capital ERROR")
        << QByteArray("ERROR") << kTarget << false << kTarget << QByteArray("Ignored");
    QTest::addRow("lower-case announcement word")
        << QByteArray("im_quorix;") << kOther << false << kTarget << QByteArray("Ignored");
    QTest::addRow("own search") << QByteArray("find_QUORIX") << kOther << false << kTarget
                                << QByteArray("Ignored");
    QTest::addRow("own search from written device")
        << QByteArray("find_QUORIX") << kTarget << false << kTarget << QByteArray("Ignored");
    QTest::addRow("own settings request")
        << QByteArray("get_network") << kTarget << false << kTarget << QByteArray("Ignored");
    QTest::addRow("empty text") << QByteArray() << kTarget << false << kTarget
                                << QByteArray("Ignored");
}

void ProtocolTest::classify()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, sender);
    QFETCH(bool, busy);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, kind);

    QCOMPARE(kindName(classify_datagram(text.toStdString(), sender.toStdString(), busy,
                                        target.toStdString())),
             kind);
}

void ProtocolTest::toWire_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::addRow("7-bit text unchanged")
        << QByteArray("find_QUORIX ~;\x7f") << QByteArray("find_QUORIX ~;\x7f");
    QTest::addRow("0x80 and 0xff") << QByteArray("a\x80z\xff") << QByteArray("a?z?");
    QTest::addRow("UTF-8 letter: one '?' per byte")
        << QByteArray("Caf\xc3\xa9;") << QByteArray("Caf??;");
    QTest::addRow("zero bytes kept") << QByteArray("a\0b\0", 4) << QByteArray("a\0b\0", 4);
    QTest::addRow("zero beside 8-bit") << QByteArray("\0\xc4\0", 3) << QByteArray("\0?\0", 3);
    QTest::addRow("empty") << QByteArray() << QByteArray();

    QByteArray all;
    QByteArray expected;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
        expected.append(b < 0x80 ? static_cast<char>(b) : '?');
    }
    QTest::addRow("every byte value") << all << expected;
}

void ProtocolTest::toWire()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);

    QCOMPARE(QByteArray::fromStdString(to_wire(text.toStdString())), bytes);
}

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
