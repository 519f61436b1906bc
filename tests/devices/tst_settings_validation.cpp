#include "devices/settings_validation.h"
#include "record_text.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringList>
#include <QTest>

using namespace nimbrel;
using nimbrel::test::fieldsOf;

namespace {

constexpr std::array<const char*, 18> kFieldNames = {
    "ip",     "model",  "identifier", "firmware", "build",    "user",
    "w_ap",   "w_ssid", "w_enc",      "w_pass",   "w_dhcp",   "w_ip",
    "w_mask", "w_gw",   "eth_dhcp",   "eth_ip",   "eth_mask", "eth_gw"};

// Settings that pass every rule: client mode, static addresses in two different networks.
WebServer acceptedRecord(const char* model)
{
    WebServer r;
    r.ip = "192.168.1.20";
    r.model = model;
    r.w_ap = "no";
    r.w_ssid = "MyNet";
    r.w_enc = "wpa";
    r.w_pass = "password";
    r.w_dhcp = "no";
    r.w_ip = "192.168.0.10";
    r.w_mask = "255.255.255.0";
    r.w_gw = "192.168.0.1";
    r.eth_dhcp = "no";
    r.eth_ip = "10.0.0.2";
    r.eth_mask = "255.0.0.0";
    r.eth_gw = "10.0.0.1";
    return r;
}

// Applies "name=value" changes to a record.
WebServer withChanges(WebServer record, const QByteArrayList& changes)
{
    for (const QByteArray& change : changes) {
        const qsizetype equals = change.indexOf('=');
        const QByteArray name = change.left(equals);
        std::size_t k = 0;
        while (k < kFieldNames.size() && name != kFieldNames[k])
            ++k;
        if (equals < 0 || k == kFieldNames.size())
            qFatal("bad change %s", change.constData());
        record.*kWebServerFields[k] = change.mid(equals + 1).toStdString();
    }
    return record;
}

QByteArray wepRow(int length)
{
    return "wep password of " + QByteArray::number(length);
}

const QByteArray kWep = "WEP password must contain 5, 10, 13, 26 characters";
const QByteArray kWpa = "WPA admin password must contain at least 8 characters";
const QByteArray kApDhcp =
    "If the Wifi is configured as an Access Point, Ethernet can't be configured with DHCP";
const QByteArray kSameSubnet = "Wifi and Ethernet can't be in the same subnet";
const QByteArray kSsid = "SSID must contain at least 1 characer";

} // namespace

class SettingsValidationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendInputs_data();
    void sendInputs();
    void validate_data();
    void validate();

private:
    void addPasswordRows();
    void addQuorixRows();
    void addAddressRows();
    void addOtherModelRows();
};

// Columns: the model's accepted settings with some fields changed, the two mask edits of the
// panel, and the expected message (empty: accepted).
void SettingsValidationTest::validate_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QByteArrayList>("changes");
    QTest::addColumn<QByteArray>("wifiMask");
    QTest::addColumn<QByteArray>("ethernetMask");
    QTest::addColumn<QByteArray>("message");

    QTest::addRow("QUORIX accepted")
        << QByteArray("QUORIX") << QByteArrayList{} << QByteArray("255.255.255.0")
        << QByteArray("255.0.0.0") << QByteArray();
    QTest::addRow("other model accepted")
        << QByteArray("TALVO-W1") << QByteArrayList{} << QByteArray("255.255.255.0")
        << QByteArray("255.0.0.0") << QByteArray();
    addPasswordRows();
    addQuorixRows();
    addAddressRows();
    addOtherModelRows();
}

