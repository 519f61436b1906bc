#pragma once
// A fast timer in the window's thread: the longest wait between two of its beats, beyond the
// interval, is the longest time that thread was busy and could not react to the user.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace nimbrel::testing {

class StallWatch : public QObject {
public:
    explicit StallWatch(int intervalMs = 2);
    void start();
    void stop() { beat_.stop(); }
    // The longest time between two beats, and the part of it beyond the interval: the time the
    // thread was busy.
    double longestGapMs() const { return static_cast<double>(longestGapNs_) / 1e6; }
    double longestStallMs() const
    {
        return static_cast<double>(std::max<qint64>(0, longestGapNs_ - intervalNs_)) / 1e6;
    }

private:
    void onBeat();

    QTimer beat_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0;
    qint64 longestGapNs_ = 0;
    qint64 intervalNs_;
};

} // namespace nimbrel::testing
