#pragma once
// Waiting in a test the way the program waits: in the event loop. QTest's waits sleep 10 ms
// whenever no event is queued, which would pace the endpoint's one-at-a-time hand-over and show
// up as stalls of the window's thread.

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace nimbrel::testing {

// Runs the event loop until the condition holds or the time is up; answers the condition.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(1);
    if (!done())
        loop.exec();
    return done();
}

// Runs the event loop for a while.
inline void runFor(int ms)
{
    runUntil([] { return false; }, ms);
}

} // namespace nimbrel::testing