void SettingsValidationTest::addPasswordRows()
{
    const QByteArray m24 = "255.255.255.0";
    const QByteArray m8 = "255.0.0.0";
    for (int length : {5, 10, 13, 26})
        QTest::addRow("%s passes", wepRow(length).constData())
            << QByteArray("QUORIX")
            << QByteArrayList{"w_enc=wep", "w_pass=" + QByteArray(length, 'k')} << m24 << m8
            << QByteArray();
    for (int length : {0, 4, 6, 12, 27})
        QTest::addRow("%s fails", wepRow(length).constData())
            << QByteArray("QUORIX")
            << QByteArrayList{"w_enc=wep", "w_pass=" + QByteArray(length, 'k')} << m24 << m8
            << kWep;
    QTest::addRow("wep128 takes the WEP rule")
        << QByteArray("QUORIX") << QByteArrayList{"w_enc=wep128", "w_pass=12345678"} << m24 << m8
        << kWep;
    QTest::addRow("WEP rule on other model")
        << QByteArray("TALVO-W1") << QByteArrayList{"w_enc=wep", "w_pass=abc"} << m24 << m8 << kWep;
    QTest::addRow("wpa password of 7 fails")
        << QByteArray("QUORIX") << QByteArrayList{"w_pass=1234567"} << m24 << m8 << kWpa;
    QTest::addRow("wpa password of 8 passes")
        << QByteArray("QUORIX") << QByteArrayList{"w_pass=12345678"} << m24 << m8 << QByteArray();
    QTest::addRow("wpa2 takes the WPA rule")
        << QByteArray("QUORIX") << QByteArrayList{"w_enc=wpa2", "w_pass=short"} << m24 << m8
        << kWpa;
    // A text naming both words meets both rules: a WEP key that passes is still held to WPA's.
    QTest::addRow("wep/wpa with a 5-character key fails the WPA rule")
        << QByteArray("QUORIX") << QByteArrayList{"w_enc=wep/wpa", "w_pass=12345"} << m24 << m8
        << kWpa;
    QTest::addRow("wep/wpa with a 13-character key passes")
        << QByteArray("QUORIX") << QByteArrayList{"w_enc=wep/wpa", "w_pass=1234567890123"} << m24
        << m8 << QByteArray();
    QTest::addRow("wep/wpa with a 7-character key fails the WEP rule first")
        << QByteArray("QUORIX") << QByteArrayList{"w_enc=wpa+wep", "w_pass=1234567"} << m24 << m8
        << kWep;
    QTest::addRow("open with empty password")
        << QByteArray("QUORIX") << QByteArrayList{"w_enc=open", "w_pass="} << m24 << m8
        << QByteArray();
    QTest::addRow("WEP fault before AP+DHCP rule")
        << QByteArray("QUORIX")
        << QByteArrayList{"w_enc=wep", "w_pass=abc", "w_ap=yes", "eth_dhcp=yes",
                          "eth_ip=",   "eth_mask=",  "eth_gw="}
        << m24 << m8 << kWep;
    QTest::addRow("WPA fault before SSID rule")
        << QByteArray("TALVO-W1") << QByteArrayList{"w_ssid=", "w_pass=1234567"} << m24 << m8
        << kWpa;
}

void SettingsValidationTest::addQuorixRows()
{
    const QByteArray m24 = "255.255.255.0";
    const QByteArray m16 = "255.255.0.0";
    const QByteArrayList noEthernet = {"eth_ip=", "eth_mask=", "eth_gw="};
    const QByteArrayList apMode = {"w_ap=yes", "w_ip=192.168.0.1", "w_mask=255.255.255.0",
                                   "w_gw=192.168.0.1"};

    QTest::addRow("AP with Ethernet DHCP, no Ethernet address")
        << QByteArray("QUORIX") << QByteArrayList{"w_ap=yes", "eth_dhcp=yes"} + noEthernet << m24
        << m24 << kApDhcp;
    QTest::addRow("AP with Ethernet DHCP and addresses")
        << QByteArray("QUORIX") << QByteArrayList{"w_ap=yes", "eth_dhcp=yes"} << m24 << m24
        << kApDhcp;
    QTest::addRow("'Yes' is not AP mode")
        << QByteArray("QUORIX") << QByteArrayList{"w_ap=Yes", "eth_dhcp=yes"} + noEthernet << m24
        << m24 << QByteArray();
    QTest::addRow("no Ethernet address, any masks")
        << QByteArray("QUORIX") << noEthernet << QByteArray() << QByteArray() << QByteArray();
    QTest::addRow("no Ethernet address, equal masks")
        << QByteArray("QUORIX") << QByteArrayList{"eth_ip=", "eth_mask=", "eth_gw="} << m16 << m16
        << QByteArray();

    const QByteArrayList bothDhcp = {"w_dhcp=yes", "eth_dhcp=yes"};
    QTest::addRow("both DHCP, /24 masks")
        << QByteArray("QUORIX") << bothDhcp << m24 << m24 << QByteArray();
    QTest::addRow("both DHCP, Wifi mask /16")
        << QByteArray("QUORIX") << bothDhcp << m16 << m24 << kSameSubnet;
    QTest::addRow("both DHCP, Ethernet mask /16")
        << QByteArray("QUORIX") << bothDhcp << m24 << m16 << kSameSubnet;
    // The stand-in addresses are used whatever the record holds.
    QTest::addRow("both DHCP, record addresses in one subnet")
        << QByteArray("QUORIX") << bothDhcp + QByteArrayList{"w_ip=10.0.0.9", "eth_ip=10.0.0.2"}
        << m24 << m24 << QByteArray();

    const QByteArrayList ethSame = {"eth_ip=192.168.0.20", "eth_mask=255.255.255.0",
                                    "eth_gw=192.168.0.1"};
    const QByteArrayList ethOther = {"eth_ip=192.168.2.20", "eth_mask=255.255.255.0",
                                     "eth_gw=192.168.2.1"};
    QTest::addRow("AP, Ethernet in the AP subnet")
        << QByteArray("QUORIX") << apMode + ethSame << m24 << m24 << kSameSubnet;
    QTest::addRow("AP, Ethernet in another subnet")
        << QByteArray("QUORIX") << apMode + ethOther << m24 << m24 << QByteArray();
    QTest::addRow("AP with 'Change subnet' on, Ethernet elsewhere")
        << QByteArray("QUORIX") << apMode + ethOther + QByteArrayList{"w_dhcp=yes"} << m24 << m24
        << QByteArray();
    QTest::addRow("client, static addresses in one subnet")
        << QByteArray("QUORIX") << ethSame << m24 << m24 << kSameSubnet;
    QTest::addRow("empty Ethernet mask edit")
        << QByteArray("QUORIX") << apMode + ethOther << m24 << QByteArray() << kSameSubnet;
    QTest::addRow("empty Wifi mask edit")
        << QByteArray("QUORIX") << QByteArrayList{} << QByteArray() << m24 << kSameSubnet;
    QTest::addRow("QUORIX needs no SSID")
        << QByteArray("QUORIX") << QByteArrayList{"w_ssid="} << m24 << m24 << QByteArray();
}

