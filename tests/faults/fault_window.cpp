#include "fault_window.h"

#include "window_driver.h"

#include <stdexcept>

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

} // namespace

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
