#pragma once
// Watches the window's thread from inside it: how long it went without turning its event loop,
// and when the device list last grew.

#include "event_loop.h"
#include "stall_watch.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QAbstractItemModel;

namespace nimbrel::bench {

// A late beat of the test kit's stall watch is a stall of the window's thread.
using Heartbeat = testing::StallWatch;

// The list's row count and the moment it last grew (wall clock, ms).
class ListGrowth : public QObject {
public:
    explicit ListGrowth(QAbstractItemModel* model);
    int rows() const { return rows_; }
    double lastGrowthMs() const { return lastGrowth_; }

private:
    void check();

    QAbstractItemModel* model_;
    int rows_ = 0;
    double lastGrowth_ = 0;
};

// Waits in the event loop, from the test kit.
using testing::runFor;
using testing::runUntil;

} // namespace nimbrel::bench
