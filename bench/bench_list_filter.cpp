// How the list's filter copes with a large network: 10,000 devices listed, the filter opened with
// Ctrl+F, then keystrokes typed into it as a user types them (each narrowing the rows) and taken
// back with Backspace (each widening them). A keystroke's time runs from the key event to the
// end of the repaint of the list's visible rows.
// Prints rows of the shared table (bench/run); nothing here passes or fails.

#include "arguments.h"
#include "figures.h"

#include "app/device_list_view.h"
#include "app/tform1.h"
#include "window_widgets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace nimbrel;
using namespace nimbrel::bench;
using nimbrel::testing::child;

namespace {

std::string addressOf(int i)
{
    return "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
           std::to_string(i % 256);
}

// One keystroke into the field, then what the user sees: pending layout done, rows repainted.
double keystrokeMs(QLineEdit* field, DeviceListView* view, Qt::Key key, char text)
{
    QElapsedTimer timer;
    timer.start();
    if (text != 0)
        QTest::keyClick(field, text);
    else
        QTest::keyClick(field, key);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
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
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form))
        throw std::runtime_error("the window did not become active");

    // Models and firmware vary, so that typed text matches some devices and not others.
    for (int i = 1; i <= devices; ++i)
        servers.add_announcement(addressOf(i),
                                 "im_QUORIX;QUORIX-" + std::to_string(i % 7) + ";TVX-" +
                                     std::to_string(100000 + i) + ";2." + std::to_string(i % 5) +
                                     ".1;1187;admin;no;Office;wpa;secret123;yes;;;;yes;;;;");
    form.updateList();
    auto* view = child<DeviceListView>(form, "list");
    while (!view->updatesEnabled()) // the held repaint of the rebuild has happened
        QTest::qWait(5);

    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    auto* field = child<QLineEdit>(form, "e_filter");
    if (!field->isVisible() || !field->hasFocus())
        throw std::runtime_error("Ctrl+F did not open the filter");

    const std::string typed = "10.0.1";
    std::vector<double> narrowing;
    std::vector<double> widening;
    for (char c : typed)
        narrowing.push_back(keystrokeMs(field, view, Qt::Key_unknown, c));
    const int narrowedRows = view->model()->rowCount();
    for (std::size_t i = 0; i < typed.size(); ++i)
        widening.push_back(keystrokeMs(field, view, Qt::Key_Backspace, 0));
    const int widenedRows = view->model()->rowCount();

    std::vector<double> all = narrowing;
    all.insert(all.end(), widening.begin(), widening.end());
    const std::string label = "list filter, " + grouped(devices) + " devices";
    printRow(label, "filter keystroke to repaint, median", withUnit(median(all), 2, "ms"), "16 ms");
    printRow(label, "filter keystroke to repaint, slowest",
             withUnit(*std::max_element(all.begin(), all.end()), 2, "ms"), "16 ms");
    printRow(label, "typing \"" + typed + "\" / taking it back, slowest keystroke",
             withUnit(*std::max_element(narrowing.begin(), narrowing.end()), 2, "ms") + " / " +
                 withUnit(*std::max_element(widening.begin(), widening.end()), 2, "ms"));
    printRow(label, "rows shown after typing / after taking back",
             grouped(narrowedRows) + " / " + grouped(widenedRows));
    form.close();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runBenchmark("bench_list_filter", argc, argv, [](const Arguments& arguments) {
        return run(static_cast<int>(arguments.number("devices", 10000)));
    });
}
