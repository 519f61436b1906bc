#include "util/address.h"
#include "util/text.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QTest>

using namespace nimbrel;

namespace {

std::string str(const QByteArray& bytes)
{
    return bytes.toStdString();
}

// Builds the expected value from its octets so that rows do not depend on ip_to_int itself.
constexpr quint32 quad(quint32 a, quint32 b, quint32 c, quint32 d)
{
    return (a << 24) | (b << 16) | (c << 8) | d;
}

} // namespace

class TextAddressTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitString_data();
    void splitString();
    void contains_data();
    void contains();
    void ipToInt_data();
    void ipToInt();
    void intToIp_data();
    void intToIp();
    void ipDistance_data();
    void ipDistance();
    void sameSubnet_data();
    void sameSubnet();
};

void TextAddressTest::splitString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("parts");

    QTest::addRow("terminated parts") << QByteArray("a;b;c;") << QByteArrayList{"a", "b", "c"};
    QTest::addRow("text after last delimiter dropped")
        << QByteArray("a;b;c") << QByteArrayList{"a", "b"};
    QTest::addRow("no delimiter") << QByteArray("abc") << QByteArrayList{};
    QTest::addRow("empty text") << QByteArray() << QByteArrayList{};
    QTest::addRow("lone delimiter") << QByteArray(";") << QByteArrayList{""};
    QTest::addRow("two delimiters") << QByteArray(";;") << QByteArrayList{"", ""};
    QTest::addRow("adjacent delimiters") << QByteArray("a;;b;") << QByteArrayList{"a", "", "b"};
    QTest::addRow("leading delimiter") << QByteArray(";a;") << QByteArrayList{"", "a"};
    QTest::addRow("blanks kept") << QByteArray(" a ;b;") << QByteArrayList{" a ", "b"};
    QTest::addRow("case kept") << QByteArray("AbC;x;") << QByteArrayList{"AbC", "x"};
    QTest::addRow("8-bit and zero bytes kept")
        << QByteArray("\xff\x00q;\x80;", 6) << QByteArrayList{QByteArray("\xff\x00q", 3), "\x80"};
}

void TextAddressTest::splitString()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, parts);

    QByteArrayList actual;
    for (const auto& part : split_string(str(text), ';')) {
        actual.append(QByteArray::fromStdString(part));
    }
    QCOMPARE(actual, parts);
}

void TextAddressTest::contains_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<bool>("expected");

    QTest::addRow("present in middle")
        << QByteArray("Talvonex WebServer") << QByteArray("nex W") << true;
    QTest::addRow("absent") << QByteArray("Talvonex") << QByteArray("Server") << false;
    QTest::addRow("case differs") << QByteArray("Talvonex") << QByteArray("talvonex") << false;
    QTest::addRow("needle longer than text") << QByteArray("ab") << QByteArray("abc") << false;
    QTest::addRow("whole text") << QByteArray("abc") << QByteArray("abc") << true;
}

void TextAddressTest::contains()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, needle);
    QFETCH(bool, expected);

    QCOMPARE(nimbrel::contains(str(text), str(needle)), expected);
}

void TextAddressTest::ipToInt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("expected");

    QTest::addRow("plain") << QByteArray("192.168.0.6") << quad(192, 168, 0, 6);
    QTest::addRow("octet order") << QByteArray("1.2.3.4") << quad(1, 2, 3, 4);
    QTest::addRow("all zero") << QByteArray("0.0.0.0") << 0U;
    QTest::addRow("all 255") << QByteArray("255.255.255.255") << 0xFFFFFFFFU;
    QTest::addRow("first octet 256") << QByteArray("256.1.1.1") << 0U;
    QTest::addRow("fourth octet 256") << QByteArray("1.2.3.256") << 0U;
    QTest::addRow("fourth octet 999") << QByteArray("1.2.3.999") << 0U;
    QTest::addRow("ten-digit octet") << QByteArray("4294967296.1.1.1") << 0U;
    QTest::addRow("thirty-digit fourth octet")
        << QByteArray("1.2.3.123456789012345678901234567890") << 0U;
    QTest::addRow("256 behind leading zeros") << QByteArray("1.2.00000256.4") << 0U;
    QTest::addRow("leading zeros") << QByteArray("001.002.003.004") << quad(1, 2, 3, 4);
    QTest::addRow("many leading zeros")
        << QByteArray("0000000000000255.0.0.1") << quad(255, 0, 0, 1);
    QTest::addRow("three octets") << QByteArray("1.2.3") << 0U;
    QTest::addRow("empty fourth octet") << QByteArray("1.2.3.") << quad(1, 2, 3, 0);
    QTest::addRow("empty inner octet") << QByteArray("1..3.4") << quad(1, 0, 3, 4);
    QTest::addRow("empty first octet") << QByteArray(".1.2.3") << quad(0, 1, 2, 3);
    QTest::addRow("mostly empty octets") << QByteArray("..5.") << quad(0, 0, 5, 0);
    QTest::addRow("four empty octets") << QByteArray("...") << 0U;
    QTest::addRow("leading blank") << QByteArray(" 1.2.3.4") << 0U;
    QTest::addRow("leading plus") << QByteArray("+1.2.3.4") << 0U;
    QTest::addRow("leading minus") << QByteArray("-1.2.3.4") << 0U;
    QTest::addRow("blank before dot") << QByteArray("1 .2.3.4") << 0U;
    QTest::addRow("comma separator") << QByteArray("1,2.3.4") << 0U;
    QTest::addRow("trailing letters") << QByteArray("1.2.3.4abc") << quad(1, 2, 3, 4);
    QTest::addRow("fifth octet ignored") << QByteArray("1.2.3.4.5") << quad(1, 2, 3, 4);
    QTest::addRow("trailing blank") << QByteArray("10.0.0.1 ") << quad(10, 0, 0, 1);
    QTest::addRow("empty text") << QByteArray() << 0U;
    QTest::addRow("not an address") << QByteArray("router") << 0U;
}

