// The real window with the program's own endpoint settings (0.0.0.0, port 12340, broadcasts to
// 255.255.255.255) on Windows' sockets. scripts/test-windows runs it under Wine inside the tool
// namespace of the virtual LAN, with two simulated devices in LAN 1: one whose address and
// administrator password it passes in NIMBREL_DEVICE_ADDRESS and NIMBREL_DEVICE_PASSWORD, and
// one at NIMBREL_OTHER_DEVICE_ADDRESS with another administrator password.
// Nothing here may run in the machine's own namespace.

#include "app/tform1.h"
#include "dialog_recorder.h"
#include "window_driver.h"
#include "window_widgets.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

struct Window {
    Window() : form(servers)
    {
        form.show();
        if (form.startupFailed())
            throw std::runtime_error("the window could not bind port 12340");
    }
    ~Window() { form.close(); }

    DeviceRegistry servers;
    TForm1 form;
};

// The addresses of the listed devices, in the list's order.
QStringList addresses(const DeviceRegistry& servers)
{
    QStringList all;
    for (int i = 0; i < servers.count(); ++i)
        all << QString::fromStdString(servers.at(i).ip);
    return all;
}

std::string environment(const char* name)
{
    const QByteArray value = qgetenv(name);
    if (value.isEmpty())
        qFatal("%s is not set: run this test through scripts/test-windows", name);
    return value.toStdString();
}

} // namespace

class WindowsLanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void search_findsTheDevice_writeSucceeds();
    void send_refused_data();
    void send_refused();
    void secondEndpoint_refusedWithTheBindError();
};

void WindowsLanTest::search_findsTheDevice_writeSucceeds()
{
    const std::string device = environment("NIMBREL_DEVICE_ADDRESS");
    const QString password = QString::fromStdString(environment("NIMBREL_DEVICE_PASSWORD"));
    const QString other = QString::fromStdString(environment("NIMBREL_OTHER_DEVICE_ADDRESS"));
    Window w;
    WindowDriver(w.form).search();
    QTRY_COMPARE_WITH_TIMEOUT(addresses(w.servers),
                              (QStringList{QString::fromStdString(device), other}), 10000);
    QCOMPARE(WindowDriver(w.form).captions().size(), 2);

    WindowDriver(w.form).clickRow(0);
    w.servers.at(0).w_ssid = "stale"; // the settings reply replaces what the panel had
    QTest::mouseClick(child<QToolButton>(w.form, "bt_net_refresh"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(w.form, "e_w_ssid")->text(),
                              QStringLiteral("Office"), 10000);

    QTest::keyClicks(child<QLineEdit>(w.form, "e_w_ssid"), QStringLiteral("-2"));
    QTest::keyClicks(child<QLineEdit>(w.form, "edit_admin_pass"), password);
    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.shown.size(), 1, 10000);
    QCOMPARE(
        dialogs.shown[0],
        (ShownDialog{QStringLiteral("Parameters saved successfully. Wait until device restarts."),
                     DialogKind::Confirmation}));
    QCOMPARE(addresses(w.servers), QStringList{other});
    QCOMPARE(WindowDriver(w.form).captions().size(), 1);
}

// Send refused, each time with one warning and the device still listed: by the window's own
// checks before anything goes out, or by the device, whose administrator password is another.
void WindowsLanTest::send_refused_data()
{
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("adminPassword");
    QTest::addColumn<QString>("expected");

    const QString devicePassword = QString::fromStdString(environment("NIMBREL_DEVICE_PASSWORD"));
    QTest::addRow("nothing selected") << false << devicePassword << "No device selected";
    QTest::addRow("5-character password") << true << "12345"
                                          << "The password must contain at most 4 characters";
    QTest::addRow("another device's password") << true << devicePassword << "Incorrect password";
}

void WindowsLanTest::send_refused()
{
    QFETCH(bool, select);
    QFETCH(QString, adminPassword);
    QFETCH(QString, expected);
    const QString other = QString::fromStdString(environment("NIMBREL_OTHER_DEVICE_ADDRESS"));
    Window w;
    WindowDriver(w.form).search();
    QTRY_VERIFY_WITH_TIMEOUT(addresses(w.servers).contains(other), 10000);
    const int row = static_cast<int>(addresses(w.servers).indexOf(other));
    if (select)
        WindowDriver(w.form).clickRow(row);
    QTest::keyClicks(child<QLineEdit>(w.form, "edit_admin_pass"), adminPassword);

    DialogRecorder dialogs;
    QTest::mouseClick(child<QPushButton>(w.form, "b_save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.shown.size(), 1, 10000);
    QCOMPARE(dialogs.shown[0].text, expected);
    QCOMPARE(dialogs.shown[0], (ShownDialog{expected, DialogKind::Warning}));
    QVERIFY(addresses(w.servers).contains(other));
    QCOMPARE(w.form.selectedIndex(), select ? row : -1);
}

// Exclusive use of the port: a second endpoint, as a second copy of the program would open,
// gets the bind error instead of sharing the datagrams.
void WindowsLanTest::secondEndpoint_refusedWithTheBindError()
{
    Window w;
    UdpEndpoint second(EndpointConfig{});
    try {
        second.activate();
        QFAIL("a second endpoint bound port 12340");
    } catch (const NetworkError& error) {
        QCOMPARE(QString::fromLatin1(error.what()),
                 QStringLiteral("Could not bind socket. Address and port are already in use."));
    }
    QVERIFY(!second.isActive());
}

QTEST_MAIN(WindowsLanTest)
#include "tst_windows_lan.moc"
