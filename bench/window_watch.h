#pragma once
// Watches the window's thread from inside it: how long it went without turning its event loop,
// and when the device list last grew.

#include <QObject>
#include <QTimer>

#include <functional>

class QAbstractItemModel;

namespace nimbrel::bench {

// A timer that beats every intervalMs in the window's thread; a late beat is a stall.
class Heartbeat : public QObject {
public:
    explicit Heartbeat(int intervalMs);
    void start();
    void stop();
    double longestGapMs() const { return longest_; }

private:
    QTimer timer_;
    double last_ = 0;
    double longest_ = 0;
};

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

// Runs the event loop (no busy waiting, no sleeping) until done() or the timeout; returns done().
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for a while.
void runEventsFor(int ms);

} // namespace nimbrel::bench
