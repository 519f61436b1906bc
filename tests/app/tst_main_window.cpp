// The main window as a user meets it: its layout, the periodic search and its switch, the
// expert unlock, the error boxes and the single-copy rule.

#include "app/device_list_view.h"
#include "app/guarded.h"
#include "app/info_popover.h"
#include "app/switch_widget.h"
#include "dialog_recorder.h"
#include "form_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace nimbrel;
using namespace nimbrel::testing;

class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layout_namesTextsAndInitialStates();
    void layout_keyPlacesAndSizes_data();
    void layout_keyPlacesAndSizes();
    void layout_titleBandIsDarkBlue();
    void resize_onlyTheListGrows();
    void tabOrder_followsTheLayout();
    void switch_clickEventOnlyFromTheUser();
    void edits_changeEventOnlyOnRealChange();
    void timer_firstSearchAfterOneInterval();
    void switch1_offStopsSearchesButButtonStillSearches();
    void unlock_data();
    void unlock();
    void errorBox_fullStopRule_data();
    void errorBox_fullStopRule();
    void errorBox_sendFailureIsShownAndProgramGoesOn();
    void messageDialog_realBoxHasCaptionIconAndOneOkButton();
    void messageDialog_realQuestionAnswersTheButtonPressed_data();
    void messageDialog_realQuestionAnswersTheButtonPressed();
    void bindConflict_secondCopyFailsFirstUndisturbed();
    void bindConflict_oneBoxForAsLongAsItIsOpenAndNothingSent();
    void cleanup();
};

void MainWindowTest::cleanup()
{
    QVERIFY2(QApplication::topLevelWidgets().isEmpty() ||
                 std::none_of(QApplication::topLevelWidgets().cbegin(),
                              QApplication::topLevelWidgets().cend(),
                              [](QWidget* w) { return w->isVisible(); }),
             "a test left a window open");
}

void MainWindowTest::layout_namesTextsAndInitialStates()
{
    FormFixture f;
    TForm1& w = *f.form;
    QCOMPARE(w.windowTitle(), QStringLiteral("Talvonex Nimbrel (v2.1)"));
    QCOMPARE(w.size(), QSize(989, 607));

    const QList<QPair<const char*, QString>> texts = {
        {"label_top", QStringLiteral("Web Server Network Search")},
        {"Label1", QStringLiteral("Refresh every 10 seconds")},
        {"l_w_ap", QStringLiteral("Enable AP")},
        {"l_w_ssid", QStringLiteral("SSID:")},
        {"l_w_enc", QStringLiteral("Encription:")},
        {"l_w_pass", QStringLiteral("Password:")},
        {"l_w_dhcp", QStringLiteral("Enable DHCP")},
        {"l_w_ip", QStringLiteral("IP Address:")},
        {"l_w_mask", QStringLiteral("Subnet mask:")},
        {"l_w_gw", QStringLiteral("Gateway:")},
        {"l_eth_dhcp", QStringLiteral("Enable DHCP")},
        {"l_eth_ip", QStringLiteral("IP Address:")},
        {"l_eth_mask", QStringLiteral("Subnet mask:")},
        {"l_eth_gw", QStringLiteral("Gateway:")},
        {"Label2", QStringLiteral("Note: Enter the admin password of the device before you save "
                                  "the network parameters.")},
    };
    for (const auto& [name, text] : texts) {
        auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
        QVERIFY2(label, name);
        QCOMPARE(label->text(), text);
    }
    QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("button_refresh"))->text(),
             QStringLiteral("Inmediate search"));
    QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("b_save"))->text(), QStringLiteral("Send"));
    QCOMPARE(child<QToolButton>(w, "bt_net_refresh")->toolTip(),
             QStringLiteral("Retrieve network information"));
    QCOMPARE(child<QLabel>(w, "l_w_ap")->toolTip(),
             QStringLiteral("Set the device as an Access Point"));
    QCOMPARE(child<QAction>(w, "MenuItem1")->text(), QStringLiteral("Clear list"));

    QCOMPARE(child<QTabWidget>(w, "TabControl1")->currentWidget(), child<QWidget>(w, "TabWifi"));
    QCOMPARE(child<QTabWidget>(w, "TabControl1")->tabText(0), QStringLiteral("Wifi"));
    QCOMPARE(child<QTabWidget>(w, "TabControl1")->tabText(1), QStringLiteral("Ethernet"));
    QVERIFY(child<QTabWidget>(w, "TabControl1")->isTabEnabled(1));
    for (Switch* s : {child<Switch>(w, "Switch1"), child<Switch>(w, "s_w_ap"),
                      child<Switch>(w, "s_w_dhcp"), child<Switch>(w, "s_eth_dhcp")})
        QVERIFY2(s->isChecked(), qPrintable(s->objectName()));
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->count(), 3);
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->itemText(0), QStringLiteral("OPEN"));
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->itemText(1), QStringLiteral("WEP"));
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->itemText(2), QStringLiteral("WPA"));
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->currentText(), QStringLiteral("OPEN"));
    for (QLineEdit* e : w.findChildren<QLineEdit*>(QString(), Qt::FindChildrenRecursively))
        if (e->parent() != child<QComboBox>(w, "cb_w_enc"))
            QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    QCOMPARE(child<QLineEdit>(w, "e_w_pass")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QLineEdit>(w, "edit_admin_pass")->echoMode(), QLineEdit::Normal);
    QCOMPARE(child<QLineEdit>(w, "edit_admin_pass")->placeholderText(),
             QStringLiteral("Admin password"));
    QCOMPARE(child<DeviceListView>(w, "list")->model()->rowCount(), 0);
    QVERIFY(!child<InfoPopover>(w, "MultiView1")->isVisible());
    QCOMPARE(child<InfoPopover>(w, "MultiView1")->width(), 201);
    QCOMPARE(child<QTimer>(w, "timer_refresh")->interval(), 60000);
    QVERIFY(child<QTimer>(w, "timer_refresh")->isActive());
    QVERIFY(!child<UdpEndpoint>(w, "server")->isActive());
}

