#pragma once
// A flood of datagrams into the window from one LAN of the virtual LAN, sent by a thread of its
// own in phases: each phase after the first waits until the test releases it. Bounded in count
// (the phases given) and in time by the test kit's send loop. The sender keeps the window's socket
// queue below a limit, so the kernel never drops a datagram and every one sent is one the window
// sees.

#include "lan_namespace.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace nimbrel::testing {

struct FloodDatagram {
    std::string bytes;
    AddressValue from = 0;
    // Sent this many times in a row: a flood of large datagrams without a copy of each.
    int repeat = 1;
};

using FloodPhase = std::vector<FloodDatagram>;

class Flood {
public:
    struct Limits {
        std::uint64_t maxQueuedBytes = 1u << 20;
        std::chrono::seconds maxTime{90};
    };

    Flood(int lan, std::vector<FloodPhase> phases, Limits limits);
    Flood(int lan, std::vector<FloodPhase> phases) : Flood(lan, std::move(phases), Limits{}) {}
    ~Flood() { stop(); }
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

    // Lets the next phase begin.
    void release() { ++released_; }
    void stop();
    bool finished() const { return finished_; }
    int sent() const { return sent_; }
    int refused() const { return refused_; }
    // Time spent sending, without the waits for a release.
    double sendingSeconds() const { return static_cast<double>(sendingUs_) / 1e6; }

private:
    void run();
    using Clock = std::chrono::steady_clock;
    bool sendPhase(const FloodPhase& phase, Clock::time_point deadline);
    // Holds back while the window's socket queue is over its limit.
    void waitForQueueRoom(Clock::time_point deadline) const;

    LanSender sender_;
    std::vector<FloodPhase> phases_;
    Limits limits_;
    std::atomic<int> released_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> sent_{0};
    std::atomic<int> refused_{0};
    std::atomic<long long> sendingUs_{0};
    std::thread thread_;
};

} // namespace nimbrel::testing
