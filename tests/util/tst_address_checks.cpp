#include "util/address_checks.h"

#include <QByteArray>
#include <QTest>

using namespace nimbrel;

class AddressChecksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void syntax_data();
    void syntax();
    void values_data();
    void values();
};

// Text that is not a strict dotted quad: every check must refuse it, whatever it would mean.
void AddressChecksTest::syntax_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("quad");

    QTest::addRow("plain") << QByteArray("192.168.1.20") << true;
    QTest::addRow("single digits") << QByteArray("1.2.3.4") << true;
    QTest::addRow("three-digit octets") << QByteArray("100.200.249.255") << true;
    QTest::addRow("lone zero octets") << QByteArray("10.0.0.1") << true;
    QTest::addRow("leading zero, first octet") << QByteArray("010.0.0.1") << false;
    QTest::addRow("leading zero, last octet") << QByteArray("10.0.0.01") << false;
    QTest::addRow("double zero octet") << QByteArray("10.00.0.1") << false;
    QTest::addRow("256 in first octet") << QByteArray("256.1.1.1") << false;
    QTest::addRow("256 in last octet") << QByteArray("1.1.1.256") << false;
    QTest::addRow("four digits") << QByteArray("1.1.1.1000") << false;
    QTest::addRow("very long octet") << QByteArray("1.1.1.99999999999999999999") << false;
    QTest::addRow("three octets") << QByteArray("10.0.1") << false;
    QTest::addRow("five octets") << QByteArray("10.0.0.1.5") << false;
    QTest::addRow("empty octet") << QByteArray("1..3.4") << false;
    QTest::addRow("trailing dot") << QByteArray("1.2.3.4.") << false;
    QTest::addRow("leading dot") << QByteArray(".1.2.3.4") << false;
    QTest::addRow("empty") << QByteArray() << false;
    QTest::addRow("dots only") << QByteArray("...") << false;
    QTest::addRow("leading space") << QByteArray(" 1.2.3.4") << false;
    QTest::addRow("trailing space") << QByteArray("1.2.3.4 ") << false;
    QTest::addRow("inner space") << QByteArray("1.2. 3.4") << false;
    QTest::addRow("trailing text") << QByteArray("10.0.0.1 trailing") << false;
    QTest::addRow("prefix length") << QByteArray("10.0.0.1/24") << false;
    QTest::addRow("trailing zero byte") << QByteArray("1.2.3.4\0", 8) << false;
    QTest::addRow("plus sign") << QByteArray("+1.2.3.4") << false;
    QTest::addRow("minus sign") << QByteArray("1.2.3.-4") << false;
    QTest::addRow("hex octet") << QByteArray("0x1.2.3.4") << false;
    QTest::addRow("letters") << QByteArray("a.b.c.d") << false;
}

void AddressChecksTest::syntax()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, quad);
    const std::string s = text.toStdString();

    QCOMPARE(is_dotted_quad(s), quad);
    QCOMPARE(is_valid_gateway(s), quad);
    if (!quad) {
        QVERIFY(!is_valid_host_address(s));
        QVERIFY(!is_valid_netmask(s));
    }
}

// Well-formed quads, where the three uses differ in which values they accept.
void AddressChecksTest::values_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("host");
    QTest::addColumn<bool>("gateway");
    QTest::addColumn<bool>("netmask");

    QTest::addRow("ordinary host") << QByteArray("192.168.0.10") << true << true << false;
    QTest::addRow("0.0.0.0") << QByteArray("0.0.0.0") << false << true << false;
    QTest::addRow("255.255.255.255") << QByteArray("255.255.255.255") << false << true << true;
    QTest::addRow("0.0.0.1") << QByteArray("0.0.0.1") << true << true << false;
    QTest::addRow("255.255.255.254") << QByteArray("255.255.255.254") << true << true << true;
    QTest::addRow("mask /24") << QByteArray("255.255.255.0") << true << true << true;
    QTest::addRow("mask /8") << QByteArray("255.0.0.0") << true << true << true;
    QTest::addRow("mask /1") << QByteArray("128.0.0.0") << true << true << true;
    QTest::addRow("mask /23") << QByteArray("255.255.254.0") << true << true << true;
    QTest::addRow("gap in the middle") << QByteArray("255.0.255.0") << true << true << false;
    QTest::addRow("stray low bit") << QByteArray("255.255.255.1") << true << true << false;
    QTest::addRow("ones from the bottom") << QByteArray("0.255.255.255") << true << true << false;
    QTest::addRow("top bit missing") << QByteArray("127.0.0.0") << true << true << false;
}

void AddressChecksTest::values()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, host);
    QFETCH(bool, gateway);
    QFETCH(bool, netmask);
    const std::string s = text.toStdString();

    QVERIFY(is_dotted_quad(s));
    QCOMPARE(is_valid_host_address(s), host);
    QCOMPARE(is_valid_gateway(s), gateway);
    QCOMPARE(is_valid_netmask(s), netmask);
}

QTEST_APPLESS_MAIN(AddressChecksTest)
#include "tst_address_checks.moc"
