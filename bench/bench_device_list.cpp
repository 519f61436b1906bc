// How the device list copes with a large network: 10,000 devices announced one by one through
// the window's announcement handler (each insertion rebuilds the list and the event loop turns
// between datagrams, as with real ones), then one rebuild and one click on a row.
// Prints rows of the shared table (bench/run); nothing here passes or fails.

#include "arguments.h"
#include "figures.h"

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/tform1.h"
#include "window_widgets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

using namespace nimbrel;
using namespace nimbrel::bench;
using nimbrel::testing::child;

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

int run(int devices)
{
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
    while (!child<DeviceListView>(form, "list")->updatesEnabled()) // the held repaint has happened
        QTest::qWait(5);
    timer.restart();
    child<DeviceListView>(form, "list")->viewport()->repaint();
    const double repaintMs = msSince(timer);

    DeviceListView* view = child<DeviceListView>(form, "list");
    const QModelIndex middle = view->model()->index(devices / 2, 0);
    view->scrollTo(middle);
    QCoreApplication::processEvents();
    const QRect row = view->visualRect(middle);
    timer.restart();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center() - QPoint(60, 0));
    QCoreApplication::processEvents();
    const double clickMs = msSince(timer);

    const std::string label = "device list, " + grouped(devices) + " devices";
    printRow(label, "announced one by one, total / per device",
             withUnit(announceMs, 0, "ms") + " / " +
                 withUnit(announceMs * 1000.0 / devices, 1, "us"));
    printRow(label, "slowest single announcement", withUnit(slowest, 2, "ms"));
    printRow(label, "one rebuild of the full list", withUnit(rebuildMs, 2, "ms"));
    printRow(label, "one repaint of the visible rows", withUnit(repaintMs, 2, "ms"));
    printRow(label, "click on a row: highlight and settings loaded", withUnit(clickMs, 2, "ms"));
    printRow(label, "rows listed",
             grouped(form.listModel()->rowCount()) + " of " + grouped(devices));
    form.close();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_device_list", argc, argv, [](const Arguments& arguments) {
        return run(static_cast<int>(arguments.number("devices", 10000)));
    });
}
