#include "window_watch.h"

#include "figures.h"

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>

namespace nimbrel::bench {

Heartbeat::Heartbeat(int intervalMs)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const double now = realtimeMs();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    });
}

void Heartbeat::start()
{
    longest_ = 0;
    last_ = realtimeMs();
    timer_.start();
}

void Heartbeat::stop()
{
    timer_.stop();
}

ListGrowth::ListGrowth(QAbstractItemModel* model) : model_(model), rows_(model->rowCount())
{
    // A rebuild is a model reset; either signal comes synchronously from the handler itself.
    connect(model, &QAbstractItemModel::modelReset, this, [this] { check(); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { check(); });
}

void ListGrowth::check()
{
    const int now = model_->rowCount();
    if (now > rows_)
        lastGrowth_ = realtimeMs();
    rows_ = now;
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QElapsedTimer elapsed;
    elapsed.start();
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.elapsed() >= timeoutMs)
            loop.quit();
    });
    check.start();
    loop.exec();
    return done();
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace nimbrel::bench
