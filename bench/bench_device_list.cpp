// How the device list copes with a large network: 10,000 devices announced one by one through
// the window's announcement handler (each insertion rebuilds the list and the event loop turns
// between datagrams, as with real ones), then one rebuild and one click on a row.
// Prints figures; nothing here passes or fails.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/tform1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace nimbrel;

namespace {

std::string addressOf(int i)
{
    return "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
           std::to_string(i % 256);
}

double msSince(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int devices = argc > 1 ? std::atoi(argv[1]) : 10000;

    DeviceRegistry servers;
    TForm1::Options options;
    options.endpoint = {"127.0.0.1", 0, "127.0.0.1"}; // loopback, a port the system picks
    options.refreshIntervalMs = 24 * 3600 * 1000;     // no periodic search during the run
    TForm1 form(servers, options);
    form.show();

    std::vector<int> order(static_cast<std::size_t>(devices));
    std::iota(order.begin(), order.end(), 1);
    std::shuffle(order.begin(), order.end(), std::mt19937(12340));
    const std::string text = "im_QUORIX;QUORIX;TVX;2.4.1;1187;admin;no;Office;wpa;secret123;yes;"
                             "10.0.0.9;255.0.0.0;10.0.0.1;yes;;;;";

    QElapsedTimer timer;
    timer.start();
    double slowest = 0;
    for (int i : order) {
        QElapsedTimer one;
        one.start();
        form.readAnnouncement(addressOf(i), text, 0);
        QCoreApplication::processEvents();
        slowest = std::max(slowest, msSince(one));
    }
    const double announceMs = msSince(timer);

    timer.restart();
    form.updateList();
    QCoreApplication::processEvents();
    const double rebuildMs = msSince(timer);
    while (!form.list->updatesEnabled()) // the held repaint has happened
        QTest::qWait(5);
    timer.restart();
    form.list->viewport()->repaint();
    const double repaintMs = msSince(timer);

    DeviceListView* view = form.list;
    const QModelIndex middle = view->model()->index(devices / 2, 0);
    view->scrollTo(middle);
    QCoreApplication::processEvents();
    const QRect row = view->visualRect(middle);
    timer.restart();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center() - QPoint(60, 0));
    QCoreApplication::processEvents();
    const double clickMs = msSince(timer);

    std::printf("| device list, %d devices | figure |\n|---|---|\n", devices);
    std::printf("| announced one by one, total | %.0f ms |\n", announceMs);
    std::printf("| per device | %.1f us |\n", announceMs * 1000.0 / devices);
    std::printf("| slowest single announcement | %.2f ms |\n", slowest);
    std::printf("| one rebuild of the full list | %.2f ms |\n", rebuildMs);
    std::printf("| one repaint of the visible rows | %.2f ms |\n", repaintMs);
    std::printf("| click on a row: highlight and settings loaded | %.2f ms |\n", clickMs);
    std::printf("| rows listed | %d |\n", form.listModel()->rowCount());
    form.close();
    return 0;
}