void SettingsValidationTest::addAddressRows()
{
    const QByteArray m24 = "255.255.255.0";
    const QByteArray m8 = "255.0.0.0";
    struct Row {
        const char* name;
        QByteArray model;
        QByteArrayList changes;
        QByteArray message;
    };
    const Row rows[] = {
        {"Ethernet IP", "QUORIX", {"eth_ip=10.0.0.256"}, "Invalid IP address (Ethernet)"},
        {"Ethernet IP 0.0.0.0", "QUORIX", {"eth_ip=0.0.0.0"}, "Invalid IP address (Ethernet)"},
        {"Ethernet IP empty", "QUORIX", {"eth_ip="}, "Invalid IP address (Ethernet)"},
        {"Ethernet mask", "QUORIX", {"eth_mask=255.0.255.0"}, "Invalid Netmask (Ethernet)"},
        {"Ethernet gateway", "QUORIX", {"eth_gw=10.0.0"}, "Invalid Gateway address (Ethernet)"},
        {"Ethernet IP before mask and gateway",
         "QUORIX",
         {"eth_ip=x", "eth_mask=x", "eth_gw=x"},
         "Invalid IP address (Ethernet)"},
        {"Ethernet mask before gateway",
         "QUORIX",
         {"eth_mask=x", "eth_gw=x"},
         "Invalid Netmask (Ethernet)"},
        {"Ethernet before Wifi",
         "QUORIX",
         {"eth_gw=x", "w_ip=x"},
         "Invalid Gateway address (Ethernet)"},
        {"Ethernet on DHCP not checked", "QUORIX", {"eth_dhcp=yes", "eth_mask=x"}, ""},
        {"Ethernet checked only when DHCP is 'no'", "QUORIX", {"eth_dhcp=", "eth_gw=x"}, ""},
        {"Wifi IP", "QUORIX", {"w_ip=192.168.0"}, "Invalid IP address (Wifi)"},
        {"Wifi IP broadcast", "QUORIX", {"w_ip=255.255.255.255"}, "Invalid IP address (Wifi)"},
        {"Wifi mask", "QUORIX", {"w_mask=255.255.255.1"}, "Invalid Netmask (Wifi)"},
        {"Wifi gateway", "QUORIX", {"w_gw=192.168.0.1 "}, "Invalid Gateway address (Wifi)"},
        {"Wifi mask before gateway", "QUORIX", {"w_mask=", "w_gw="}, "Invalid Netmask (Wifi)"},
        {"Wifi on DHCP not checked", "QUORIX", {"w_dhcp=yes", "w_ip=x"}, ""},
        {"Wifi checked only when DHCP is 'no'", "QUORIX", {"w_dhcp=NO", "w_ip=x"}, ""},
        {"Wifi in AP mode not checked", "QUORIX", {"w_ap=yes", "w_ip=192.168.0.1", "w_gw=x"}, ""},
        {"Wifi check before subnet rule",
         "QUORIX",
         {"eth_ip=192.168.0.20", "eth_mask=255.255.255.0", "eth_gw=192.168.0.1", "w_mask=0.0.0.0"},
         "Invalid Netmask (Wifi)"},
        {"other model IP", "TALVO-W1", {"w_ip=192.168.00.10"}, "Invalid IP address"},
        {"other model mask", "TALVO-W1", {"w_mask=0.0.0.0"}, "Invalid Netmask"},
        {"other model gateway", "TALVO-W1", {"w_gw="}, "Invalid Gateway address"},
        {"other model, 'YES' is not DHCP",
         "TALVO-W1",
         {"w_dhcp=YES", "w_ip=x"},
         "Invalid IP address"},
        {"other model, empty DHCP word",
         "TALVO-W1",
         {"w_dhcp=", "w_gw=x"},
         "Invalid Gateway address"},
    };
    for (const Row& row : rows)
        QTest::addRow("%s", row.name) << row.model << row.changes << m24 << m8 << row.message;
}

