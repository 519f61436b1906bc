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
    longestGapNs_ = 0;
    clock_.start();
    lastNs_ = 0;
    beat_.start();
}

void StallWatch::onBeat()
{
    const qint64 now = clock_.nsecsElapsed();
    longestGapNs_ = std::max(longestGapNs_, now - lastNs_);
    lastNs_ = now;
}

} // namespace nimbrel::testing
