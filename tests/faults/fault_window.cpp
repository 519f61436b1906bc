#include "fault_window.h"

#include "window_driver.h"

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

QStringList FaultWindow::captions()
{
    return WindowDriver(form).captions();
}

void FaultWindow::clickRow(int row)
{
    WindowDriver(form).clickRow(row);
}

void FaultWindow::openPopover(int row)
{
    WindowDriver(form).openPopover(row);
}

void FaultWindow::clearList()
{
    WindowDriver(form).clearList();
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
