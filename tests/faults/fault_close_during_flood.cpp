// Closing the window in the middle of a flood: set up as the program's main() is, with the
// program's own endpoint settings, inside the tool namespace of the virtual LAN. Prints how long
// the program took to end after close(); fails only beyond kHangMs, which means a hang.

#include "app/tform1.h"
#include "fault_window.h"
#include "flood_plan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <iterator>
#include <memory>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

constexpr int kLan = 1;
constexpr int kDatagrams = 100000;
// Closed once this many are sent: thousands listed and the flood in full swing.
constexpr int kCloseAfter = 20000;
constexpr double kHangMs = 5000;

double msSince(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

struct Figures {
    double loopReturnedMs = 0;
    double windowGoneMs = 0;
    double programEndMs = 0;
    int listedAtClose = 0;
    int sentAtClose = 0;
    bool closed = false;
};

// The program's main(), with a flood running and a close() once it is well under way.
void runProgram(int argc, char* argv[], Flood& flood, Figures& figures, QElapsedTimer& sinceClose)
{
    QApplication application(argc, argv);
    DeviceRegistry servers;
    {
        TForm1 Form1(servers);
        Form1.show();
        if (Form1.startupFailed())
            throw std::runtime_error("the window could not bind port 12340");
        flood.release();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &Form1, [&] {
            if (flood.sent() < kCloseAfter && !flood.finished())
                return;
            watch.stop();
            figures.listedAtClose = servers.count();
            figures.sentAtClose = flood.sent();
            figures.closed = !flood.finished();
            sinceClose.start();
            Form1.close();
        });
        watch.start(5);
        application.exec();
        figures.loopReturnedMs = msSince(sinceClose);
    }
    figures.windowGoneMs = msSince(sinceClose);
}

} // namespace

int main(int argc, char* argv[])
{
    try {
        requireToolNamespace();
        FloodPlan plan = makeFloodPlan(kLan, kDatagrams, 0);
        FloodPhase all = std::move(plan.early);
        std::move(plan.main.begin(), plan.main.end(), std::back_inserter(all));
        // Held until the window is up: only then is there a socket to flood.
        Flood flood(kLan, {{}, std::move(all)});
        Figures figures;
        QElapsedTimer sinceClose;
        runProgram(argc, argv, flood, figures, sinceClose);
        figures.programEndMs = msSince(sinceClose);
        const int sentAfterClose = flood.sent() - figures.sentAtClose;
        flood.stop();

        std::printf("closed with %d devices listed, %d datagrams sent\n", figures.listedAtClose,
                    figures.sentAtClose);
        std::printf("close() to: event loop returned %.1f ms, window destroyed %.1f ms, "
                    "program's objects gone %.1f ms\n",
                    figures.loopReturnedMs, figures.windowGoneMs, figures.programEndMs);
        std::printf("the flood went on after close(): %d more datagrams sent\n", sentAfterClose);
        if (!figures.closed) {
            std::printf("FAIL: the flood was over before the window was closed\n");
            return 1;
        }
        if (figures.programEndMs > kHangMs) {
            std::printf("FAIL: the program did not end after close(): it hangs\n");
            return 1;
        }
        std::printf("PASS\n");
        return 0;
    } catch (const std::exception& error) {
        std::printf("FAIL: %s\n", error.what());
        return 1;
    }
}
