// Values of 8,000 bytes in an announcement or a settings reply, sent from a LAN of the virtual
// LAN to the real window in the tool namespace: stored exactly and shown without harm.

#include "app/device_list_model.h"
#include "app/info_popover.h"
#include "fault_window.h"
#include "lan_namespace.h"

#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <array>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

constexpr int kLan = 1;
constexpr std::size_t kBigSize = 8000;
const std::string kDevice = "10.101.0.7";

enum class Source { Announcement, SettingsReply };

// Fields 1 to 17 of the device as it first announces itself; field 0 is its address.
const std::array<std::string, 18> kFields = {
    kDevice, "QUORIX", "TVX-7", "2.4.1",        "1187",          "admin",
    "no",    "Office", "wpa",   "secret123",    "yes",           "",
    "",      "",       "no",    "192.168.7.30", "255.255.255.0", "192.168.7.1"};

// 8,000 bytes of every printable ASCII character but ';' and every Latin-1 letter, in turn.
std::string bigValue(const std::string& head)
{
    std::string value = head;
    for (int c = 0x20; value.size() < kBigSize; c = c == 0xff ? 0x20 : c + 1)
        if (c != ';' && (c < 0x7f || c >= 0xa0))
            value += static_cast<char>(c);
    return value;
}

std::string announcement(const std::array<std::string, 18>& fields)
{
    std::string text = "im_QUORIX;";
    for (std::size_t k = 1; k < fields.size(); ++k)
        text += fields[k] + ';';
    return text;
}

std::string settingsReply(const std::array<std::string, 18>& fields)
{
    std::string text = "network_response;";
    for (std::size_t k = 6; k < fields.size(); ++k)
        text += fields[k] + ';';
    return text;
}

QString latin1(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

class FaultBigValuesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(insideToolNamespace(), "run me through ctest (scripts/vlan)"); }
    void bigValue_storedExactlyAndShown_data();
    void bigValue_storedExactlyAndShown();
};

void FaultBigValuesTest::bigValue_storedExactlyAndShown_data()
{
    QTest::addColumn<Source>("source");
    QTest::addColumn<int>("field");
    // "caption", "pop-over" or the objectName of the panel's edit that shows the value.
    QTest::addColumn<QStringList>("shownIn");

    const auto a = Source::Announcement;
    const auto r = Source::SettingsReply;
    QTest::addRow("announcement: model") << a << 1 << QStringList{"caption", "pop-over"};
    QTest::addRow("announcement: identifier") << a << 2 << QStringList{"pop-over"};
    QTest::addRow("announcement: firmware") << a << 3 << QStringList{"pop-over"};
    QTest::addRow("announcement: build") << a << 4 << QStringList{"pop-over"};
    QTest::addRow("announcement: user") << a << 5 << QStringList{"pop-over"};
    QTest::addRow("announcement: Wi-Fi name") << a << 7 << QStringList{"e_w_ssid"};
    QTest::addRow("announcement: Wi-Fi password") << a << 9 << QStringList{"e_w_pass"};
    QTest::addRow("announcement: Ethernet gateway") << a << 17 << QStringList{"e_eth_gw"};
    QTest::addRow("settings reply: Wi-Fi name") << r << 7 << QStringList{"e_w_ssid"};
    QTest::addRow("settings reply: Wi-Fi gateway") << r << 13 << QStringList{"e_w_gw"};
    QTest::addRow("settings reply: Ethernet address") << r << 15 << QStringList{"e_eth_ip"};
}

void FaultBigValuesTest::bigValue_storedExactlyAndShown()
{
    QFETCH(Source, source);
    QFETCH(int, field);
    QFETCH(QStringList, shownIn);
    const PlatformNotesFilter quiet;
    FaultWindow w(600000);
    const LanSender device(kLan);

    std::array<std::string, 18> expected = kFields;
    // The model keeps its "QUORIX", so the Ethernet page stays in use.
    const std::string big = bigValue(field == 1 ? "QUORIX" : "");
    QCOMPARE(big.size(), kBigSize);
    std::array<std::string, 18> sent = kFields;
    if (source == Source::Announcement)
        sent[static_cast<std::size_t>(field)] = big;
    QVERIFY(device.send(announcement(sent), kDevice));
    QTRY_VERIFY(w.lists(kDevice));
    w.clickRow(0);
    if (source == Source::SettingsReply) {
        sent[static_cast<std::size_t>(field)] = big;
        QVERIFY(device.send(settingsReply(sent), kDevice));
        QTRY_COMPARE(w.servers.at(0).*kWebServerFields[static_cast<std::size_t>(field)], big);
    }
    expected[static_cast<std::size_t>(field)] = big;

    w.openPopover(0);
    QTRY_VERIFY(child<InfoPopover>(w.form, "MultiView1")->isVisible());
    // Painted once, with the value in it.
    QVERIFY(!w.form.grab().isNull());
    QVERIFY(!child<InfoPopover>(w.form, "MultiView1")->grab().isNull());

    for (std::size_t k = 0; k < expected.size(); ++k)
        QCOMPARE(w.servers.at(0).*kWebServerFields[k], expected[k]);
    for (const QString& where : shownIn) {
        if (where == "caption") {
            QCOMPARE(w.captions(), QStringList{latin1(kDevice + " (" + big + ")")});
        } else if (where == "pop-over") {
            const QAbstractItemModel* grid = child<QTableView>(w.form, "grid_info")->model();
            QCOMPARE(grid->index(field - 1, 1).data().toString(), latin1(big));
        } else {
            const auto* edit = w.form.findChild<QLineEdit*>(where);
            QVERIFY(edit != nullptr);
            QCOMPARE(edit->text(), latin1(big));
        }
    }
    child<InfoPopover>(w.form, "MultiView1")->close();
}

QTEST_MAIN(FaultBigValuesTest)
#include "tst_fault_big_values.moc"
