// "Configure Wi-Fi on several devices..." in the real window: the dialog opened from the list's
// menu, typed into and started with the mouse and keys; devices on loopback that answer the
// settings request and give verdicts; the six messages of each write as they leave the socket.

#include "app/file_chooser.h"
#include "app/rollout_dialog.h"
#include "app/wifi_rollout.h"
#include "dialog_recorder.h"
#include "form_fixture.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

// A QUORIX client on Wi-Fi DHCP with static Ethernet in its own network.
const std::string kClientSettings =
    "no;Old;wep;12345;yes;192.168.5.20;255.255.255.0;192.168.5.1;no;172.16.0.5;255.255.255.0;"
    "172.16.0.1;";
const std::string kAccessPointSettings = "yes;Site-AP;wpa;ap-secret;no;;;;no;10.20.0.2;"
                                         "255.255.255.0;10.20.0.1;";

// The six files the client above must receive for "Office" / WPA / "office-key", target first.
QStringList expectedClientWrite(const QString& target)
{
    return {
        target + QStringLiteral("\ncreate_file\n/Talvonex/CONFIG_NET.TXT\n[AP] No\n[SSID] Office\n"
                                "[PASS] office-key\n[ENC] WPA\n[DHCP] Yes\n[IP] 192.168.5.20\n"
                                "[MASK] 255.255.255.0\n[GW] 192.168.5.1\n"),
        target + QStringLiteral("\ncreate_file\n/Talvonex/CONFIG_ETH.TXT\n[DHCP] No\n"
                                "[IP] 172.16.0.5\n[MASK] 255.255.255.0\n[GW] 172.16.0.1\n"),
        target + QStringLiteral("\ncreate_file\n/etc/wpa_supplicant.conf\n"
                                "ctrl_interface=/var/run/wpa_supplicant\nap_scan=1\n\nnetwork={\n"
                                "ssid=\"Office\"\nscan_ssid=1\nproto=WPA RSN\nkey_mgmt=WPA-PSK\n"
                                "pairwise=CCMP TKIP\ngroup=CCMP TKIP\npsk=\"office-key\"\n}\n"),
        target + QStringLiteral("\ncreate_file\n/etc/hostapd.conf\ninterface=ra0\n"
                                "driver=nl80211\nssid=Office\nchannel=1\nhw_mode=g\nwpa=1\n"
                                "wpa_passphrase=office-key\nwpa_key_mgmt=WPA-PSK\n"
                                "wpa_pairwise=TKIP\nrsn_pairwise=CCMP\n"),
        target + QStringLiteral("\ncreate_file\n/etc/udhcpd.conf\nstart 192.168.5.10\n"
                                "end 192.168.5.100\ninterface ra0\noption subnet 255.255.255.0\n"
                                "option router 192.168.5.20\n"),
        target + QStringLiteral("\ncreate_file\n/Talvonex/actualizado\n"),
    };
}

struct Rig {
    Rig() : f(60000, 1)
    {
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    }

    // A device announcing itself with the settings; kept for the test to play.
    LoopbackPeer& add(const std::string& address, const std::string& settings,
                      const std::string& model = "QUORIX")
    {
        devices.push_back(f.device(address));
        f.announce(*devices.back(), "im_QUORIX;" + model + ";TVX-" + address.substr(8) +
                                        ";2.4.1;1187;admin;" + settings);
        return *devices.back();
    }

    WifiRolloutDialog* open()
    {
        f.user().chooseFromListMenu("MenuItem5");
        auto* dialog = f.form->findChild<WifiRolloutDialog*>(QStringLiteral("RolloutDialog"));
        return dialog != nullptr && QTest::qWaitForWindowExposed(dialog) ? dialog : nullptr;
    }