void TextAddressTest::ipToInt()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, expected);

    QCOMPARE(ip_to_int(str(text)), expected);
}

void TextAddressTest::intToIp_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QByteArray>("text");

    QTest::addRow("plain") << quad(192, 168, 0, 6) << QByteArray("192.168.0.6");
    QTest::addRow("octet order") << quad(1, 2, 3, 4) << QByteArray("1.2.3.4");
    QTest::addRow("zero") << 0U << QByteArray("0.0.0.0");
    QTest::addRow("all ones") << 0xFFFFFFFFU << QByteArray("255.255.255.255");
    QTest::addRow("top bit only") << 0x80000000U << QByteArray("128.0.0.0");
    QTest::addRow("no leading zeros") << quad(10, 0, 100, 7) << QByteArray("10.0.100.7");
}

void TextAddressTest::intToIp()
{
    QFETCH(quint32, value);
    QFETCH(QByteArray, text);

    QCOMPARE(QByteArray::fromStdString(int_to_ip(value)), text);
    QCOMPARE(ip_to_int(str(text)), value);
}

void TextAddressTest::ipDistance_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<qint32>("expected");

    QTest::addRow("same network, later")
        << QByteArray("192.168.0.10") << QByteArray("192.168.0.6") << 4;
    QTest::addRow("same network, earlier")
        << QByteArray("192.168.0.6") << QByteArray("192.168.0.10") << -4;
    QTest::addRow("itself") << QByteArray("192.168.0.6") << QByteArray("192.168.0.6") << 0;
    // 0xC0A80006 - 0x0A000001 = 0xB6A80005, which reads as negative.
    QTest::addRow("high first octet wraps negative")
        << QByteArray("192.168.0.6") << QByteArray("10.0.0.1") << -1230503931;
    QTest::addRow("low first octet wraps positive")
        << QByteArray("10.0.0.1") << QByteArray("192.168.0.6") << 1230503931;
    QTest::addRow("all ones minus zero")
        << QByteArray("255.255.255.255") << QByteArray("0.0.0.0") << -1;
    QTest::addRow("zero minus all ones")
        << QByteArray("0.0.0.0") << QByteArray("255.255.255.255") << 1;
    QTest::addRow("malformed reads as zero")
        << QByteArray("not.an.ip") << QByteArray("0.0.0.3") << -3;
}

void TextAddressTest::ipDistance()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(qint32, expected);

    QCOMPARE(ip_distance(str(a), str(b)), expected);
    QCOMPARE(ip_distance(ip_to_int(str(a)), ip_to_int(str(b))), expected);
}

void TextAddressTest::sameSubnet_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<bool>("expected");

    QTest::addRow("same /24") << QByteArray("192.168.0.6") << QByteArray("192.168.0.200")
                              << QByteArray("255.255.255.0") << true;
    QTest::addRow("different /24") << QByteArray("192.168.0.6") << QByteArray("192.168.1.6")
                                   << QByteArray("255.255.255.0") << false;
    QTest::addRow("same /16") << QByteArray("192.168.0.6") << QByteArray("192.168.1.6")
                              << QByteArray("255.255.0.0") << true;
    QTest::addRow("empty mask") << QByteArray("192.168.0.6") << QByteArray("192.168.1.6")
                                << QByteArray() << true;
    QTest::addRow("malformed mask")
        << QByteArray("10.0.0.1") << QByteArray("192.168.1.6") << QByteArray("255.255.255") << true;
    QTest::addRow("full mask, equal") << QByteArray("10.0.0.1") << QByteArray("10.0.0.1")
                                      << QByteArray("255.255.255.255") << true;
    QTest::addRow("full mask, differ") << QByteArray("10.0.0.1") << QByteArray("10.0.0.2")
                                       << QByteArray("255.255.255.255") << false;
    QTest::addRow("non-contiguous mask, agree")
        << QByteArray("10.1.2.3") << QByteArray("10.9.2.7") << QByteArray("255.0.255.0") << true;
    QTest::addRow("non-contiguous mask, differ")
        << QByteArray("10.1.2.3") << QByteArray("10.1.3.3") << QByteArray("255.0.255.0") << false;
    QTest::addRow("both malformed")
        << QByteArray("abc") << QByteArray("1.2.3") << QByteArray("255.255.255.255") << true;
    QTest::addRow("malformed against 0.0.0.1")
        << QByteArray("abc") << QByteArray("0.0.0.1") << QByteArray("255.255.255.255") << false;
}

void TextAddressTest::sameSubnet()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(QByteArray, mask);
    QFETCH(bool, expected);

    QCOMPARE(same_subnet(str(a), str(b), str(mask)), expected);
    QCOMPARE(same_subnet(str(b), str(a), str(mask)), expected);
}

QTEST_APPLESS_MAIN(TextAddressTest)
#include "tst_text_address.moc"