void MainWindowTest::layout_keyPlacesAndSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addRow("panel_top") << "panel_top" << QRect(0, 0, 989, 49);
    QTest::addRow("panel_list") << "panel_list" << QRect(0, 49, 619, 558);
    QTest::addRow("panel_config") << "panel_config" << QRect(619, 49, 370, 558);
    QTest::addRow("Panel1") << "Panel1" << QRect(0, 0, 619, 51);
    QTest::addRow("button_refresh") << "button_refresh" << QRect(8, 11, 204, 28);
    QTest::addRow("Label1") << "Label1" << QRect(317, 11, 224, 28);
    QTest::addRow("Switch1") << "Switch1" << QRect(549, 11, 57, 28);
    QTest::addRow("list") << "list" << QRect(0, 51, 619, 507);
    QTest::addRow("TabControl1") << "TabControl1" << QRect(0, 0, 370, 443);
    QTest::addRow("Panel2") << "Panel2" << QRect(0, 443, 370, 115);
    QTest::addRow("bt_net_refresh") << "bt_net_refresh" << QRect(320, 0, 50, 50);
    QTest::addRow("s_w_ap") << "s_w_ap" << QRect(296, 35, 59, 27);
    QTest::addRow("e_w_ssid") << "e_w_ssid" << QRect(184, 87, 171, 22);
    QTest::addRow("cb_w_enc") << "cb_w_enc" << QRect(184, 127, 171, 22);
    QTest::addRow("e_w_gw") << "e_w_gw" << QRect(184, 345, 171, 22);
    QTest::addRow("e_eth_gw") << "e_eth_gw" << QRect(184, 167, 171, 22);
    QTest::addRow("edit_admin_pass") << "edit_admin_pass" << QRect(16, 20, 209, 22);
    QTest::addRow("b_save") << "b_save" << QRect(248, 20, 105, 22);
    QTest::addRow("Image1") << "Image1" << QRect(16, 58, 48, 42);
    QTest::addRow("Label2") << "Label2" << QRect(72, 58, 281, 41);
}

void MainWindowTest::layout_keyPlacesAndSizes()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    FormFixture f;
    auto* widget = f.form->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
}

void MainWindowTest::layout_titleBandIsDarkBlue()
{
    FormFixture f;
    const QImage band = child<QFrame>(*f.form, "panel_top")->grab().toImage();
    // Left of the centred title text, inside the border.
    QCOMPARE(QColor(band.pixel(20, 24)), QColor(0x00, 0x33, 0x77));
    const QImage panel2 = child<QFrame>(*f.form, "Panel2")->grab().toImage();
    QCOMPARE(QColor(panel2.pixel(240, 100)), QColor(0xFE, 0xFE, 0xFE));
}

