#include "stall_watch.h"

#include <algorithm>

namespace nimbrel::testing {

StallWatch::StallWatch(int intervalMs) : intervalNs_(qint64{intervalMs} * 1000000)
{
    beat_.setTimerType(Qt::PreciseTimer);
    beat_.setInterval(intervalMs);
    connect(&beat_, &QTimer::timeout, this, &StallWatch::onBeat);
}

void StallWatch::start()
{
    longestNs_ = 0;
    clock_.start();
    lastNs_ = 0;
    beat_.start();
}

void StallWatch::onBeat()
{
    const qint64 now = clock_.nsecsElapsed();
    longestNs_ = std::max(longestNs_, now - lastNs_ - intervalNs_);
    lastNs_ = now;
}

} // namespace nimbrel::testing