    static void type(QWidget* dialog, const char* edit, const QString& text)
    {
        auto* field = child<QLineEdit>(*dialog, edit);
        field->setFocus();
        // Letters beyond ASCII arrive as a keyboard layout gives them: a key with its text.
        for (const QChar letter : text)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(letter), {});
    }

    // Office / WPA / office-key, admin password 1234, all typed.
    static void fillIn(QWidget* dialog)
    {
        type(dialog, "e_rollout_ssid", QStringLiteral("Office"));
        type(dialog, "e_rollout_pass", QStringLiteral("office-key"));
        type(dialog, "e_rollout_admin_pass", QStringLiteral("1234"));
    }

    static void start(QWidget* dialog)
    {
        QTest::mouseClick(child<QPushButton>(*dialog, "b_rollout_start"), Qt::LeftButton);
    }

    // The dialog on the devices as they are checked when it opens, filled in and started.
    WifiRolloutDialog* openFilledAndStarted()
    {
        WifiRolloutDialog* dialog = open();
        if (dialog != nullptr) {
            fillIn(dialog);
            start(dialog);
        }
        return dialog;
    }

    // The device is asked for its settings and answers with these.
    static void answerRequest(LoopbackPeer& device, const std::string& settings, std::uint16_t port)
    {
        const auto request = device.receive(3000);
        QVERIFY(request);
        QCOMPARE(request->bytes, std::string("get_network"));
        device.sendTo("network_response;" + settings, kToolAddress, port);
    }

    FormFixture f;
    std::vector<std::unique_ptr<LoopbackPeer>> devices;
};

QStringList column(QTreeWidget* tree, int column)
{
    QStringList texts;
    for (int row = 0; row < tree->topLevelItemCount(); ++row)
        texts << tree->topLevelItem(row)->text(column);
    return texts;
}

QList<int> checks(QTreeWidget* tree)
{
    QList<int> states;
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = tree->topLevelItem(row);
        states << (item->flags().testFlag(Qt::ItemIsUserCheckable) ? item->checkState(0) : -1);
    }
    return states;
}

// Where a person clicks a row's check box.
void clickCheckBox(QTreeWidget* tree, int row)
{
    const QRect rect = tree->visualItemRect(tree->topLevelItem(row));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 12, rect.center().y()));
}

class RolloutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialog_listsTheDevicesCheckedAsTheyCanBeWritten();
    void rollout_writesEachDeviceItsOwnSettingsWithTheNewNetwork();
    void verdicts_duringARolloutGoToItAndNoBoxOpens();
    void refusals_beforeStartSendNothing_data();
    void refusals_beforeStartSendNothing();
    void sharedStaticAddress_warnsInTheDialogAndTheQuestion();
    void escape_whileRunningCancelsAndTheDialogStays();
    void results_copiedAndExportedWithoutPasswords();
};

void RolloutTest::dialog_listsTheDevicesCheckedAsTheyCanBeWritten()
{
    Rig rig;
    rig.add("127.0.0.3", kClientSettings);
    rig.add("127.0.0.4", kAccessPointSettings);
    auto older = rig.f.device("127.0.0.5");
    rig.f.announce(*older, "im_QUORIX;TVX-0005;");
    WifiRolloutDialog* dialog = rig.open();
    QVERIFY(dialog);
    auto* tree = child<QTreeWidget>(*dialog, "tv_rollout_devices");
    QCOMPARE(column(tree, 0), (QStringList{"127.0.0.3 (QUORIX)", "127.0.0.4 (QUORIX)",
                                           "127.0.0.5 (Outdated firmware)"}));
    QCOMPARE(checks(tree), (QList<int>{Qt::Checked, Qt::Unchecked, -1}));
    QCOMPARE(column(tree, 1), (QStringList{"", "Access point: checking it turns it off",
                                           "Older firmware: cannot be read"}));
    QVERIFY(!(tree->topLevelItem(2)->flags() & Qt::ItemIsEnabled));

    // Checking the access point by mouse, and the filter hides what it does not match.
    clickCheckBox(tree, 1);
    QCOMPARE(checks(tree), (QList<int>{Qt::Checked, Qt::Checked, -1}));
    QCOMPARE(dialog->chosenDevices().size(), std::size_t(2));
    Rig::type(dialog, "e_rollout_filter", QStringLiteral("0.0.4"));
    QVERIFY(tree->topLevelItem(0)->isHidden());
    QCOMPARE(dialog->chosenDevices().size(), std::size_t(1));
    QCOMPARE(dialog->chosenDevices()[0].ip, std::string("127.0.0.4"));

    // A second choice of the menu entry brings back the same dialog.
    QCOMPARE(rig.open(), dialog);
}