void SettingsValidationTest::addOtherModelRows()
{
    const QByteArray m24 = "255.255.255.0";
    QTest::addRow("empty SSID") << QByteArray("TALVO-W1") << QByteArrayList{"w_ssid="} << m24 << m24
                                << kSsid;
    QTest::addRow("model 'quorix' in lower case is another model")
        << QByteArray("quorix") << QByteArrayList{"w_ssid="} << m24 << m24 << kSsid;
    QTest::addRow("SSID before address checks")
        << QByteArray("TALVO-W1") << QByteArrayList{"w_ssid=", "w_ip=x"} << m24 << m24 << kSsid;
    QTest::addRow("DHCP accepts any addresses")
        << QByteArray("TALVO-W1") << QByteArrayList{"w_dhcp=yes", "w_ip=x", "w_mask=", "w_gw=y"}
        << m24 << m24 << QByteArray();
    QTest::addRow("Ethernet and subnets ignored")
        << QByteArray("TALVO-W1")
        << QByteArrayList{"w_ap=yes", "eth_dhcp=yes", "eth_ip=192.168.0.20", "eth_mask=x"}
        << QByteArray() << QByteArray() << QByteArray();
}

void SettingsValidationTest::validate()
{
    QFETCH(QByteArray, model);
    QFETCH(QByteArrayList, changes);
    QFETCH(QByteArray, wifiMask);
    QFETCH(QByteArray, ethernetMask);
    QFETCH(QByteArray, message);

    const WebServer record = withChanges(acceptedRecord(model.constData()), changes);
    const WebServer copy = record;

    const std::optional<std::string> result =
        validate_settings(record, wifiMask.toStdString(), ethernetMask.toStdString());

    QCOMPARE(QByteArray::fromStdString(result.value_or("")), message);
    QCOMPARE(result.has_value(), !message.isEmpty());
    QCOMPARE(fieldsOf(record), fieldsOf(copy));
}

void SettingsValidationTest::sendInputs_data()
{
    QTest::addColumn<QString>("adminPassword");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("expected"); // empty: accepted

    const QString tooLong = "The password must contain at most 4 characters";
    const QString passwordChars = "The password must contain only printable ASCII characters";
    const QString settingChars = "Network settings must contain only printable ASCII characters";
    const QStringList plain = {"Office", "secret123", "10.0.0.2", "255.0.0.0", "", "", "", ""};
    QTest::addRow("4 characters") << "1234" << plain << "";
    QTest::addRow("empty password") << "" << plain << "";
    QTest::addRow("5 characters") << "12345" << plain << tooLong;
    QTest::addRow("5 characters with a bad one: length first") << "p\tass" << plain << tooLong;
    QTest::addRow("4 characters, one not ASCII (5 bytes)")
        << QString::fromUtf8("päss") << plain << passwordChars;
    QTest::addRow("space and tilde") << " ~ab" << plain << "";
    QTest::addRow("tab in password") << "a\tb" << plain << passwordChars;
    QTest::addRow("DEL in password") << QString(QChar(0x7F)) << plain << passwordChars;
    QTest::addRow("password checked before settings")
        << "a\tb" << QStringList{QString::fromUtf8("Café")} << passwordChars;
    QTest::addRow("accent in SSID")
        << "1234" << QStringList{QString::fromUtf8("Café")} << settingChars;
    QTest::addRow("euro sign in the last setting")
        << "1234" << QStringList{"a", "b", "c", "d", "e", "f", "g", QString::fromUtf8("5€")}
        << settingChars;
    QTest::addRow("line feed in a setting") << "1234" << QStringList{"secret\n123"} << settingChars;
}

void SettingsValidationTest::sendInputs()
{
    QFETCH(QString, adminPassword);
    QFETCH(QStringList, settings);
    QFETCH(QString, expected);
    std::vector<std::string> texts;
    for (const QString& setting : settings)
        texts.push_back(setting.toStdString());
    const std::optional<std::string> fault = send_input_fault(adminPassword.toStdString(), texts);
    QCOMPARE(QString::fromStdString(fault.value_or("")), expected);
}

QTEST_APPLESS_MAIN(SettingsValidationTest)
#include "tst_settings_validation.moc"
