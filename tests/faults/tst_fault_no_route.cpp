// Searches, settings requests and writes with no way out: the tool namespace's link to the LAN is
// taken down, which also removes its routes, the default one included. Runs inside the tool
// namespace of the virtual LAN; the host's network is never touched.

#include "app/device_list_model.h"
#include "app/switch_widget.h"
#include "dialog_recorder.h"
#include "fault_window.h"
#include "lan_namespace.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

constexpr int kLan = 1;
const std::string kDevice = "10.101.0.30";
const ShownDialog kUnreachable{QStringLiteral("Network is unreachable."), DialogKind::Error};

enum class Trigger { SearchButton, PeriodicSearch, SettingsRequest, Send };

bool ip(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments) == 0;
}

QString toolInterface()
{
    return QString::fromStdString(vlanVariable("NIMBREL_LAN1_IFACE_TOOL"));
}

// The link and the routes scripts/vlan gave the tool namespace.
bool linkUp()
{
    return ip({"link", "set", toolInterface(), "up"}) &&
           ip({"route", "replace", "default", "dev", toolInterface()});
}

bool linkDown()
{
    return ip({"link", "set", toolInterface(), "down"});
}

// Everything a failed send must leave as it was.
struct Snapshot {
    QStringList records;
    QStringList panel;
    std::string writeTarget;
    int selected = -1;
};

Snapshot snapshot(const FaultWindow& w)
{
    Snapshot s;
    for (int i = 0; i < w.servers.count(); ++i)
        for (auto field : kWebServerFields)
            s.records << QString::fromStdString(w.servers.at(i).*field);
    const TForm1& f = w.form;
    for (const QLineEdit* edit :
         {child<QLineEdit>(f, "e_w_ssid"), child<QLineEdit>(f, "e_w_pass"),
          child<QLineEdit>(f, "e_w_ip"), child<QLineEdit>(f, "e_w_mask"),
          child<QLineEdit>(f, "e_w_gw"), child<QLineEdit>(f, "e_eth_ip"),
          child<QLineEdit>(f, "e_eth_mask"), child<QLineEdit>(f, "e_eth_gw"),
          child<QLineEdit>(f, "edit_admin_pass")})
        s.panel << edit->text();
    for (const QAbstractButton* on :
         {static_cast<const QAbstractButton*>(child<Switch>(f, "s_w_ap")),
          static_cast<const QAbstractButton*>(child<Switch>(f, "s_w_dhcp")),
          static_cast<const QAbstractButton*>(child<Switch>(f, "s_eth_dhcp"))})
        s.panel << QString::number(on->isChecked());
    s.panel << QString::number(child<QComboBox>(f, "cb_w_enc")->currentIndex())
            << QString::number(child<QTabWidget>(f, "TabControl1")->currentIndex())
            << f.listModel()->index(0).data().toString();
    s.writeTarget = f.writeTarget();
    s.selected = f.selectedIndex();
    return s;
}

} // namespace

class FaultNoRouteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(insideToolNamespace(), "run me through ctest (scripts/vlan)"); }
    void init() { QVERIFY(linkUp()); }
    void cleanup() { linkUp(); }

    void unreachable_errorBoxEachTimeNothingElseChanges_data();
    void unreachable_errorBoxEachTimeNothingElseChanges();
};

void FaultNoRouteTest::unreachable_errorBoxEachTimeNothingElseChanges_data()
{
    QTest::addColumn<Trigger>("trigger");

    QTest::addRow("Inmediate search") << Trigger::SearchButton;
    QTest::addRow("search every 10 seconds") << Trigger::PeriodicSearch;
    QTest::addRow("settings request of the panel") << Trigger::SettingsRequest;
    QTest::addRow("Send") << Trigger::Send;
}

// Each attempt shows the platform's error in an error box and the program goes on: a second
// attempt shows it again, nothing else changes, and once the link is back the next search leaves.
void FaultNoRouteTest::unreachable_errorBoxEachTimeNothingElseChanges()
{
    QFETCH(Trigger, trigger);
    const PlatformNotesFilter quiet;
    const bool periodic = trigger == Trigger::PeriodicSearch;
    FaultWindow w(periodic ? 150 : 600000);
    LanListener lan(kLan);

    // A device found and written to while the link was up: the write target is set.
    const LanSender device(kLan);
    QVERIFY(device.send("im_QUORIX;QUORIX;TVX-30;2.4.1;1187;admin;no;Office;wpa;secret123;yes;;;;"
                        "yes;;;;",
                        kDevice));
    QTRY_VERIFY(w.lists(kDevice));
    w.clickRow(0);
    QTest::keyClicks(child<QLineEdit>(w.form, "e_w_ssid"), QStringLiteral("-2"));
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QCOMPARE(w.form.writeTarget(), kDevice);
    QVERIFY(dialogs.shown.isEmpty());

    QVERIFY(linkDown());
    const Snapshot before = snapshot(w);
    switch (trigger) {
    case Trigger::SearchButton:
        QTest::mouseClick(child<QPushButton>(w.form, "button_refresh"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(w.form, "button_refresh"), Qt::LeftButton);
        break;
    case Trigger::PeriodicSearch:
        QTRY_VERIFY(dialogs.shown.size() >= 2);
        QTest::mouseClick(child<Switch>(w.form, "Switch1"),
                          Qt::LeftButton); // off: no more searches
        QVERIFY(!child<QTimer>(w.form, "timer_refresh")->isActive());
        break;
    case Trigger::SettingsRequest:
        QTest::mouseClick(child<QToolButton>(w.form, "bt_net_refresh"), Qt::LeftButton);
        QTest::mouseClick(child<QToolButton>(w.form, "bt_net_refresh"), Qt::LeftButton);
        break;
    case Trigger::Send:
        QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
        break;
    }
    QVERIFY(dialogs.shown.size() >= 2);
    QCOMPARE(dialogs.shown, QList<ShownDialog>(dialogs.shown.size(), kUnreachable));
    if (!periodic)
        QCOMPARE(dialogs.shown.size(), 2);
    const Snapshot after = snapshot(w);
    QCOMPARE(after.records, before.records);
    QCOMPARE(after.panel, before.panel);
    QCOMPARE(after.writeTarget, before.writeTarget);
    QCOMPARE(after.selected, before.selected);

    // The link back: the next search leaves, with no box.
    const auto boxes = dialogs.shown.size();
    QVERIFY(linkUp());
    while (lan.receive(50)) {
    }
    QTest::mouseClick(child<QPushButton>(w.form, "button_refresh"), Qt::LeftButton);
    const auto search = lan.receive(3000);
    QVERIFY(search.has_value());
    QCOMPARE(search->bytes, std::string("find_QUORIX"));
    QCOMPARE(dialogs.shown.size(), boxes);
}

QTEST_MAIN(FaultNoRouteTest)
#include "tst_fault_no_route.moc"
#include "window_widgets.h"