void RolloutTest::rollout_writesEachDeviceItsOwnSettingsWithTheNewNetwork()
{
    Rig rig;
    LoopbackPeer& a = rig.add("127.0.0.3", kClientSettings);
    LoopbackPeer& b = rig.add("127.0.0.4", kClientSettings);
    DialogRecorder dialogs;
    WifiRolloutDialog* dialog = rig.openFilledAndStarted();
    QVERIFY(dialog);
    QCOMPARE(
        dialogs.shown,
        (QList<ShownDialog>{{QStringLiteral("Put 2 device(s) on the Wi-Fi network \"Office\"? "
                                            "Each device restarts once its settings are saved."),
                             DialogKind::Confirmation, DialogButtons::OkCancel}}));
    auto* send = child<QPushButton>(*rig.f.form, "b_save");
    QVERIFY(!send->isEnabled());
    QVERIFY(!child<QPushButton>(*dialog, "b_rollout_close")->isEnabled());

    Rig::answerRequest(a, kClientSettings, rig.f.port);
    QCOMPARE(unscrambled(rig.f.receiveWrite(), "1234"), expectedClientWrite("127.0.0.3"));
    a.sendTo("Success", kToolAddress, rig.f.port);
    // The saved device leaves the list, as after "Send"; the other is asked next.
    QTRY_COMPARE(rig.f.user().captions(), QStringList{"127.0.0.4 (QUORIX)"});
    Rig::answerRequest(b, kClientSettings, rig.f.port);
    QCOMPARE(unscrambled(rig.f.receiveWrite(), "1234"), expectedClientWrite("127.0.0.4"));
    b.sendTo("Error", kToolAddress, rig.f.port);

    auto* summary = child<QLabel>(*dialog, "l_rollout_summary");
    QTRY_VERIFY(summary->isVisible());
    QCOMPARE(summary->text(), QStringLiteral("Done: 1 saved, 1 refused, 0 no answer"));
    QCOMPARE(column(child<QTreeWidget>(*dialog, "tv_rollout_devices"), 2),
             (QStringList{"Saved, restarting", "Incorrect password"}));
    QCOMPARE(dialogs.shown.size(), 1); // no verdict box
    QVERIFY(send->isEnabled());
    QCOMPARE(rig.f.user().captions(), QStringList{"127.0.0.4 (QUORIX)"});
    QVERIFY(!child<QPushButton>(*dialog, "b_rollout_start")->isEnabled());
    QTest::mouseClick(child<QPushButton>(*dialog, "b_rollout_close"), Qt::LeftButton);
    QTRY_VERIFY(rig.f.form->findChild<WifiRolloutDialog*>() == nullptr);
}

