#include "fault_window.h"

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "window_widgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <stdexcept>
#include <sys/stat.h>

namespace nimbrel::testing {

namespace {

TForm1::Options options(int refreshIntervalMs)
{
    TForm1::Options o;
    o.refreshIntervalMs = refreshIntervalMs;
    o.sendPauseMs = 1;
    return o;
}

QtMessageHandler passOn = nullptr;

void dropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QStringLiteral("This plugin does not support")))
        return;
    passOn(type, context, text);
}

ino_t namespaceInode(const QString& path)
{
    struct stat info {};
    return ::stat(qPrintable(path), &info) == 0 ? info.st_ino : 0;
}

} // namespace

bool insideToolNamespace()
{
    const QString tool = qEnvironmentVariable("NIMBREL_TOOL_NS");
    const ino_t own = namespaceInode(QStringLiteral("/proc/self/ns/net"));
    return !tool.isEmpty() && own != 0 &&
           own == namespaceInode(QStringLiteral("/var/run/netns/") + tool);
}

bool requireToolNamespace()
{
    if (!insideToolNamespace())
        throw std::runtime_error("not inside the virtual LAN's tool namespace: refusing to bind "
                                 "port 12340 or broadcast here");
    return true;
}

FaultWindow::FaultWindow(int refreshIntervalMs) : form(servers, options(refreshIntervalMs))
{
    form.show();
    if (form.startupFailed())
        throw std::runtime_error("the window could not bind port 12340");
}

FaultWindow::~FaultWindow()
{
    form.close();
}

QStringList FaultWindow::captions() const
{
    QStringList all;
    for (int row = 0; row < form.listModel()->rowCount(); ++row)
        all << form.listModel()->index(row).data().toString();
    return all;
}

void FaultWindow::clickRow(int row)
{
    const QRect rect =
        child<DeviceListView>(form, "list")->visualRect(form.listModel()->index(row));
    QTest::mouseClick(child<DeviceListView>(form, "list")->viewport(), Qt::LeftButton, {},
                      rect.center() - QPoint(60, 0));
}

void FaultWindow::openPopover(int row)
{
    const QPoint button =
        child<DeviceListView>(form, "list")->infoButtonRect(form.listModel()->index(row)).center();
    QTest::mouseMove(child<DeviceListView>(form, "list")->viewport(), button);
    QTest::mouseClick(child<DeviceListView>(form, "list")->viewport(), Qt::LeftButton, {}, button);
}

void FaultWindow::clearList()
{
    QWidget* viewport = child<DeviceListView>(form, "list")->viewport();
    const QPoint at(30, 10);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &request);
    QMenu* menu = child<QMenu>(form, "PopupMenu1");
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }))
        throw std::runtime_error("the list's context menu did not open");
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(child<QAction>(form, "MenuItem1")).center());
}

PlatformNotesFilter::PlatformNotesFilter()
{
    passOn = qInstallMessageHandler(dropPlatformNotes);
}

PlatformNotesFilter::~PlatformNotesFilter()
{
    qInstallMessageHandler(passOn);
}

} // namespace nimbrel::testing