void MainWindowTest::resize_onlyTheListGrows()
{
    FormFixture f;
    TForm1& w = *f.form;
    const int switchGap =
        child<QFrame>(w, "Panel1")->width() - child<Switch>(w, "Switch1")->geometry().right();
    const int labelGap =
        child<QFrame>(w, "Panel1")->width() - child<QLabel>(w, "Label1")->geometry().right();
    w.show();
    w.resize(1189, 807);
    QTRY_COMPARE(w.size(), QSize(1189, 807));
    QCOMPARE(child<QFrame>(w, "panel_top")->geometry(), QRect(0, 0, 1189, 49));
    QCOMPARE(child<SettingsPanel>(w, "panel_config")->geometry(), QRect(819, 49, 370, 758));
    QCOMPARE(child<DeviceListView>(w, "list")->geometry(), QRect(0, 51, 819, 707));
    QCOMPARE(child<QFrame>(w, "Panel1")->width() - child<Switch>(w, "Switch1")->geometry().right(),
             switchGap);
    QCOMPARE(child<QFrame>(w, "Panel1")->width() - child<QLabel>(w, "Label1")->geometry().right(),
             labelGap);
    QCOMPARE(child<QPushButton>(w, "button_refresh")->pos(), QPoint(8, 11));
    QCOMPARE(child<QToolButton>(w, "bt_net_refresh")->geometry(), QRect(320, 0, 50, 50));
    QCOMPARE(child<QFrame>(w, "Panel2")->geometry(), QRect(0, 643, 370, 115));
    w.close();
}

void MainWindowTest::tabOrder_followsTheLayout()
{
    FormFixture f;
    TForm1& w = *f.form;
    const QList<QWidget*> expected = {child<QPushButton>(w, "button_refresh"),
                                      child<Switch>(w, "Switch1"),
                                      child<DeviceListView>(w, "list"),
                                      child<QTabWidget>(w, "TabControl1"),
                                      child<Switch>(w, "s_w_ap"),
                                      child<QLineEdit>(w, "e_w_ssid"),
                                      child<QComboBox>(w, "cb_w_enc"),
                                      child<QLineEdit>(w, "e_w_pass"),
                                      child<Switch>(w, "s_w_dhcp"),
                                      child<QLineEdit>(w, "e_w_ip"),
                                      child<QLineEdit>(w, "e_w_mask"),
                                      child<QLineEdit>(w, "e_w_gw")};
    QWidget* at = expected.first();
    for (qsizetype i = 1; i < expected.size(); ++i) {
        do
            at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus || !expected.contains(at));
        QCOMPARE(at->objectName(), expected[i]->objectName());
    }
    QCOMPARE(child<QLineEdit>(w, "edit_admin_pass")->nextInFocusChain(),
             child<QPushButton>(w, "b_save"));
}

void MainWindowTest::switch_clickEventOnlyFromTheUser()
{
    Switch toggle;
    toggle.resize(57, 28);
    toggle.setChecked(true);
    QList<bool> statesSeenByHandler;
    connect(&toggle, &Switch::clicked, this,
            [&] { statesSeenByHandler.append(toggle.isChecked()); });

    toggle.setChecked(false);
    toggle.setChecked(true);
    QVERIFY(statesSeenByHandler.isEmpty());

    QTest::mouseClick(&toggle, Qt::LeftButton);
    QCOMPARE(statesSeenByHandler, QList<bool>{false}); // the new state is set before the event
    QTest::mouseClick(&toggle, Qt::LeftButton);
    QCOMPARE(statesSeenByHandler, (QList<bool>{false, true}));
}

void MainWindowTest::edits_changeEventOnlyOnRealChange()
{
    FormFixture f;
    QSignalSpy ssid(child<QLineEdit>(*f.form, "e_w_ssid"), &QLineEdit::textChanged);
    QSignalSpy encryption(child<QComboBox>(*f.form, "cb_w_enc"), &QComboBox::currentIndexChanged);
    child<QLineEdit>(*f.form, "e_w_ssid")->setText(QStringLiteral("Office"));
    child<QLineEdit>(*f.form, "e_w_ssid")->setText(QStringLiteral("Office"));
    QTest::keyClick(child<QLineEdit>(*f.form, "e_w_ssid"), Qt::Key_X);
    QCOMPARE(ssid.count(), 2);
    child<QComboBox>(*f.form, "cb_w_enc")->setCurrentIndex(2);
    child<QComboBox>(*f.form, "cb_w_enc")->setCurrentIndex(2);
    QCOMPARE(encryption.count(), 1);
}

void MainWindowTest::timer_firstSearchAfterOneInterval()
{
    FormFixture f(/*refreshIntervalMs=*/300);
    f.form->show();
    QVERIFY(child<UdpEndpoint>(*f.form, "server")->isActive());
    QVERIFY(f.broadcasts.receiveFor(100).empty()); // nothing is sent at start-up
    const auto first = f.broadcasts.receive(3000);
    QVERIFY(first);
    QCOMPARE(first->bytes, std::string("find_QUORIX"));
    QVERIFY(f.broadcasts.receive(3000)); // and again, every interval
    f.form->close();
}