void RolloutTest::verdicts_duringARolloutGoToItAndNoBoxOpens()
{
    Rig rig;
    LoopbackPeer& a = rig.add("127.0.0.3", kClientSettings);
    LoopbackPeer& b = rig.add("127.0.0.4", kClientSettings);
    DialogRecorder dialogs;
    // A single "Send" to B first: its verdict is still outstanding when the roll-out starts.
    rig.f.clickRow(1);
    QTest::keyClicks(child<QLineEdit>(*rig.f.form, "e_w_pass"), QStringLiteral("67890"));
    QTest::mouseClick(child<QPushButton>(*rig.f.form, "b_save"), Qt::LeftButton);
    QCOMPARE(rig.f.receiveWrite().size(), std::size_t(6));
    QCOMPARE(rig.f.form->writeTarget(), std::string("127.0.0.4"));

    WifiRolloutDialog* dialog = rig.open();
    QVERIFY(dialog);
    clickCheckBox(child<QTreeWidget>(*dialog, "tv_rollout_devices"), 1); // only A
    Rig::fillIn(dialog);
    Rig::start(dialog);
    QVERIFY(rig.f.form->writeTarget().empty());
    Rig::answerRequest(a, kClientSettings, rig.f.port);
    // B's late verdict, and A's before its set is complete, are nobody's.
    b.sendTo("Success", kToolAddress, rig.f.port);
    a.sendTo("Error", kToolAddress, rig.f.port);
    QCOMPARE(rig.f.receiveWrite().size(), std::size_t(6));
    a.sendTo("Success", kToolAddress, rig.f.port);
    a.sendTo("Error", kToolAddress, rig.f.port);
    QTRY_VERIFY(!rig.f.form->rollout().isRunning());
    QCOMPARE(column(child<QTreeWidget>(*dialog, "tv_rollout_devices"), 2),
             (QStringList{"Saved, restarting", ""}));
    QCOMPARE(rig.f.user().captions(), QStringList{"127.0.0.4 (QUORIX)"});
    QCOMPARE(dialogs.shown.size(), 1); // the question only

    // Once it has ended, "Send" and its verdict box are as before.
    rig.f.clickRow(0);
    QTest::mouseClick(child<QPushButton>(*rig.f.form, "b_save"), Qt::LeftButton);
    QCOMPARE(rig.f.receiveWrite().size(), std::size_t(6));
    b.sendTo("Error", kToolAddress, rig.f.port);
    QTRY_COMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown.last(),
             (ShownDialog{QStringLiteral("Incorrect password"), DialogKind::Warning}));
}

void RolloutTest::refusals_beforeStartSendNothing_data()
{
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("admin");
    QTest::addColumn<bool>("uncheckAll");
    QTest::addColumn<bool>("answerCancel");
    QTest::addColumn<QString>("message");

    QTest::newRow("admin password too long")
        << "Office"
        << "office-key"
        << "12345" << false << false << "The password must contain at most 4 characters";
    QTest::newRow("accented network name") << QStringLiteral("Caf\u00e9") << "office-key"
                                           << "1234" << false << false
                                           << "Network settings must contain only printable "
                                              "ASCII characters";
    QTest::newRow("short WPA password")
        << "Office"
        << "short"
        << "1234" << false << false << "WPA admin password must contain at least 8 characters";
    QTest::newRow("nothing checked") << "Office"
                                     << "office-key"
                                     << "1234" << true << false << "No device is checked";
    QTest::newRow("the question answered Cancel")
        << "Office"
        << "office-key"
        << "1234" << false << true
        << "Put 1 device(s) on the Wi-Fi network \"Office\"? Each device restarts once its "
           "settings are saved.";
}

void RolloutTest::refusals_beforeStartSendNothing()
{
    QFETCH(QString, ssid);
    QFETCH(QString, password);
    QFETCH(QString, admin);
    QFETCH(bool, uncheckAll);
    QFETCH(bool, answerCancel);
    QFETCH(QString, message);
    Rig rig;
    LoopbackPeer& a = rig.add("127.0.0.3", kClientSettings);
    DialogRecorder dialogs;
    dialogs.answer = answerCancel ? DialogAnswer::Cancel : DialogAnswer::Ok;
    WifiRolloutDialog* dialog = rig.open();
    QVERIFY(dialog);
    if (uncheckAll)
        clickCheckBox(child<QTreeWidget>(*dialog, "tv_rollout_devices"), 0);
    Rig::type(dialog, "e_rollout_ssid", ssid);
    Rig::type(dialog, "e_rollout_pass", password);
    Rig::type(dialog, "e_rollout_admin_pass", admin);
    Rig::start(dialog);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, message);
    QVERIFY(!rig.f.form->rollout().isRunning());
    QVERIFY(a.receiveFor(100).empty());
    QVERIFY(rig.f.broadcasts.receiveFor(50).empty());
    QVERIFY(child<QPushButton>(*dialog, "b_rollout_start")->isEnabled());
}

