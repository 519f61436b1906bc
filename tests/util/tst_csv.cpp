// CSV quoting and the Latin-1 to UTF-8 step, by tables of fields as a spreadsheet must read them.

#include "util/csv.h"

#include <QByteArray>
#include <QTest>

using namespace nimbrel;

class CsvTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void csvField_data();
    void csvField();
    void csvLine_joinsWithCommasAndEndsWithCrLf();
    void latin1ToUtf8_data();
    void latin1ToUtf8();
};

void CsvTest::csvField_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("written");
    QTest::addRow("plain text stays bare") << QByteArray("QUORIX") << QByteArray("QUORIX");
    QTest::addRow("empty stays empty") << QByteArray("") << QByteArray("");
    QTest::addRow("blank inside stays bare") << QByteArray("Main hall") << QByteArray("Main hall");
    QTest::addRow("comma is quoted") << QByteArray("a,b") << QByteArray("\"a,b\"");
    QTest::addRow("semicolon is quoted") << QByteArray("a;b") << QByteArray("\"a;b\"");
    QTest::addRow("quote is doubled inside quotes")
        << QByteArray("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
    QTest::addRow("lone quote") << QByteArray("\"") << QByteArray("\"\"\"\"");
    QTest::addRow("line feed is quoted") << QByteArray("one\ntwo") << QByteArray("\"one\ntwo\"");
    QTest::addRow("carriage return is quoted")
        << QByteArray("one\r\ntwo") << QByteArray("\"one\r\ntwo\"");
    QTest::addRow("bytes above 127 stay bare")
        << QByteArray("Caf\xC3\xA9") << QByteArray("Caf\xC3\xA9");
}

void CsvTest::csvField()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, written);
    QCOMPARE(QByteArray::fromStdString(csv_field(field.toStdString())), written);
}

void CsvTest::csvLine_joinsWithCommasAndEndsWithCrLf()
{
    QCOMPARE(QByteArray::fromStdString(csv_line({"a", "b,c", "", "d"})),
             QByteArray("a,\"b,c\",,d\r\n"));
    QCOMPARE(QByteArray::fromStdString(csv_line({})), QByteArray("\r\n"));
}

void CsvTest::latin1ToUtf8_data()
{
    QTest::addColumn<QByteArray>("latin1");
    QTest::addColumn<QByteArray>("utf8");
    QTest::addRow("ASCII unchanged") << QByteArray("Office 12;") << QByteArray("Office 12;");
    QTest::addRow("e acute (E9)") << QByteArray("Caf\xE9") << QByteArray("Caf\xC3\xA9");
    QTest::addRow("n tilde (F1)") << QByteArray("Espa\xF1"
                                                "a")
                                  << QByteArray("Espa\xC3\xB1"
                                                "a");
    QTest::addRow("lowest above ASCII (80)") << QByteArray("\x80") << QByteArray("\xC2\x80");
    QTest::addRow("highest (FF)") << QByteArray("\xFF") << QByteArray("\xC3\xBF");
    QTest::addRow("degree sign (B0)") << QByteArray("20\xB0") << QByteArray("20\xC2\xB0");
}

void CsvTest::latin1ToUtf8()
{
    QFETCH(QByteArray, latin1);
    QFETCH(QByteArray, utf8);
    const QByteArray converted = QByteArray::fromStdString(latin1_to_utf8(latin1.toStdString()));
    QCOMPARE(converted, utf8);
    // Qt's own decoder reads the same characters back.
    QCOMPARE(QString::fromUtf8(converted), QString::fromLatin1(latin1));
}

QTEST_APPLESS_MAIN(CsvTest)
#include "tst_csv.moc"