void MainWindowTest::switch1_offStopsSearchesButButtonStillSearches()
{
    FormFixture f(/*refreshIntervalMs=*/200);
    f.form->show();
    QTest::mouseClick(child<Switch>(*f.form, "Switch1"), Qt::LeftButton);
    QVERIFY(!child<Switch>(*f.form, "Switch1")->isChecked());
    QVERIFY(!child<QTimer>(*f.form, "timer_refresh")->isActive());
    QVERIFY(f.broadcasts.receiveFor(600).empty());

    QTest::mouseClick(child<QPushButton>(*f.form, "button_refresh"), Qt::LeftButton);
    const auto search = f.broadcasts.receive(1000);
    QVERIFY(search);
    QCOMPARE(search->bytes, std::string("find_QUORIX"));

    QTest::mouseClick(child<Switch>(*f.form, "Switch1"), Qt::LeftButton);
    QVERIFY(child<QTimer>(*f.form, "timer_refresh")->isActive());
    QVERIFY(child<QTimer>(*f.form, "timer_refresh")->remainingTime() > 100); // a new full interval
    QVERIFY(f.broadcasts.receive(3000));
    f.form->close();
}

void MainWindowTest::unlock_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("accessPoint");
    QTest::addColumn<bool>("unlocked");
    QTest::addColumn<bool>("changeSubnetShown");
    QTest::addRow("ctrl-left, access point")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier) << true << true << true;
    QTest::addRow("ctrl-right, access point")
        << Qt::RightButton << Qt::KeyboardModifiers(Qt::ControlModifier) << true << true << true;
    QTest::addRow("ctrl-shift-alt, access point")
        << Qt::LeftButton
        << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier) << true
        << true << true;
    QTest::addRow("ctrl, client mode")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier) << false << true << false;
    QTest::addRow("no ctrl") << Qt::LeftButton << Qt::KeyboardModifiers() << true << false << false;
    QTest::addRow("shift only") << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                << true << false << false;
}

void MainWindowTest::unlock()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, accessPoint);
    QFETCH(bool, unlocked);
    QFETCH(bool, changeSubnetShown);

    // A device of another model in access-point mode: Ethernet locked, DHCP switch hidden.
    FormFixture f;
    f.form->show();
    const auto peer = f.device("127.0.0.3");
    f.announce(*peer, announcement("ROUTER", accessPoint ? "yes;Net;wpa;secret123;no;;;;no;;;;"
                                                         : "no;Net;wpa;secret123;no;;;;no;;;;"));
    f.clickRow(0);
    TForm1& w = *f.form;
    QVERIFY(!child<QTabWidget>(w, "TabControl1")->isTabEnabled(1));
    QCOMPARE(child<Switch>(w, "s_w_dhcp")->isVisible(), !accessPoint);

    QTest::mouseClick(child<QLabel>(w, "label_top"), button, modifiers, QPoint(20, 20));
    QCOMPARE(child<QTabWidget>(w, "TabControl1")->isTabEnabled(1), unlocked);
    if (accessPoint) {
        QCOMPARE(child<Switch>(w, "s_w_dhcp")->isVisible(), changeSubnetShown);
        QCOMPARE(child<QLabel>(w, "l_w_dhcp")->isVisible(), changeSubnetShown);
        QCOMPARE(child<QLabel>(w, "l_w_dhcp")->text(), changeSubnetShown
                                                           ? QStringLiteral("Change subnet")
                                                           : QStringLiteral("Enable DHCP"));
    } else {
        QCOMPARE(child<QLabel>(w, "l_w_dhcp")->text(), QStringLiteral("Enable DHCP"));
        QVERIFY(child<QLabel>(w, "l_w_dhcp")->isVisible());
    }
    // The unlock lasts until the panel is loaded again.
    f.clickRow(0);
    QVERIFY(!child<QTabWidget>(w, "TabControl1")->isTabEnabled(1));
    w.close();
}

void MainWindowTest::errorBox_fullStopRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addRow("ends in a letter") << "Network is unreachable"
                                      << "Network is unreachable.";
    QTest::addRow("ends in a digit") << "code 42"
                                     << "code 42.";
    QTest::addRow("ends in a full stop") << "Done."
                                         << "Done.";
    QTest::addRow("ends in a comma, below '.'") << "a,"
                                                << "a,";
    QTest::addRow("ends in a slash, above '.'") << "path/"
                                                << "path/.";
    QTest::addRow("empty") << ""
                           << "";
}

