// The real window with the program's own endpoint settings (0.0.0.0, port 12340, broadcasts to
// 255.255.255.255) on Windows' sockets. scripts/test-windows runs it under Wine inside the tool
// namespace of the virtual LAN, with one simulated device in LAN 1 whose address and
// administrator password it passes in NIMBREL_DEVICE_ADDRESS and NIMBREL_DEVICE_PASSWORD.
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
    void secondEndpoint_refusedWithTheBindError();
};

void WindowsLanTest::search_findsTheDevice_writeSucceeds()
{
    const std::string device = environment("NIMBREL_DEVICE_ADDRESS");
    const QString password = QString::fromStdString(environment("NIMBREL_DEVICE_PASSWORD"));
    Window w;
    WindowDriver(w.form).search();
    QTRY_COMPARE_WITH_TIMEOUT(w.servers.count(), 1, 10000);
    QCOMPARE(w.servers.at(0).ip, device);
    QCOMPARE(WindowDriver(w.form).captions().size(), 1);

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
    QCOMPARE(w.servers.count(), 0);
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