void RolloutTest::sharedStaticAddress_warnsInTheDialogAndTheQuestion()
{
    Rig rig;
    const std::string fixed =
        "no;Old;wpa;old-key1;no;192.168.5.20;255.255.255.0;192.168.5.1;yes;;;;";
    rig.add("127.0.0.3", fixed);
    rig.add("127.0.0.4", kClientSettings);
    rig.add("127.0.0.5", fixed);
    DialogRecorder dialogs;
    dialogs.answer = DialogAnswer::Cancel;
    WifiRolloutDialog* dialog = rig.open();
    QVERIFY(dialog);
    auto* warning = child<QLabel>(*dialog, "l_rollout_warning");
    const QString text = QStringLiteral("Checked devices share a static Wi-Fi address "
                                        "(192.168.5.20): they keep their addresses and would "
                                        "clash on one network.");
    QVERIFY(warning->isVisible());
    QCOMPARE(warning->text(), text);
    Rig::fillIn(dialog);
    Rig::start(dialog);
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(dialogs.shown[0].text.endsWith(QStringLiteral("\n\n") + text));
    // Unchecking one of the two clears the warning.
    clickCheckBox(child<QTreeWidget>(*dialog, "tv_rollout_devices"), 2);
    QVERIFY(!warning->isVisible());
}

void RolloutTest::escape_whileRunningCancelsAndTheDialogStays()
{
    Rig rig;
    LoopbackPeer& a = rig.add("127.0.0.3", kClientSettings);
    LoopbackPeer& b = rig.add("127.0.0.4", kClientSettings);
    DialogRecorder dialogs;
    WifiRolloutDialog* dialog = rig.openFilledAndStarted();
    QVERIFY(dialog);
    Rig::answerRequest(a, kClientSettings, rig.f.port);
    QTRY_VERIFY(rig.f.form->rollout().phase() != WifiRollout::Phase::AwaitingSettings);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    // The device being written gets its whole set, and its verdict still counts.
    QCOMPARE(rig.f.receiveWrite().size(), std::size_t(6));
    a.sendTo("Success", kToolAddress, rig.f.port);
    QTRY_VERIFY(!rig.f.form->rollout().isRunning());
    QVERIFY(b.receiveFor(100).empty());
    QCOMPARE(column(child<QTreeWidget>(*dialog, "tv_rollout_devices"), 2),
             (QStringList{"Saved, restarting", "Not written (cancelled)"}));
    QCOMPARE(child<QLabel>(*dialog, "l_rollout_summary")->text(),
             QStringLiteral("Done: 1 saved, 0 refused, 0 no answer, 1 not written (cancelled)"));
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTRY_VERIFY(rig.f.form->findChild<WifiRolloutDialog*>() == nullptr);
}

void RolloutTest::results_copiedAndExportedWithoutPasswords()
{
    Rig rig;
    rig.add("127.0.0.3", kClientSettings);
    DialogRecorder dialogs;
    WifiRolloutDialog* dialog = rig.openFilledAndStarted();
    QVERIFY(dialog);
    // No answer to the request: the roll-out ends after its wait.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.f.form->rollout().isRunning(), 5000);
    QTest::mouseClick(child<QPushButton>(*dialog, "b_rollout_copy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("127.0.0.3\tQUORIX\tTVX-3\tNo answer to the settings request\n"));

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("results.csv"));
    const SaveFileHook previous =
        setSaveFileHook([&](const QString&, const QString&) { return path; });
    QTest::mouseClick(child<QPushButton>(*dialog, "b_rollout_export"), Qt::LeftButton);
    setSaveFileHook(previous);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray csv = file.readAll();
    QCOMPARE(csv, QByteArray("address,model,identifier,result\r\n"
                             "127.0.0.3,QUORIX,TVX-3,No answer to the settings request\r\n"));
    QVERIFY(!csv.contains("office-key") && !csv.contains("1234"));
}

} // namespace

QTEST_MAIN(RolloutTest)
#include "tst_rollout.moc"
