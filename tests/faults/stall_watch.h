#pragma once
// A fast timer in the window's thread: the longest wait between two of its beats, beyond the
// interval, is the longest time that thread was busy and could not react to the user.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace nimbrel::testing {

class StallWatch : public QObject {
public:
    explicit StallWatch(int intervalMs = 2);
    void start();
    void stop() { beat_.stop(); }
    double longestStallMs() const { return static_cast<double>(longestNs_) / 1e6; }

private:
    void onBeat();

    QTimer beat_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0;
    qint64 longestNs_ = 0;
    qint64 intervalNs_;
};

} // namespace nimbrel::testing