void MainWindowTest::errorBox_fullStopRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    DialogRecorder dialogs;
    runGuarded([&] { throw std::runtime_error(message.toStdString()); });
    QCOMPARE(dialogs.shown, (QList<ShownDialog>{{shown, DialogKind::Error}}));
}

void MainWindowTest::errorBox_sendFailureIsShownAndProgramGoesOn()
{
    // Never shown, so never bound: every send fails as a refused send would.
    FormFixture f;
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(*f.form, "button_refresh"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*f.form, "button_refresh"), Qt::LeftButton);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[0].kind, DialogKind::Error);
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("Socket is not bound."));
}

void MainWindowTest::messageDialog_realBoxHasCaptionIconAndOneOkButton()
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(50, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    MessageDialog(QStringLiteral("No device selected"), DialogKind::Warning);
    QCOMPARE(caption, QStringLiteral("Warning"));
    QCOMPARE(text, QStringLiteral("No device selected"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, 1);
    QCOMPARE(dialogCaption(DialogKind::Error), QStringLiteral("Error"));
    QCOMPARE(dialogCaption(DialogKind::Information), QStringLiteral("Information"));
    QCOMPARE(dialogCaption(DialogKind::Confirmation), QStringLiteral("Confirm"));
}

void MainWindowTest::messageDialog_realQuestionAnswersTheButtonPressed_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<DialogAnswer>("answer");
    QTest::newRow("OK clicked") << int(QMessageBox::Ok) << DialogAnswer::Ok;
    QTest::newRow("Cancel clicked") << int(QMessageBox::Cancel) << DialogAnswer::Cancel;
    // Return presses the default button, which for a question that sends is Cancel.
    QTest::newRow("Return pressed") << int(Qt::Key_Return) << DialogAnswer::Cancel;
    QTest::newRow("Escape pressed") << int(Qt::Key_Escape) << DialogAnswer::Cancel;
}

void MainWindowTest::messageDialog_realQuestionAnswersTheButtonPressed()
{
    QFETCH(int, key);
    QFETCH(DialogAnswer, answer);
    QStringList buttons;
    QTimer::singleShot(50, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        if (key == QMessageBox::Ok || key == QMessageBox::Cancel)
            QTest::mouseClick(box->button(QMessageBox::StandardButton(key)), Qt::LeftButton);
        else
            QTest::keyClick(box, Qt::Key(key));
    });
    const DialogAnswer given = MessageDialog(QStringLiteral("Put 2 device(s) on ...?"),
                                             DialogKind::Confirmation, DialogButtons::OkCancel);
    QCOMPARE(given, answer);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"Cancel", "OK"}));
}

void MainWindowTest::bindConflict_secondCopyFailsFirstUndisturbed()
{
    FormFixture first;
    first.form->show();
    QVERIFY(!first.form->startupFailed());

    DialogRecorder dialogs;
    DeviceRegistry otherServers;
    TForm1::Options options;
    options.endpoint = {kToolAddress, first.port, kBroadcastCapture};
    TForm1 second(otherServers, options);
    second.show();
    QVERIFY(second.startupFailed());
    QCOMPARE(dialogs.shown,
             (QList<ShownDialog>{{QStringLiteral("Could not bind socket. Address and port are "
                                                 "already in use."),
                                  DialogKind::Error}}));
    second.close();

    const auto peer = first.device("127.0.0.3");
    first.announce(*peer, announcement("QUORIX"));
    QCOMPARE(first.servers.count(), 1);
    first.form->close();
}

void MainWindowTest::bindConflict_oneBoxForAsLongAsItIsOpenAndNothingSent()
{
    FormFixture first;
    first.form->show();

    // The box stays open for a while, its event loop turning, as it does until the user reads it.
    DialogRecorder* recorder = nullptr;
    DialogRecorder dialogs([&](const ShownDialog&) {
        if (recorder->shown.size() == 1)
            QTest::qWait(500);
    });
    recorder = &dialogs;
    DeviceRegistry otherServers;
    TForm1::Options options;
    options.endpoint = {kToolAddress, first.port, kBroadcastCapture};
    options.refreshIntervalMs = 20; // a search would be due many times while the box is open
    TForm1 second(otherServers, options);
    second.show();
    QVERIFY(second.startupFailed());
    QTest::qWait(200);
    QCOMPARE(dialogs.shown,
             (QList<ShownDialog>{{QStringLiteral("Could not bind socket. Address and port are "
                                                 "already in use."),
                                  DialogKind::Error}}));
    QVERIFY(!child<QTimer>(second, "timer_refresh")->isActive());
    QVERIFY(first.broadcasts.receiveFor(100).empty());
    second.close();
    first.form->close();
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
